#pragma once
// The settings file (extension "lvx"): an identification line, then the fields of
// SceneParams in a fixed order, text lines ended by CR LF in Windows-1252 and 32-bit
// little-endian numbers, floats bit for bit.
//
// Both functions run on the caller's thread. On failure they return false and, when
// `error` is given, store a short German reason for the user.

#include "scene/SceneParams.h"

#include <string>
#include <string_view>

namespace lumivex {

// Refused when a settings file is larger than this.
constexpr std::size_t kMaxSettingsFileSize = 1024 * 1024;

// The whole file as bytes. Characters Windows-1252 cannot hold are reported through
// `unencodable` (the first one met, as UTF-8) and the result is then not to be written.
bool encodeSettings(const SceneParams& params, std::string& bytes, std::string* unencodable = nullptr);

// Reads the fields from bytes with the lenient rules (any line ending, a zero byte ends
// a line, missing bytes read as zero). Rejects no value.
SceneParams decodeSettings(std::string_view bytes);

// Writes through a temporary file in the same folder renamed over the target: true only
// when the whole file is in place; otherwise the old file is untouched.
bool saveSettings(const std::string& path, const SceneParams& params, std::string* error = nullptr);

// Reads into a fresh record and hands it over whole on success; a missing, unreadable,
// non-regular or too large file leaves `params` as it was and returns false.
bool loadSettings(const std::string& path, SceneParams& params, std::string* error = nullptr);

} // namespace lumivex
