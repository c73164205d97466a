#pragma once
// Windows-1252 at the file boundary: records hold UTF-8, files hold single bytes.

#include <optional>
#include <string>
#include <string_view>

namespace lumivex {

// Every byte value decodes (0x80 is the euro sign; the five unassigned bytes map to the
// C1 controls of the same value, so they round-trip).
std::string decodeCp1252(std::string_view bytes);

// The bytes for a UTF-8 text, or nothing when a character has no Windows-1252 byte;
// `offending` then receives that character as UTF-8.
std::optional<std::string> encodeCp1252(std::string_view utf8, std::string* offending = nullptr);

// Whether a Unicode code point has a Windows-1252 byte.
bool isCp1252Representable(char32_t codePoint);

} // namespace lumivex
