#include "Utf8.h"

namespace lumivex {

char32_t nextCodePoint(std::string_view text, std::size_t& pos)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char b0 = byteAt(pos);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1Fu;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0Fu;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07u;
        minimum = 0x10000;
    } else {
        ++pos; // continuation byte, C0/C1 (always overlong) or F5..FF
        return kReplacementCharacter;
    }
    if (text.size() - pos < static_cast<std::size_t>(length)) {
        ++pos;
        return kReplacementCharacter;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char b = byteAt(pos + static_cast<std::size_t>(i));
        if ((b & 0xC0u) != 0x80u) {
            ++pos;
            return kReplacementCharacter;
        }
        cp = (cp << 6) | (b & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return kReplacementCharacter;
    }
    pos += static_cast<std::size_t>(length);
    return cp;
}

std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        out.push_back(nextCodePoint(text, pos));
    return out;
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace lumivex
