#include "scene/Canvas.h"
#include "scene/Layer.h"
#include "scene/SceneFont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lumivex {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

// Every pixel of the layer equals c.
bool allPixels(const Layer& layer, PackedColor c)
{
    for (int y = 0; y < layer.height(); ++y)
        for (int x = 0; x < layer.width(); ++x)
            if (layer.pixel(x, y) != c)
                return false;
    return true;
}

// A layer whose pixel (x, y) is a distinct colour, so moved rows show.
Layer numbered(int width, int height)
{
    Layer layer(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            layer.row(y)[x] = static_cast<PackedColor>(y * 1000 + x + 1);
    return layer;
}

TEST(LayerTest, CreateRejectsBadSizesAndReleases)
{
    struct Size {
        int width;
        int height;
        bool made;
    };
    const Size sizes[] = {
        { 1, 1, true },
        { Layer::kMaxSide, 1, true },
        { 1, Layer::kMaxSide, true },
        { 0, 1, false },
        { 1, 0, false },
        { -5, 10, false },
        { 10, kIntMin, false },
        { Layer::kMaxSide + 1, 1, false },
        { 1, Layer::kMaxSide + 1, false },
        { kIntMax, kIntMax, false },
    };
    for (const Size& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << " x " << s.height);
        Layer layer(3, 3); // a failed create must not leave this one behind
        layer.setKeyColor(0x123456);
        EXPECT_EQ(layer.create(s.width, s.height), s.made);
        EXPECT_EQ(layer.valid(), s.made);
        EXPECT_EQ(layer.width(), s.made ? s.width : 0);
        EXPECT_EQ(layer.height(), s.made ? s.height : 0);
        EXPECT_EQ(layer.keyColor(), 0u);
        if (s.made)
            EXPECT_TRUE(allPixels(layer, 0));
        else
            EXPECT_TRUE(layer.pixels().empty());
    }
}

TEST(LayerTest, CreateClearsReusedStorage)
{
    Layer layer(20, 10);
    layer.fillRect(0, 0, 20, 10, 0xABCDEF);
    layer.setKeyColor(0x010203);
    ASSERT_TRUE(layer.create(10, 5));
    EXPECT_TRUE(allPixels(layer, 0));
    EXPECT_EQ(layer.keyColor(), 0u);
    ASSERT_TRUE(layer.create(30, 10));
    EXPECT_TRUE(allPixels(layer, 0));
}

TEST(LayerTest, FillsClipAndKeepChannelsOnly)
{
    Layer layer(6, 4);
    layer.fillRect(0, 0, 6, 4, 0xFF123456);
    EXPECT_TRUE(allPixels(layer, 0x123456));

    struct Fill {
        int x, y, w, h;
        int expected; // pixels set
    };
    const Fill fills[] = {
        { -2, -1, 4, 3, 4 },
        { 4, 2, 100, 100, 4 },
        { 6, 0, 1, 4, 0 },
        { 0, 4, 6, 1, 0 },
        { 2, 1, 0, 2, 0 },
        { 2, 1, -3, 2, 0 },
        { kIntMin, kIntMin, kIntMax, kIntMax, 0 },
        { kIntMin, 0, kIntMax, 1, 0 },
        { -1, 0, kIntMax, 1, 6 },
        { kIntMax, kIntMax, kIntMax, kIntMax, 0 },
    };
    for (const Fill& f : fills) {
        SCOPED_TRACE(testing::Message() << f.x << "," << f.y << " " << f.w << "x" << f.h);
        layer.fillRect(0, 0, 6, 4, 0);
        layer.fillRect(f.x, f.y, f.w, f.h, 0x0000FF);
        int set = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool inside = x >= static_cast<std::int64_t>(f.x) && x < static_cast<std::int64_t>(f.x) + f.w
                    && y >= static_cast<std::int64_t>(f.y) && y < static_cast<std::int64_t>(f.y) + f.h;
                EXPECT_EQ(layer.pixel(x, y), inside ? 0x0000FFu : 0u) << x << "," << y;
                set += inside;
            }
        EXPECT_EQ(set, f.expected);
    }
}

