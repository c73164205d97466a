#include "files/Bitmap.h"

#include "files/AtomicFile.h"

#include <cstdint>
#include <limits>

namespace lumivex {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize;

void put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v & 0xFFu);
    out += static_cast<char>((v >> 8) & 0xFFu);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xFFFFu));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

bool regionFits(const Layer& source, int width, int height)
{
    return width >= 1 && height >= 1 && width <= source.width() && height <= source.height();
}

} // namespace

bool encodeBitmap(const Layer& source, int width, int height, std::string& bytes)
{
    if (!regionFits(source, width, height))
        return false;

    // 3 * width + width mod 4 is 3 * width rounded up to a multiple of 4.
    const std::uint64_t padding = static_cast<std::uint64_t>(width) % 4;
    const std::uint64_t rowSize = 3 * static_cast<std::uint64_t>(width) + padding;
    const std::uint64_t fileSize = kPixelOffset + rowSize * static_cast<std::uint64_t>(height);
    if (fileSize > std::numeric_limits<std::uint32_t>::max())
        return false;

    std::string out;
    out.reserve(static_cast<std::size_t>(fileSize));

    // File header.
    out += "BM";                                    // signature
    put32(out, static_cast<std::uint32_t>(fileSize)); // file size
    put16(out, 0);                                  // reserved
    put16(out, 0);                                  // reserved
    put32(out, kPixelOffset);                       // offset of the pixel rows

    // Information header.
    put32(out, kInfoHeaderSize);                    // header size
    put32(out, static_cast<std::uint32_t>(width));  // width
    put32(out, static_cast<std::uint32_t>(height)); // height, positive: rows bottom-up
    put16(out, 1);                                  // colour planes
    put16(out, 24);                                 // bits per pixel
    put32(out, 0);                                  // compression: none
    put32(out, 0);                                  // image data size
    put32(out, 0);                                  // horizontal resolution
    put32(out, 0);                                  // vertical resolution
    put32(out, 0);                                  // colours used
    put32(out, 0);                                  // important colours

    // Pixel rows, the bottom row first.
    const std::size_t rowBytes = static_cast<std::size_t>(rowSize);
    std::size_t at = out.size();
    out.resize(static_cast<std::size_t>(fileSize), '\0');
    for (int y = height - 1; y >= 0; --y) {
        const PackedColor* pixels = source.row(y);
        char* dst = out.data() + at;
        for (int x = 0; x < width; ++x) {
            const PackedColor c = pixels[x];
            *dst++ = static_cast<char>(blueOf(c));
            *dst++ = static_cast<char>(greenOf(c));
            *dst++ = static_cast<char>(redOf(c));
        }
        at += rowBytes; // the padding bytes stay zero
    }
    bytes = std::move(out);
    return true;
}

bool exportBitmap(const std::string& path, int width, int height, const Layer& source, std::string* error)
{
    std::string bytes;
    if (!encodeBitmap(source, width, height, bytes)) {
        if (error) {
            *error = "Die Bildgröße " + std::to_string(width) + " \u00D7 " + std::to_string(height)
                + " passt nicht in die Vorschaufläche (" + std::to_string(source.width()) + " \u00D7 "
                + std::to_string(source.height()) + ").";
        }
        return false;
    }
    return writeFileAtomically(path, bytes, error);
}

} // namespace lumivex
