#pragma once
// Extension rules of the file commands, byte for byte and case-sensitive.

#include <string>

namespace lumivex {

// Characters after the last dot of the file's own name (after the last '/' or '\\');
// empty when that name has no dot.
std::string extensionPart(const std::string& path);

// path unchanged when its extension is exactly `extension`, else path + "." + extension.
std::string ensureExtension(const std::string& path, const std::string& extension);

} // namespace lumivex
