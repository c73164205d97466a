#include "files/SettingsFile.h"

#include "files/AtomicFile.h"
#include "files/Cp1252.h"

#include <cstdint>
#include <cstring>

namespace lumivex {

namespace {

// "Bilddaten für Lumivex, Version 0.2" in Windows-1252 (0xFC is the ü).
constexpr std::string_view kIdentificationLine = "Bilddaten f\xFCr Lumivex, Version 0.2";
constexpr std::string_view kLineEnd = "\r\n";

void appendU32(std::string& out, std::uint32_t v)
{
    out += static_cast<char>(v & 0xFFu);
    out += static_cast<char>((v >> 8) & 0xFFu);
    out += static_cast<char>((v >> 16) & 0xFFu);
    out += static_cast<char>((v >> 24) & 0xFFu);
}

void appendI32(std::string& out, std::int32_t v) { appendU32(out, static_cast<std::uint32_t>(v)); }

// The bit pattern as held, NaN payloads and signed zeros included.
void appendFloat(std::string& out, float v)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    appendU32(out, bits);
}

// A text value as one line; false (with the character) when it cannot be one: a
// character without a Windows-1252 byte, or a line end or zero byte, which would end
// the line early and shift every later field on reading.
bool appendLine(std::string& out, const std::string& utf8, std::string* unencodable)
{
    const std::size_t breaking = utf8.find_first_of(std::string_view("\r\n\0", 3));
    if (breaking != std::string::npos) {
        if (unencodable)
            *unencodable = std::string(1, utf8[breaking]);
        return false;
    }
    const std::optional<std::string> bytes = encodeCp1252(utf8, unencodable);
    if (!bytes)
        return false;
    out += *bytes;
    out += kLineEnd;
    return true;
}

// Reads the fields front to back; past the end every read gives zero or an empty text.
class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : m_bytes(bytes) { }

    std::string line()
    {
        const std::size_t start = m_pos;
        while (m_pos < m_bytes.size()) {
            const char c = m_bytes[m_pos];
            if (c == '\n' || c == '\r' || c == '\0')
                break;
            ++m_pos;
        }
        const std::string_view value = m_bytes.substr(start, m_pos - start);
        if (m_pos < m_bytes.size()) {
            const char end = m_bytes[m_pos++];
            // A CR takes a following LF with it; any other byte is left for the next field.
            if (end == '\r' && m_pos < m_bytes.size() && m_bytes[m_pos] == '\n')
                ++m_pos;
        }
        return decodeCp1252(value);
    }

    std::uint32_t u32()
    {
        std::uint32_t v = 0;
        for (int shift = 0; shift < 32 && m_pos < m_bytes.size(); shift += 8)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[m_pos++])) << shift;
        return v;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    float f32()
    {
        const std::uint32_t bits = u32();
        float v = 0;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

bool fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return false;
}

std::string unencodableMessage(const std::string& character)
{
    if (character == "\r" || character == "\n")
        return "Ein Zeilenumbruch kann in einer Einstellungsdatei nicht gespeichert werden.";
    if (character == std::string(1, '\0'))
        return "Ein Nullzeichen kann in einer Einstellungsdatei nicht gespeichert werden.";
    return "Das Zeichen \u201E" + character + "\u201C kann in einer Einstellungsdatei nicht gespeichert werden.";
}

} // namespace

bool encodeSettings(const SceneParams& params, std::string& bytes, std::string* unencodable)
{
    std::string out;
    out.reserve(128 + params.text.size() + params.fontName.size() + params.backgroundImagePath.size());
    out += kIdentificationLine;
    out += kLineEnd;
    appendI32(out, params.width);
    appendI32(out, params.height);
    appendU32(out, params.backgroundTop);
    appendU32(out, params.backgroundBottom);
    if (!appendLine(out, params.backgroundImagePath, unencodable) || !appendLine(out, params.text, unencodable)
        || !appendLine(out, params.fontName, unencodable)) {
        bytes.clear();
        return false;
    }
    appendI32(out, params.fontSize);
    appendI32(out, params.fontStyle);
    appendU32(out, params.textColor);
    appendFloat(out, params.textElevation);
    appendFloat(out, params.reflectionFadeStep);
    appendFloat(out, params.brightnessUp);
    appendFloat(out, params.brightnessDown);
    bytes = std::move(out);
    return true;
}

SceneParams decodeSettings(std::string_view bytes)
{
    FieldReader in(bytes);
    SceneParams p;
    in.line(); // the identification line, whatever it holds
    p.width = in.i32();
    p.height = in.i32();
    p.backgroundTop = in.u32();
    p.backgroundBottom = in.u32();
    p.backgroundImagePath = in.line();
    p.text = in.line();
    p.fontName = in.line();
    p.fontSize = in.i32();
    p.fontStyle = in.i32();
    p.textColor = in.u32();
    p.textElevation = in.f32();
    p.reflectionFadeStep = in.f32();
    p.brightnessUp = in.f32();
    p.brightnessDown = in.f32();
    return p;
}

bool saveSettings(const std::string& path, const SceneParams& params, std::string* error)
{
    std::string bytes;
    std::string character;
    if (!encodeSettings(params, bytes, &character))
        return fail(error, unencodableMessage(character));
    return writeFileAtomically(path, bytes, error);
}

bool loadSettings(const std::string& path, SceneParams& params, std::string* error)
{
    std::string bytes;
    switch (readSmallFile(path, kMaxSettingsFileSize, bytes, error)) {
    case ReadStatus::Ok:
        break;
    case ReadStatus::TooLarge:
        return fail(error, "Die Datei ist größer als 1 MiB und wird nicht geladen.");
    case ReadStatus::Failed:
        return false;
    }
    params = decodeSettings(bytes);
    return true;
}

} // namespace lumivex
