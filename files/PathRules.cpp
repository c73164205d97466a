#include "files/PathRules.h"

namespace lumivex {

std::string extensionPart(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return path.substr(dot + 1);
}

std::string ensureExtension(const std::string& path, const std::string& extension)
{
    if (extensionPart(path) == extension)
        return path;
    return path + "." + extension;
}

} // namespace lumivex
