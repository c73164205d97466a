#include "preview/Presentation.h"
#include "preview/HalfScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace lumivex {
namespace {

// Per-pixel reference of the half-scale reduction, written for clarity: every channel
// on its own, the block's first column and row clamped to 0.
PackedColor referencePixel(const Layer& frame, int i, int j)
{
    const int x0 = std::max(2 * i - 1, 0), x1 = 2 * i;
    const int y0 = std::max(2 * j - 1, 0), y1 = 2 * j;
    const PackedColor block[4] = { frame.pixel(x0, y0), frame.pixel(x1, y0), frame.pixel(x0, y1), frame.pixel(x1, y1) };
    PackedColor result = 0;
    for (int shift : { 0, 8, 16 }) {
        int sum = 2;
        for (PackedColor px : block)
            sum += static_cast<int>((px >> shift) & 0xFF);
        result |= static_cast<PackedColor>(sum / 4) << shift;
    }
    return result;
}

// The whole surface as a reference presentation leaves it.
std::vector<PackedColor> referenceSurface(int surfaceWidth, int surfaceHeight, const Layer* frame, int width, int height)
{
    std::vector<PackedColor> out(static_cast<std::size_t>(surfaceWidth) * surfaceHeight, 0);
    if (!frame)
        return out;
    for (int j = 0; j < std::min(height, surfaceHeight); ++j)
        for (int i = 0; i < std::min(width, surfaceWidth); ++i)
            if (2 * i < frame->width() - 1 && 2 * j < frame->height() - 1)
                out[static_cast<std::size_t>(j) * surfaceWidth + i] = referencePixel(*frame, i, j);
    return out;
}

Layer randomFrame(std::mt19937& rng, int width, int height)
{
    Layer frame(width, height);
    std::uniform_int_distribution<std::uint32_t> any;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Now and then a black pixel or a saturated one, where rounding and keying meet.
            const std::uint32_t r = any(rng);
            const PackedColor c = (r % 11 == 0) ? 0 : (r % 13 == 0 ? 0xFFFFFF : (r & 0xFFFFFF));
            frame.paintRow(x, y, 1, c);
        }
    return frame;
}

TEST(PresentPreview, RoundsEachChannelAsSumPlusTwoOverFour)
{
    // One channel value per block pixel; the frame is 4 x 4, so preview pixel (1, 1)
    // reads frame columns 1 and 2 and rows 1 and 2.
    const struct { int a, b, c, d, expected; } cases[] = {
        { 0, 0, 0, 0, 0 },
        { 0, 0, 0, 1, 0 },     // 3 / 4
        { 0, 0, 1, 1, 1 },     // 4 / 4: halves round up
        { 0, 1, 1, 1, 1 },     // 5 / 4
        { 1, 1, 1, 2, 1 },     // 7 / 4
        { 1, 1, 2, 2, 2 },     // 8 / 4
        { 254, 255, 255, 255, 255 },
        { 255, 255, 255, 255, 255 },
        { 0, 255, 0, 255, 128 }, // 512 / 4
        { 0, 0, 0, 255, 64 },    // 257 / 4
    };
    for (int shift : { 0, 8, 16 }) {
        for (const auto& c : cases) {
            Layer frame(4, 4);
            // Neighbours of another value make sure no pixel outside the block counts.
            frame.fillRect(0, 0, 4, 4, 0x5A5A5Au);
            auto put = [&](int x, int y, int v) {
                frame.paintRow(x, y, 1, (0x5A5A5Au & ~(0xFFu << shift)) | (static_cast<PackedColor>(v) << shift));
            };
            put(1, 1, c.a);
            put(2, 1, c.b);
            put(1, 2, c.c);
            put(2, 2, c.d);
            OutputSurface surface(8, 8);
            presentPreview(surface, &frame, 2, 2);
            const PackedColor px = surface.raster().pixel(1, 1);
            EXPECT_EQ(static_cast<int>((px >> shift) & 0xFF), c.expected)
                << "channel at bit " << shift << ": " << c.a << " " << c.b << " " << c.c << " " << c.d;
            EXPECT_EQ(px & ~(0xFFu << shift), 0x5A5A5Au & ~(0xFFu << shift)) << "the other channels stay";
        }
    }
}

