#pragma once
// Colours and the number conversions shared by every render step.
//
// A PackedColor is a 32-bit word: red in bits 0-7, green in 8-15, blue in 16-23.
// The top byte is not part of the colour; painting and key colours ignore it.
// packColor adds its channels without masking, so an out-of-range channel carries
// into (or borrows from) the next byte. All arithmetic is done on uint32_t, which
// wraps exactly as two's complement addition would, without signed overflow.

#include <cstdint>

namespace lumivex {

using PackedColor = std::uint32_t;

constexpr PackedColor kChannelMask = 0x00FFFFFFu;

constexpr int redOf(PackedColor c) { return static_cast<int>(c & 0xFFu); }
constexpr int greenOf(PackedColor c) { return static_cast<int>((c >> 8) & 0xFFu); }
constexpr int blueOf(PackedColor c) { return static_cast<int>((c >> 16) & 0xFFu); }

constexpr PackedColor packColor(std::int32_t r, std::int32_t g, std::int32_t b)
{
    return static_cast<std::uint32_t>(r) + static_cast<std::uint32_t>(g) * 256u
        + static_cast<std::uint32_t>(b) * 65536u;
}

constexpr std::int32_t clampChannel(std::int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Nearest integer, ties to even. NaN, infinities and results outside the int32
// range give INT32_MIN, a defined value instead of undefined behaviour.
std::int32_t roundHalfEven(double x);

// Integer part toward zero; same defined result as roundHalfEven outside int32.
std::int32_t truncateToInt(double x);

// (255 - x) * k per channel, rounded half to even, packed without clamping.
PackedColor lightenVector(PackedColor c, float k);

// x * k per channel, rounded half to even, packed without clamping.
PackedColor darkenVector(PackedColor c, float k);

} // namespace lumivex