TEST(LayerTest, PaintRowOutsideChangesNothing)
{
    Layer layer(5, 3);
    for (const int y : { -1, 3, kIntMin, kIntMax }) {
        layer.paintRow(0, y, 5, 0xFFFFFF);
        EXPECT_TRUE(allPixels(layer, 0)) << y;
    }
    layer.paintRow(-2, 1, 4, 0x00FF00);
    layer.paintRow(4, 2, kIntMax, 0x0000FF);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(layer.pixel(x, 0), 0u);
        EXPECT_EQ(layer.pixel(x, 1), x < 2 ? 0x00FF00u : 0u);
        EXPECT_EQ(layer.pixel(x, 2), x == 4 ? 0x0000FFu : 0u);
    }
}

TEST(LayerTest, FlipExchangesWholeRows)
{
    for (const int height : { 1, 2, 4, 5 }) {
        SCOPED_TRACE(height);
        const Layer original = numbered(3, height);
        Layer flipped = original;
        flipped.setKeyColor(0x424242);
        flipped.flipVertical();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(flipped.pixel(x, y), original.pixel(x, height - 1 - y));
        EXPECT_EQ(flipped.keyColor(), 0x424242u);

        Layer fused;
        fused.copyFlippedFrom(original);
        EXPECT_EQ(fused.pixels(), flipped.pixels());
        EXPECT_EQ(fused.keyColor(), 0u);
    }
}

TEST(LayerTest, CopyIsExactWithBlackKey)
{
    Layer source = numbered(4, 3);
    source.setKeyColor(packColor(111, 112, 112));
    Layer copy(9, 9);
    copy.setKeyColor(0x777777);
    copy.copyFrom(source);
    EXPECT_EQ(copy.width(), 4);
    EXPECT_EQ(copy.height(), 3);
    EXPECT_EQ(copy.pixels(), source.pixels());
    EXPECT_EQ(copy.keyColor(), 0u);

    copy.copyFrom(Layer());
    EXPECT_FALSE(copy.valid());
}

TEST(LayerTest, KeyColorComparesAllThreeChannels)
{
    Layer target(2, 1);
    Layer source(2, 1);
    source.row(0)[0] = packColor(112, 112, 112);
    source.row(0)[1] = packColor(111, 112, 112);
    source.setKeyColor(0xFF000000u | packColor(111, 112, 112)); // the top byte does not count
    target.blitKeyedFrom(source, 0, 0);
    EXPECT_EQ(target.pixel(0, 0), packColor(112, 112, 112));
    EXPECT_EQ(target.pixel(1, 0), 0u);
}

TEST(LayerTest, FreshLayerBlitsNothing)
{
    Layer target = numbered(5, 4);
    const Layer before = target;
    target.blitKeyedFrom(Layer(5, 4), 0, 0);
    target.blitKeyedFrom(Layer(2, 2), 1, 1);
    EXPECT_EQ(target.pixels(), before.pixels());
}

// The keyed blit, one pixel at a time, straight from its definition.
void referenceBlit(Layer& target, const Layer& source, int x, int y)
{
    for (int sy = 0; sy < source.height(); ++sy)
        for (int sx = 0; sx < source.width(); ++sx) {
            const std::int64_t tx = static_cast<std::int64_t>(x) + sx;
            const std::int64_t ty = static_cast<std::int64_t>(y) + sy;
            if (tx < 0 || ty < 0 || tx >= target.width() || ty >= target.height())
                continue;
            const PackedColor s = source.pixel(sx, sy);
            if ((s & kChannelMask) != (source.keyColor() & kChannelMask))
                target.row(static_cast<int>(ty))[tx] = s;
        }
}