TEST(PresentPreview, BlocksAreColumns2iMinus1And2iWithTheFirstClampedAndTheLastNeverSeen)
{
    // Frame 6 x 4 (preview 3 x 2); each frame pixel holds its own position, so every
    // preview pixel names the four pixels it averaged.
    Layer frame(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            frame.paintRow(x, y, 1, packColor(40 * x, 80 * y, 0));
    OutputSurface surface(3, 2);
    presentPreview(surface, &frame, 3, 2);

    const struct { int i, j, x0, x1, y0, y1; } blocks[] = {
        { 0, 0, 0, 0, 0, 0 }, // first column and row read twice (-1 reads as 0)
        { 1, 0, 1, 2, 0, 0 },
        { 2, 0, 3, 4, 0, 0 }, // column 5, the last, is never read
        { 0, 1, 0, 0, 1, 2 }, // row 3, the last, is never read
        { 1, 1, 1, 2, 1, 2 },
        { 2, 1, 3, 4, 1, 2 },
    };
    for (const auto& b : blocks) {
        const int red = (40 * b.x0 + 40 * b.x1 + 40 * b.x0 + 40 * b.x1 + 2) / 4;
        const int green = (80 * b.y0 + 80 * b.y0 + 80 * b.y1 + 80 * b.y1 + 2) / 4;
        EXPECT_EQ(surface.raster().pixel(b.i, b.j), packColor(red, green, 0)) << b.i << "," << b.j;
    }
}

TEST(PresentPreview, LastColumnAndRowOfTheFrameNeverReachThePreview)
{
    Layer frame(10, 8);
    frame.fillRect(9, 0, 1, 8, 0xFFFFFF);
    frame.fillRect(0, 7, 10, 1, 0x00FF00);
    OutputSurface surface(5, 4);
    presentPreview(surface, &frame, 5, 4);
    for (PackedColor px : surface.raster().pixels())
        EXPECT_EQ(px, 0u);
}

TEST(PresentPreview, ClientSizesAgainstTheFrameMatchTheReference)
{
    // A frame rendered for a 10 x 6 client on a 16 x 12 surface, shown in client areas
    // of other sizes: grown (black right of and below the frame), shrunk (cut), equal,
    // larger than the surface (clamped) and empty.
    std::mt19937 rng(7);
    const Layer frame = randomFrame(rng, 20, 12);
    const struct { int width, height; } clients[] = {
        { 10, 6 }, { 14, 9 }, { 4, 3 }, { 10, 2 }, { 3, 6 }, { 16, 12 }, { 40, 40 }, { 0, 5 }, { 5, 0 }, { -2, -2 },
    };
    for (const auto& c : clients) {
        OutputSurface surface(16, 12);
        presentPreview(surface, &frame, c.width, c.height);
        EXPECT_EQ(surface.raster().pixels(), referenceSurface(16, 12, &frame, c.width, c.height))
            << "client " << c.width << "x" << c.height;
    }
}

TEST(PresentPreview, FastPathMatchesTheReferenceOnRandomFrames)
{
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        const int fw = 2 + static_cast<int>(rng() % 90);
        const int fh = 2 + static_cast<int>(rng() % 40);
        const Layer frame = randomFrame(rng, fw, fh);
        OutputSurface surface(50, 24);
        const int w = static_cast<int>(rng() % 60);
        const int h = static_cast<int>(rng() % 30);
        presentPreview(surface, &frame, w, h);
        ASSERT_EQ(surface.raster().pixels(), referenceSurface(50, 24, &frame, w, h))
            << "frame " << fw << "x" << fh << ", client " << w << "x" << h;
    }
}

