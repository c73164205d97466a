#pragma once
// Bitmap export: an uncompressed 24-bit BMP (14-byte file header, 40-byte information
// header, no palette), rows bottom-up, pixels blue, green, red, rows padded with zero
// bytes to a multiple of 4.

#include "scene/Layer.h"

#include <string>

namespace lumivex {

// The whole file for the top-left width x height of `source`; false when that region
// does not lie wholly inside it or a side is below 1.
bool encodeBitmap(const Layer& source, int width, int height, std::string& bytes);

// Writes through a temporary file renamed over the target: true only when the whole file
// is in place; otherwise no file is created and an old one is untouched.
bool exportBitmap(const std::string& path, int width, int height, const Layer& source, std::string* error = nullptr);

} // namespace lumivex