TEST(LayerTest, KeyedBlitMatchesPerPixelReference)
{
    std::mt19937 random(20261211);
    // A small palette makes the key colour frequent; it includes colours that
    // differ from one another by one unit in one channel.
    const PackedColor palette[] = { 0, 0x707070, 0x70706F, 0x707071, 0x717070, 0xFFFFFF, 0x202090 };
    auto anyColour = [&] { return palette[random() % std::size(palette)]; };
    auto fillRandom = [&](Layer& layer) {
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                layer.row(y)[x] = anyColour();
    };
    for (int round = 0; round < 400; ++round) {
        Layer target(1 + static_cast<int>(random() % 40), 1 + static_cast<int>(random() % 12));
        Layer source(1 + static_cast<int>(random() % 40), 1 + static_cast<int>(random() % 12));
        fillRandom(target);
        fillRandom(source);
        source.setKeyColor(anyColour());
        const int x = static_cast<int>(random() % 90) - 45;
        const int y = static_cast<int>(random() % 30) - 15;
        Layer expected = target;
        referenceBlit(expected, source, x, y);
        target.blitKeyedFrom(source, x, y);
        ASSERT_EQ(target.pixels(), expected.pixels())
            << "round " << round << " at " << x << "," << y << " source " << source.width() << "x" << source.height();
    }

    // Offsets far outside, and a layer drawn onto itself.
    Layer target = numbered(7, 5);
    const Layer before = target;
    for (const int far : { kIntMin, kIntMax, -7, 7 }) {
        target.blitKeyedFrom(before, far, 0);
        target.blitKeyedFrom(before, 0, far);
    }
    EXPECT_EQ(target.pixels(), before.pixels());
    Layer expected = target;
    referenceBlit(expected, before, 2, 1);
    target.blitKeyedFrom(target, 2, 1);
    EXPECT_EQ(target.pixels(), expected.pixels());
}

TEST(LayerTest, WrittenRowsCoverEveryChange)
{
    Layer layer(6, 10);
    EXPECT_EQ(layer.writtenRows().begin, 0);
    EXPECT_EQ(layer.writtenRows().end, 10);
    layer.forgetWrittenRows();
    EXPECT_GE(layer.writtenRows().begin, layer.writtenRows().end);

    layer.paintRow(0, -1, 6, 0xFFFFFF); // off the layer: nothing written
    layer.fillRect(0, 12, 6, 3, 0xFFFFFF);
    EXPECT_GE(layer.writtenRows().begin, layer.writtenRows().end);

    layer.paintRow(2, 5, 1, 0xFFFFFF);
    layer.fillRect(-3, 2, 2, 1, 0xFFFFFF); // clipped away sideways: nothing written
    layer.fillRect(-3, 3, 4, 1, 0xFFFFFF);
    layer.row(7)[0] = 1;
    const Layer::RowSpan span = layer.writtenRows();
    EXPECT_EQ(span.begin, 3);
    EXPECT_EQ(span.end, 8);
    for (int y = 0; y < 10; ++y) {
        if (span.contains(y))
            continue;
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(layer.pixel(x, y), 0u) << x << "," << y;
    }

    // Blits, flips and copies count every row they may change.
    Layer source(2, 2);
    source.fillRect(0, 0, 2, 2, 0x00FF00);
    layer.forgetWrittenRows();
    layer.blitKeyedFrom(source, 4, 8);
    EXPECT_EQ(layer.writtenRows().begin, 8);
    EXPECT_EQ(layer.writtenRows().end, 10);
    layer.forgetWrittenRows();
    layer.flipVertical();
    EXPECT_EQ(layer.writtenRows().begin, 0);
    EXPECT_EQ(layer.writtenRows().end, 10);
    Layer copy;
    copy.copyFrom(layer);
    EXPECT_EQ(copy.writtenRows().end, 10);
}

// ---------------------------------------------------------------------------------
// The canvas.

