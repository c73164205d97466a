// libFuzzer target for the settings reader: any bytes decode to a record without a
// fault, the record encodes and decodes to itself, and the render pass draws it.
//
// The frame is kept small for speed (1..64 pixels a side), but every other field stays
// as the file brought it: NaN and infinite factors, huge elevations, negative fades,
// any colour and any text length. Those are what the render pass must survive.

#include "files/SettingsFile.h"
#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

std::uint32_t bitsOf(float f)
{
    std::uint32_t b = 0;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

bool sameBits(const lumivex::SceneParams& a, const lumivex::SceneParams& b)
{
    return a.width == b.width && a.height == b.height && a.backgroundTop == b.backgroundTop
        && a.backgroundBottom == b.backgroundBottom && a.backgroundImagePath == b.backgroundImagePath
        && a.text == b.text && a.fontName == b.fontName && a.fontSize == b.fontSize && a.fontStyle == b.fontStyle
        && a.textColor == b.textColor && bitsOf(a.textElevation) == bitsOf(b.textElevation)
        && bitsOf(a.reflectionFadeStep) == bitsOf(b.reflectionFadeStep)
        && bitsOf(a.brightnessUp) == bitsOf(b.brightnessUp) && bitsOf(a.brightnessDown) == bitsOf(b.brightnessDown);
}

std::int32_t smallSide(std::int32_t v)
{
    // Any int32, INT32_MIN included, maps into 1..64.
    const std::int64_t wide = v;
    return static_cast<std::int32_t>(1 + (wide < 0 ? -(wide + 1) : wide) % 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > lumivex::kMaxSettingsFileSize)
        return -1; // loadSettings refuses such files before decoding

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    lumivex::SceneParams params = lumivex::decodeSettings(bytes);

    // Whatever was read can be written again and reads back bit for bit: the reader
    // never yields a character or a line end the writer could not store.
    std::string encoded;
    std::string character;
    if (!lumivex::encodeSettings(params, encoded, &character))
        std::abort();
    if (!sameBits(lumivex::decodeSettings(encoded), params))
        std::abort();

    params.width = smallSide(params.width);
    params.height = smallSide(params.height);
    static const lumivex::BoxFont font(6, 10, 1, 9);
    lumivex::Canvas canvas;
    lumivex::renderFrame(canvas, params, &font);
    return 0;
}
