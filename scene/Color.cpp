#include "Color.h"

#include <cmath>
#include <limits>

namespace lumivex {

namespace {

constexpr std::int32_t kUndefinedInt = std::numeric_limits<std::int32_t>::min();

// True when the integral value v can be represented as an int32.
bool fitsInt32(double v)
{
    return v >= -2147483648.0 && v <= 2147483647.0;
}

} // namespace

std::int32_t roundHalfEven(double x)
{
    if (!std::isfinite(x))
        return kUndefinedInt;
    // Worked out by hand rather than with rint/nearbyint so that the result never
    // depends on the floating-point environment's current rounding mode.
    const double below = std::floor(x);
    const double fraction = x - below; // exact for every finite double
    double r = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        r = below + 1.0;
    if (!fitsInt32(r))
        return kUndefinedInt;
    return static_cast<std::int32_t>(r);
}

std::int32_t truncateToInt(double x)
{
    if (!std::isfinite(x))
        return kUndefinedInt;
    const double r = std::trunc(x);
    if (!fitsInt32(r))
        return kUndefinedInt;
    return static_cast<std::int32_t>(r);
}

PackedColor lightenVector(PackedColor c, float k)
{
    const double factor = k;
    return packColor(roundHalfEven((255 - redOf(c)) * factor), roundHalfEven((255 - greenOf(c)) * factor),
        roundHalfEven((255 - blueOf(c)) * factor));
}

PackedColor darkenVector(PackedColor c, float k)
{
    const double factor = k;
    return packColor(roundHalfEven(redOf(c) * factor), roundHalfEven(greenOf(c) * factor),
        roundHalfEven(blueOf(c) * factor));
}

} // namespace lumivex
