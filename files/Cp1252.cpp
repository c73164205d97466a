#include "files/Cp1252.h"
#include "scene/Utf8.h"

#include <array>
#include <cstdint>

namespace lumivex {

namespace {

// Code points of the bytes 0x80..0x9F. The five bytes Windows-1252 leaves unassigned
// stand for the C1 control of the same value, so every byte survives a decode and encode.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char32_t codePointOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return byte;
}

// The byte for a code point, or -1.
int byteOf(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<int>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}


} // namespace

std::string decodeCp1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes)
        appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

std::optional<std::string> encodeCp1252(std::string_view utf8, std::string* offending)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, pos);
        // A malformed sequence reads as U+FFFD, which has no byte either.
        const int byte = byteOf(cp);
        if (byte < 0) {
            if (offending) {
                offending->clear();
                appendUtf8(*offending, cp);
            }
            return std::nullopt;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

bool isCp1252Representable(char32_t codePoint) { return byteOf(codePoint) >= 0; }

} // namespace lumivex
