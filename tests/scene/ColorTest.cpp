#include "scene/Color.h"
#include "scene/RenderFrame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumivex {
namespace {

constexpr std::int32_t kUndefined = std::numeric_limits<std::int32_t>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Conversion {
    double x;
    std::int32_t rounded;
    std::int32_t truncated;
};

TEST(ColorTest, RealToIntegerConversions)
{
    const Conversion cases[] = {
        { 2.5, 2, 2 },
        { 3.5, 4, 3 },
        { -0.5, 0, 0 },
        { -1.5, -2, -1 },
        { -2.5, -2, -2 },
        { 66.5, 66, 66 },
        { 67.5, 68, 67 },
        { 2.9, 3, 2 },
        { -2.9, -3, -2 },
        { 0.49999999999999994, 0, 0 },
        { 1e-300, 0, 0 },
        { 2147483647.0, 2147483647, 2147483647 },
        { 2147483646.5, 2147483646, 2147483646 },
        // A tie that rounds up out of range, and one that rounds down into range.
        { 2147483647.5, kUndefined, 2147483647 },
        { -2147483648.5, -2147483648, -2147483648 },
        { -2147483649.0, kUndefined, kUndefined },
        { 2147483648.0, kUndefined, kUndefined },
        { 1e30, kUndefined, kUndefined },
        { -1e30, kUndefined, kUndefined },
        { kNaN, kUndefined, kUndefined },
        { kInf, kUndefined, kUndefined },
        { -kInf, kUndefined, kUndefined },
    };
    for (const Conversion& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(roundHalfEven(c.x), c.rounded);
        EXPECT_EQ(truncateToInt(c.x), c.truncated);
    }
}

TEST(ColorTest, ChannelsAndClamp)
{
    EXPECT_EQ(redOf(0xAB123456u), 0x56);
    EXPECT_EQ(greenOf(0xAB123456u), 0x34);
    EXPECT_EQ(blueOf(0xAB123456u), 0x12);
    EXPECT_EQ(clampChannel(-3), 0);
    EXPECT_EQ(clampChannel(0), 0);
    EXPECT_EQ(clampChannel(255), 255);
    EXPECT_EQ(clampChannel(300), 255);
    EXPECT_EQ(clampChannel(kUndefined), 0);
}

TEST(ColorTest, PackCarriesAndBorrows)
{
    EXPECT_EQ(packColor(144, 32, 32), 0x202090u);
    EXPECT_EQ(packColor(256, 0, 0), 0x000100u);
    EXPECT_EQ(packColor(256, 0, 0), packColor(0, 1, 0));
    EXPECT_EQ(packColor(-1, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(packColor(0, 0, 256), 0x01000000u);
    // Extreme channels wrap like 32-bit two's complement arithmetic, without overflow.
    EXPECT_EQ(packColor(kUndefined, kUndefined, kUndefined), 0x80000000u + 0x00000000u + 0x00000000u);
    EXPECT_EQ(packColor(2147483647, 2147483647, 0), 0x7FFFFFFFu + 0xFFFFFF00u);
}

TEST(ColorTest, LightenAndDarkenVectors)
{
    EXPECT_EQ(lightenVector(0x202090, 0.6f), 0x868643u);
    EXPECT_EQ(darkenVector(0x202090, 0.8f), 0x1A1A73u);
    for (const float k : { 0.0f, 0.37f, 1.0f, 5.0f, -2.0f }) {
        SCOPED_TRACE(k);
        EXPECT_EQ(lightenVector(0xFFFFFF, k), 0u);
        EXPECT_EQ(darkenVector(0, k), 0u);
    }
    EXPECT_EQ(darkenVector(0x202090, 0.0f), 0u);
    EXPECT_EQ(lightenVector(0x202090, 1.0f), 0xDFDF6Fu);
    // The top byte of the colour never enters a channel.
    EXPECT_EQ(lightenVector(0xFF202090, 0.6f), 0x868643u);
    // A negative factor borrows through the bytes as plain 32-bit addition does.
    const std::int64_t r = -111;
    const std::int64_t g = -223;
    EXPECT_EQ(lightenVector(0x202090, -1.0f), static_cast<std::uint32_t>(r + g * 256 + g * 65536));
    // A factor that is not a number gives a defined value.
    EXPECT_EQ(darkenVector(0x202090, std::numeric_limits<float>::quiet_NaN()),
        packColor(kUndefined, kUndefined, kUndefined));
}

TEST(ColorTest, StencilColorBorrows)
{
    struct Case {
        PackedColor bottom;
        int r, g, b;
    };
    const Case cases[] = {
        { 0x707070, 0x6F, 0x70, 0x70 },
        { 0x808000, 0xFF, 0x7F, 0x80 },
        { 0x010000, 255, 255, 0 },
        { 0x000000, 255, 255, 255 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bottom);
        const PackedColor s = stencilColor(c.bottom);
        EXPECT_EQ(redOf(s), c.r);
        EXPECT_EQ(greenOf(s), c.g);
        EXPECT_EQ(blueOf(s), c.b);
        EXPECT_NE(s & kChannelMask, c.bottom & kChannelMask);
    }
    EXPECT_EQ(stencilColor(0x707070), 0x70706Fu);
    EXPECT_EQ(stencilColor(0x808000), 0x807FFFu);
}

TEST(ColorTest, RimColorMixesFourFifths)
{
    EXPECT_EQ(rimColor(0x202090, 0xF0F0F0), packColor(154, 109, 109));
    EXPECT_EQ(rimColor(0, 0), 0u);
    EXPECT_EQ(rimColor(0xFFFFFF, 0xFFFFFF), packColor(204, 204, 204));
    EXPECT_EQ(rimColor(0xFF000000, 0xFF000000), 0u);
}

} // namespace
} // namespace lumivex