TEST(CanvasTest, OperationsWithoutAnOpenLayerDoNothing)
{
    Canvas canvas;
    canvas.createLayer(GlassLayer, 8, 4);
    const BoxFont font(4, 3);
    canvas.selectFont(&font);
    canvas.setTextTransparent();
    canvas.fillRect(0, 0, 8, 4, 0xFFFFFF);
    canvas.paintRow(0, 0, 8, 0xFFFFFF);
    canvas.paintText(0, 0, "ab", 0xFFFFFF);
    EXPECT_EQ(canvas.measureText("ab"), TextSize {});
    EXPECT_TRUE(allPixels(canvas.layer(GlassLayer), 0));

    // Opening and closing again leaves nothing open.
    canvas.beginPaint(GlassLayer);
    canvas.endPaint();
    canvas.fillRect(0, 0, 8, 4, 0xFFFFFF);
    EXPECT_TRUE(allPixels(canvas.layer(GlassLayer), 0));
}

TEST(CanvasTest, MissingLayersIgnoreEverything)
{
    Canvas canvas;
    canvas.createLayer(FrameLayer, 4, 4);
    canvas.createLayer(StencilLayer, 0, 5); // names no layer
    canvas.createLayer(RimLayer, 4, 4);
    canvas.createLayer(RimLayer, 4, -1); // releases the layer made before
    canvas.createLayer(7, 4, 4);
    canvas.createLayer(-1, 4, 4);
    EXPECT_FALSE(canvas.layer(StencilLayer).valid());
    EXPECT_FALSE(canvas.layer(RimLayer).valid());
    EXPECT_FALSE(canvas.layer(7).valid());
    EXPECT_FALSE(canvas.layer(-1).valid());

    const BoxFont font(4, 3);
    for (const int number : { int(StencilLayer), int(RimLayer), 7, -1 }) {
        SCOPED_TRACE(number);
        canvas.beginPaint(number);
        EXPECT_EQ(canvas.openLayer(), -1);
        canvas.selectFont(&font);
        canvas.fillRect(0, 0, 4, 4, 0xFFFFFF);
        EXPECT_EQ(canvas.measureText("abc"), TextSize {});
        canvas.endPaint();
        canvas.setKeyColor(number, 0x123456);
        canvas.flipVertical(number);
        canvas.copyLayer(number, FrameLayer);
        canvas.setBlitTarget(number);
        canvas.blitKeyed(FrameLayer, 0, 0);
        canvas.setBlitTarget(FrameLayer);
        canvas.blitKeyed(number, 0, 0);
    }
    ASSERT_TRUE(canvas.layer(FrameLayer).valid());
    EXPECT_TRUE(allPixels(canvas.layer(FrameLayer), 0));
}

TEST(CanvasTest, FontSelectionAndMeasurement)
{
    Canvas canvas;
    canvas.createLayer(RimLayer, 40, 10);
    const BoxFont font(6, 9);
    canvas.beginPaint(RimLayer);
    EXPECT_EQ(canvas.measureText("Lumivex"), TextSize {}); // no font selected yet
    canvas.selectFont(&font);
    EXPECT_EQ(canvas.measureText("Lumivex"), (TextSize { 42, 9 }));
    EXPECT_EQ(canvas.measureText(""), TextSize {});
    EXPECT_EQ(canvas.measureText("Ä€"), (TextSize { 12, 9 })); // two characters in five bytes
    canvas.endPaint();
    canvas.beginPaint(RimLayer); // every opening starts without a font
    EXPECT_EQ(canvas.measureText("Lumivex"), TextSize {});
    canvas.endPaint();
}

