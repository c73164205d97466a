#pragma once
// Conversions between the values of the scene record and what the controls show:
// the hexadecimal text of a colour and the positions of the four sliders.
// Pure functions, free of the toolkit, usable from any thread.
//
// Hexadecimal text shows the PackedColor word itself, most significant digit first, so
// its six low digits read blue, green, red: "0000FF" is pure red, "FF0000" pure blue.
//
// Slider values are stored as 32-bit floats; a position computed from a value that is
// not finite or lies outside the int32 range reads INT32_MIN, which a slider shows as its
// minimum.

#include "scene/Color.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lumivex {

// Every character shifts the value left by four bits (bits above 31 are lost) and adds
// its digit when it is 0-9 or A-F; any other character (lower case included) counts as 0.
PackedColor parseHexColor(std::u32string_view text);

// Upper-case digits without leading zeros ("0" for 0): the text of the colour fields of
// the background.
std::string formatHexDigits(PackedColor value);

// formatHexDigits padded with leading "0" to six characters, or cut to its first six.
std::string formatHexColor(PackedColor value);

// Slider 36, 0 to 400: textElevation = position / 200.
float textElevationFromPosition(int position);
std::int32_t positionFromTextElevation(float elevation);

// Sliders 47 and 48, 0 to 100: brightness = position / 100.
float brightnessFromPosition(int position);
std::int32_t positionFromBrightness(float brightness);

// Slider 56, 0 to 150: reflectionFadeStep = 10 ^ (position / 100 - 3), the exponent and
// the power each rounded to float.
float fadeStepFromPosition(int position);
std::int32_t positionFromFadeStep(float fadeStep);

} // namespace lumivex
