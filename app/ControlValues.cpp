#include "ControlValues.h"

#include <cmath>

namespace lumivex {

PackedColor parseHexColor(std::u32string_view text)
{
    std::uint32_t value = 0;
    for (const char32_t c : text) {
        value <<= 4;
        if (c >= U'0' && c <= U'9')
            value += static_cast<std::uint32_t>(c - U'0');
        else if (c >= U'A' && c <= U'F')
            value += static_cast<std::uint32_t>(c - U'A' + 10);
    }
    return value;
}

std::string formatHexDigits(PackedColor value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string reversed;
    do {
        reversed.push_back(kDigits[value & 0xFu]);
        value >>= 4;
    } while (value != 0);
    return { reversed.rbegin(), reversed.rend() };
}

std::string formatHexColor(PackedColor value)
{
    std::string digits = formatHexDigits(value);
    if (digits.size() < 6)
        digits.insert(0, 6 - digits.size(), '0');
    else
        digits.resize(6);
    return digits;
}

float textElevationFromPosition(int position)
{
    return static_cast<float>(position / 200.0);
}

std::int32_t positionFromTextElevation(float elevation)
{
    return roundHalfEven(static_cast<double>(elevation) * 200.0);
}

float brightnessFromPosition(int position)
{
    return static_cast<float>(position / 100.0);
}

std::int32_t positionFromBrightness(float brightness)
{
    return roundHalfEven(static_cast<double>(brightness) * 100.0);
}

float fadeStepFromPosition(int position)
{
    const float exponent = static_cast<float>(position / 100.0 - 3.0);
    return static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
}

std::int32_t positionFromFadeStep(float fadeStep)
{
    // log10 of zero or a negative step is -inf or NaN; roundHalfEven turns both into
    // INT32_MIN, so the slider shows its minimum.
    const float logarithm = static_cast<float>(std::log10(static_cast<double>(fadeStep)));
    return roundHalfEven(static_cast<double>(logarithm) * 100.0 + 300.0);
}

} // namespace lumivex