TEST(CanvasTest, TextModesAndExactGlyphColour)
{
    // Glyphs fill columns 1..4 and rows 2..5 of each 6 x 8 cell.
    const BoxFont font(6, 8, 2, 6);
    for (const bool transparent : { true, false }) {
        SCOPED_TRACE(transparent);
        Canvas canvas;
        canvas.createLayer(StencilLayer, 20, 10);
        canvas.beginPaint(StencilLayer);
        canvas.fillRect(0, 0, 20, 10, 0x707070);
        if (transparent)
            canvas.setTextTransparent();
        canvas.selectFont(&font);
        canvas.paintText(3, 1, "ab", 0xFF70706F);
        canvas.paintText(3, 1, "", 0x00FF00);
        canvas.endPaint();
        const Layer& layer = canvas.layer(StencilLayer);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                const int cx = x - 3;
                const int cy = y - 1;
                const bool inCell = cx >= 0 && cx < 12 && cy >= 0 && cy < 8;
                const bool inGlyph = inCell && cx % 6 >= 1 && cx % 6 <= 4 && cy >= 2 && cy < 6;
                PackedColor expected = 0x707070;
                if (inGlyph)
                    expected = 0x70706F;
                else if (inCell && !transparent)
                    expected = 0xFFFFFF;
                ASSERT_EQ(layer.pixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(CanvasTest, CopyFlipAndBlitTarget)
{
    Canvas canvas;
    canvas.createLayer(StencilLayer, 3, 5);
    canvas.createLayer(MirrorLayer, 9, 9);
    canvas.layer(StencilLayer) = numbered(3, 5);
    canvas.setKeyColor(StencilLayer, packColor(111, 112, 112));
    canvas.copyLayer(StencilLayer, MirrorLayer);
    const Layer& mirror = canvas.layer(MirrorLayer);
    EXPECT_EQ(mirror.keyColor(), 0u);
    EXPECT_EQ(mirror.pixels(), canvas.layer(StencilLayer).pixels());

    canvas.beginPaint(RimLayer);
    canvas.flipVertical(MirrorLayer);
    EXPECT_EQ(canvas.openLayer(), -1); // the flip opens and closes the layer itself
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(mirror.pixel(1, y), canvas.layer(StencilLayer).pixel(1, 4 - y));

    // Keyed drawing goes to the chosen target only; the screen takes nothing here.
    canvas.createLayer(FrameLayer, 3, 5);
    EXPECT_EQ(canvas.blitTarget(), Canvas::kScreen);
    canvas.blitKeyed(StencilLayer, 0, 0);
    EXPECT_TRUE(allPixels(canvas.layer(FrameLayer), 0));
    canvas.setBlitTarget(FrameLayer);
    canvas.blitKeyed(StencilLayer, 0, 2);
    EXPECT_EQ(canvas.layer(FrameLayer).pixel(2, 4), canvas.layer(StencilLayer).pixel(2, 2));
    EXPECT_EQ(canvas.layer(FrameLayer).pixel(2, 1), 0u);
    canvas.resetBlitTarget();
    EXPECT_EQ(canvas.blitTarget(), Canvas::kScreen);
}

TEST(BoxFontTest, LongTextClipsAndMeasures)
{
    const std::string text(1'000'000, 'x');
    const BoxFont font(150, 226);
    EXPECT_EQ(font.measureText(text), (TextSize { 150'000'000, 226 }));
    const BoxFont wide(kIntMax, 10);
    EXPECT_EQ(wide.measureText("ab").width, kIntMax); // saturates instead of overflowing

    Layer layer(100, 50);
    font.paintText(layer, -75'000'000 + 50, -100, text, 0x00FF00); // a glyph edge inside
    font.paintText(layer, kIntMin, kIntMin, text, 0x00FF00);
    font.paintText(layer, kIntMax, kIntMax, text, 0x00FF00);
    int set = 0;
    for (const PackedColor p : layer.pixels())
        set += p == 0x00FF00;
    // Cell x = -75e6 + 50 + 150k; the glyph 500000 has its cell at x = 50: columns
    // 51..99 (49), the one before ends at column 48 (columns 0..48, 49); rows 0..49.
    EXPECT_EQ(set, (49 + 49) * 50);
    EXPECT_EQ(layer.pixel(49, 10), 0u);
    EXPECT_EQ(layer.pixel(50, 10), 0u);
}

} // namespace
} // namespace lumivex