TEST(HalfScaleKernels, EveryKernelMatchesTheReference)
{
    // presentPreview runs only the fastest kernel of this machine; the others are checked
    // here row by row: every count around the vector widths, and long rows (where the
    // output may be streamed) at every alignment of the output.
    std::mt19937 rng(31);
    const Layer frame = randomFrame(rng, 2 * 1100, 6);
    std::vector<std::pair<int, int>> shapes; // count, output offset in pixels
    for (int count = 1; count <= 70; ++count)
        shapes.emplace_back(count, 0);
    for (int count : { 1024, 1025, 1026, 1033, 1100 })
        for (int offset = 0; offset < 8; ++offset)
            shapes.emplace_back(count, offset);
    const auto kernels = availableRowKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_STREQ(kernels.front().name, "portable");
    for (const NamedRowKernel& k : kernels) {
        for (const auto& [count, offset] : shapes) {
            for (int j : { 0, 1, 2 }) {
                // Pixels before and after the row are guards the kernel must leave alone.
                std::vector<PackedColor> out(static_cast<std::size_t>(count + offset) + 1, 0xDEADBEEF);
                k.kernel(out.data() + offset, frame.row(j == 0 ? 0 : 2 * j - 1), frame.row(2 * j), count);
                for (int i = 0; i < count; ++i)
                    ASSERT_EQ(out[static_cast<std::size_t>(offset + i)], referencePixel(frame, i, j))
                        << k.name << ", count " << count << ", offset " << offset << ", pixel " << i << ", row " << j;
                for (int g = 0; g < offset; ++g)
                    ASSERT_EQ(out[static_cast<std::size_t>(g)], 0xDEADBEEFu) << k.name << " wrote before the row";
                ASSERT_EQ(out.back(), 0xDEADBEEFu) << k.name << " wrote past the row";
            }
        }
        // A top byte in the frame (which layers never hold) still gives clean colours.
        Layer dirty(4, 2);
        for (int x = 0; x < 4; ++x)
            for (int y = 0; y < 2; ++y)
                dirty.row(y)[x] = 0xFF808080u;
        PackedColor px[2] = {};
        k.kernel(px, dirty.row(0), dirty.row(0), 2);
        EXPECT_EQ(px[1], 0x808080u) << k.name;
    }
}

TEST(PresentPreview, SuccessivePresentationsLeaveNothingOfTheEarlierOnes)
{
    // The surface is cleared only where the last image was and the new one is not; a
    // sequence of presentations of varying sizes must end exactly like a single one.
    std::mt19937 rng(99);
    OutputSurface surface(40, 30);
    for (int step = 0; step < 200; ++step) {
        const bool none = rng() % 9 == 0;
        const Layer frame = randomFrame(rng, 2 + static_cast<int>(rng() % 100), 2 + static_cast<int>(rng() % 70));
        const int w = static_cast<int>(rng() % 50);
        const int h = static_cast<int>(rng() % 40);
        presentPreview(surface, none ? nullptr : &frame, w, h);
        ASSERT_EQ(surface.raster().pixels(), referenceSurface(40, 30, none ? nullptr : &frame, w, h))
            << "step " << step;
    }
}

TEST(PresentPreview, NoFrameLeavesTheSurfaceBlack)
{
    Layer frame(8, 8);
    frame.fillRect(0, 0, 8, 8, 0x123456);
    OutputSurface surface(6, 6);
    for (PackedColor px : surface.raster().pixels())
        ASSERT_EQ(px, 0u) << "a new surface is black";
    presentPreview(surface, &frame, 4, 4);
    EXPECT_EQ(surface.raster().pixel(3, 3), 0x123456u);
    presentPreview(surface, nullptr, 4, 4);
    for (PackedColor px : surface.raster().pixels())
        EXPECT_EQ(px, 0u);
    const Layer empty;
    presentPreview(surface, &frame, 4, 4);
    presentPreview(surface, &empty, 4, 4);
    for (PackedColor px : surface.raster().pixels())
        EXPECT_EQ(px, 0u);
}

TEST(PresentPreview, BlackFramePixelsAverageAsBlack)
{
    Layer frame(4, 4);
    frame.fillRect(0, 0, 4, 4, 0x404040);
    frame.paintRow(1, 1, 1, 0);
    frame.paintRow(2, 2, 1, 0);
    OutputSurface surface(2, 2);
    presentPreview(surface, &frame, 2, 2);
    EXPECT_EQ(surface.raster().pixel(1, 1), 0x202020u); // (64 + 0 + 64 + 0 + 2) / 4 = 32
}

TEST(PresentPacer, AcceptsOnlyMoreThanASixtyFirstOfASecondApart)
{
    constexpr std::int64_t interval = 1'000'000'000 / 61;
    PresentPacer pacer;
    const struct { std::int64_t at; bool accepted; } steps[] = {
        { 5, true },                 // the first presentation always goes
        { 5, false },
        { 5 + interval, false },     // exactly 1/61 s is not more than it
        { 5 + interval + 1, true },
        { 5 + 2 * interval + 1, false },
        { 5 + 3 * interval, true },
        { 5 + 10 * interval, true },
    };
    for (const auto& s : steps)
        EXPECT_EQ(pacer.tryAcquireAt(s.at), s.accepted) << s.at;
}

} // namespace
} // namespace lumivex
