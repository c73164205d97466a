#include "scene/Canvas.h"
#include "scene/RenderFrame.h"
#include "scene/SceneFont.h"
#include "scene/SceneParams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace lumivex {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

PackedColor rgb(int r, int g, int b)
{
    return packColor(r, g, b);
}

// True when every pixel of row y has colour c.
bool rowIs(const Layer& layer, int y, PackedColor c)
{
    for (int x = 0; x < layer.width(); ++x)
        if (layer.pixel(x, y) != c)
            return false;
    return true;
}

// Every pixel of a painted row has the same colour; returns it.
PackedColor rowColour(const Layer& layer, int y)
{
    const PackedColor c = layer.pixel(0, y);
    EXPECT_TRUE(rowIs(layer, y, c)) << "row " << y << " is not one colour";
    return c;
}

// The background sample the reflection blends with on frame row Y: truncated.
PackedColor backgroundSample(const SceneParams& params, int frameRow)
{
    const float t = static_cast<float>(frameRow / (params.height * 2.0));
    const float u = static_cast<float>(1.0 - t);
    auto channel = [&](int top, int bottom) { return static_cast<int>(top * double(u) + bottom * double(t)); };
    return rgb(channel(redOf(params.backgroundTop), redOf(params.backgroundBottom)),
        channel(greenOf(params.backgroundTop), greenOf(params.backgroundBottom)),
        channel(blueOf(params.backgroundTop), blueOf(params.backgroundBottom)));
}

SceneParams sceneOfSize(int width, int height, std::string text = "Lumivex")
{
    SceneParams params;
    params.width = width;
    params.height = height;
    params.text = std::move(text);
    return params;
}

// ---------------------------------------------------------------------------------
// Background.

TEST(RenderFrameTest, GradientRows)
{
    const SceneParams params = sceneOfSize(50, 200);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawBackground(canvas, params);
    const Layer& gradient = canvas.layer(GradientLayer);
    ASSERT_EQ(gradient.height(), 400);
    EXPECT_TRUE(rowIs(gradient, 0, rgb(240, 240, 240)));
    EXPECT_TRUE(rowIs(gradient, 1, rgb(240, 240, 240)));
    EXPECT_TRUE(rowIs(gradient, 200, rgb(176, 176, 176)));
    EXPECT_TRUE(rowIs(gradient, 399, rgb(112, 112, 112)));
    EXPECT_EQ(gradient.keyColor(), 0u);
    // Every row is one colour and the channels never rise from top to bottom.
    int previous = 255;
    for (int y = 0; y < gradient.height(); ++y) {
        const PackedColor c = rowColour(gradient, y);
        EXPECT_LE(redOf(c), previous);
        previous = redOf(c);
    }

    // Distinct channels, each mixed on its own; and the top byte takes no part.
    SceneParams mixed = params;
    mixed.backgroundTop = 0xFF0000FF;   // red 255
    mixed.backgroundBottom = 0xAAFF0000; // blue 255
    drawBackground(canvas, mixed);
    EXPECT_TRUE(rowIs(gradient, 0, rgb(255, 0, 0)));
    EXPECT_TRUE(rowIs(gradient, 200, rgb(128, 0, 128))); // 127.5 to even on both
    EXPECT_TRUE(rowIs(gradient, 399, rgb(1, 0, 254)));
}

// ---------------------------------------------------------------------------------
// Glass bands.

struct BandCase {
    const char* name;
    int cellHeight;
    float elevation;
    int firstPainted; // -1: nothing painted
    int lastPainted;
    bool skipsOddRows; // ties in the lower loop leave odd rows black
};

void PrintTo(const BandCase& c, std::ostream* os)
{
    *os << c.name;
}

class GlassBandsTest : public testing::TestWithParam<BandCase> {};

TEST_P(GlassBandsTest, PaintsTheCellRows)
{
    const BandCase& c = GetParam();
    SceneParams params = sceneOfSize(20, 200);
    params.textElevation = c.elevation;
    params.brightnessDown = 0.1f; // keeps every lower band clear of black
    const BoxFont font(5, c.cellHeight);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawGlassBands(canvas, params, &font);
    const Layer& glass = canvas.layer(GlassLayer);
    EXPECT_EQ(glass.keyColor(), params.backgroundBottom);
    const int lowerStart = c.firstPainted < 0 ? 0 : c.lastPainted - (c.lastPainted - c.firstPainted) / 2;
    for (int y = 0; y < glass.height(); ++y) {
        const PackedColor colour = rowColour(glass, y);
        bool painted = c.firstPainted >= 0 && y >= c.firstPainted && y <= c.lastPainted;
        if (painted && c.skipsOddRows && y > lowerStart && y % 2 == 1)
            painted = false;
        EXPECT_EQ(colour != 0u, painted) << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, GlassBandsTest,
    testing::Values(
        // Upper rows 100..150, lower 150..200; row 200 is the floor.
        BandCase { "th100", 100, 1.0f, 100, 199, false },
        // Upper 19..132, lower 132..245.
        BandCase { "th226", 226, 0.8f, 19, 199, false },
        // Upper 99..149; the lower rows are all ties: 150, 150, 152, 152, ...
        BandCase { "th101", 101, 1.0f, 99, 199, true },
        // The cell starts on the floor: nothing lies on the layer.
        BandCase { "onFloor", 100, 0.0f, -1, -1, false },
        BandCase { "empty", 0, 1.0f, -1, -1, false }),
    [](const testing::TestParamInfo<BandCase>& param) { return param.param.name; });

TEST(RenderFrameTest, BandColoursOfTheDefaultScene)
{
    const SceneParams params = sceneOfSize(20, 200);
    const BoxFont font(5, 226);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawGlassBands(canvas, params, &font);
    const Layer& glass = canvas.layer(GlassLayer);
    for (const int y : { 19, 20, 21 })
        EXPECT_EQ(rowColour(glass, y), rgb(255, 255, 255)) << y;
    for (const int y : { 130, 131 })
        EXPECT_EQ(rowColour(glass, y), rgb(144, 32, 32)) << y;
    // The lower loop paints row 132 again, darkened by 0.6 Dv.
    EXPECT_EQ(rowColour(glass, 132), rgb(75, 16, 16));
    EXPECT_EQ(rowColour(glass, 18), 0u);

    // th = 100: row 150 keeps the lower loop's first colour.
    const BoxFont small(5, 100);
    SceneParams level = params;
    level.textElevation = 1.0f;
    rebuildLayers(canvas, params.width, params.height);
    drawGlassBands(canvas, level, &small);
    EXPECT_EQ(rowColour(glass, 150), rgb(75, 16, 16));
    EXPECT_EQ(rowColour(glass, 100), rgb(255, 255, 255));
}

// ---------------------------------------------------------------------------------
// Stencil and rim.

TEST(RenderFrameTest, StencilRimAndMirror)
{
    SceneParams params = sceneOfSize(50, 40, "AB");
    params.textElevation = 1.0f;
    // Cells of 10 x 20; glyphs in columns 1..8 of each cell.
    const BoxFont font(10, 20);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawStencilAndRim(canvas, params, &font);

    const PackedColor stencil = stencilColor(params.backgroundBottom);
    const PackedColor rim = rimColor(params.textColor, params.backgroundTop);
    EXPECT_EQ(stencil, rgb(111, 112, 112));
    EXPECT_EQ(rim, rgb(154, 109, 109));

    // The stencil's cell starts at (50 - 10, 40 - 20); the rim's 4 right and 4 up.
    const Layer& s = canvas.layer(StencilLayer);
    const Layer& r = canvas.layer(RimLayer);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool textAt = x >= 40 && x < 60 && (x - 40) % 10 >= 1 && (x - 40) % 10 <= 8 && y >= 20;
            const bool rimAt = x >= 44 && x < 64 && (x - 44) % 10 >= 1 && (x - 44) % 10 <= 8 && y >= 16 && y < 36;
            ASSERT_EQ(s.pixel(x, y), textAt ? stencil : params.backgroundBottom) << x << "," << y;
            ASSERT_EQ(r.pixel(x, y), rimAt ? rim : 0u) << x << "," << y;
        }
    EXPECT_EQ(s.keyColor(), stencil);
    EXPECT_EQ(r.keyColor(), 0u);

    const Layer& m = canvas.layer(MirrorLayer);
    EXPECT_EQ(m.keyColor(), stencil);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(m.pixel(x, y), s.pixel(x, 39 - y));
}

TEST(RenderFrameTest, StencilColourOfBlackBackgroundIsWhite)
{
    SceneParams params = sceneOfSize(50, 40, "A");
    params.backgroundBottom = 0;
    const BoxFont font(10, 20);
    Canvas canvas;
    renderFrame(canvas, params, &font);
    const Layer& s = canvas.layer(StencilLayer);
    EXPECT_EQ(s.keyColor(), 0xFFFFFFu);
    EXPECT_EQ(s.pixel(46, 30), 0xFFFFFFu); // inside the glyph
    // The glass text still comes through: the glyph shows its band, not the gradient.
    EXPECT_NE(canvas.layer(FrameLayer).pixel(46, 30), canvas.layer(GradientLayer).pixel(46, 30));
}

TEST(RenderFrameTest, BlackRimColourVanishes)
{
    SceneParams params = sceneOfSize(50, 40, "A");
    params.textColor = 0;
    params.backgroundTop = 0;
    params.textElevation = 1.0f;
    const BoxFont font(10, 20);
    Canvas canvas;
    renderFrame(canvas, params, &font);
    // The rim's own rows above the text are the gradient.
    const Layer& frame = canvas.layer(FrameLayer);
    for (int y = 0; y < 20; ++y)
        EXPECT_TRUE(rowIs(frame, y, canvas.layer(GradientLayer).pixel(0, y))) << y;
}

// ---------------------------------------------------------------------------------
// Reflection.

struct ReflectionRow {
    int row;
    PackedColor colour;
};

struct ReflectionCase {
    const char* name;
    int cellHeight;
    float elevation;
    float fadeStep;
    std::vector<ReflectionRow> rows;
};

void PrintTo(const ReflectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReflectionTest : public testing::TestWithParam<ReflectionCase> {};

TEST_P(ReflectionTest, RowsAndFade)
{
    const ReflectionCase& c = GetParam();
    SceneParams params = sceneOfSize(20, 200);
    params.textElevation = c.elevation;
    params.reflectionFadeStep = c.fadeStep;
    const BoxFont font(5, c.cellHeight);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawReflection(canvas, params, &font);
    const Layer& reflection = canvas.layer(ReflectionLayer);
    EXPECT_EQ(reflection.keyColor(), params.backgroundBottom);
    for (const ReflectionRow& r : c.rows)
        EXPECT_EQ(rowColour(reflection, r.row), r.colour) << "row " << r.row;
}

INSTANTIATE_TEST_SUITE_P(Figures, ReflectionTest,
    testing::Values(
        // Row 0: fade 0.007, band black, sample 176. Row 50 ends with fade 0.364,
        // band (144, 32, 32), sample 160. Row 100: 102 steps, white band, sample 144.
        ReflectionCase { "th100", 100, 1.0f, 0.007f,
            { { 0, rgb(1, 1, 1) }, { 50, rgb(150, 79, 79) }, { 100, rgb(176, 176, 176) }, { 101, 0 }, { 199, 0 } } },
        // The first 45 steps fall above the layer: row 0 is the 46th, fade 0.322.
        ReflectionCase { "th226", 226, 0.8f, 0.007f, { { 0, rgb(57, 57, 57) }, { 182, 0 } } },
        // Fade 0.5 on the first row, 1.0 from then on.
        ReflectionCase { "halfStep", 100, 1.0f, 0.5f, { { 0, rgb(88, 88, 88) }, { 1, rgb(175, 175, 175) } } },
        // No fade: the mirrored bands themselves.
        ReflectionCase { "noFade", 100, 1.0f, 0.0f, { { 50, rgb(144, 32, 32) }, { 100, rgb(255, 255, 255) } } },
        // A negative step drives the blend below 0; the channels borrow when packed.
        ReflectionCase { "negativeStep", 100, 1.0f, -0.007f,
            { { 0, packColor(-1, -1, -1) & kChannelMask } } },
        ReflectionCase { "empty", 0, 1.0f, 0.007f, { { 0, 0 }, { 100, 0 } } }),
    [](const testing::TestParamInfo<ReflectionCase>& param) { return param.param.name; });

TEST(RenderFrameTest, ReflectionReachesTheBackground)
{
    // th = 226, e = 0.8: the fade reaches 1.0 at the 143rd step, on row 96, and every
    // later row (up to row 181) is its background sample.
    SceneParams params = sceneOfSize(20, 200);
    const BoxFont font(5, 226);
    Canvas canvas;
    rebuildLayers(canvas, params.width, params.height);
    drawReflection(canvas, params, &font);
    const Layer& reflection = canvas.layer(ReflectionLayer);
    for (int y = 96; y <= 181; ++y)
        EXPECT_EQ(rowColour(reflection, y), backgroundSample(params, y + 200)) << y;

    // With a fade of 0.5 every row after the first is its sample.
    params.reflectionFadeStep = 0.5f;
    params.textElevation = 1.0f;
    const BoxFont level(5, 100);
    rebuildLayers(canvas, params.width, params.height);
    drawReflection(canvas, params, &level);
    for (int y = 1; y <= 100; ++y)
        EXPECT_EQ(rowColour(reflection, y), backgroundSample(params, y + 200)) << y;
}

// ---------------------------------------------------------------------------------
// The composed frame.

// The frame composed one pixel at a time from the painted layers, straight from the
// masking and composition rules.
Layer referenceFrame(const Canvas& painted, const SceneParams& params)
{
    const int h = params.height;
    const Layer& gradient = painted.layer(GradientLayer);
    const Layer& stencil = painted.layer(StencilLayer);
    const Layer& glass = painted.layer(GlassLayer);
    const Layer& reflection = painted.layer(ReflectionLayer);
    const Layer& mirror = painted.layer(MirrorLayer);
    const Layer& rim = painted.layer(RimLayer);
    const PackedColor bottom = params.backgroundBottom & kChannelMask;
    Layer frame(gradient.width(), gradient.height());
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            PackedColor out = gradient.pixel(x, y); // black shows black either way
            if (y < h) {
                if (rim.pixel(x, y) != 0)
                    out = rim.pixel(x, y);
                const PackedColor masked
                    = stencil.pixel(x, y) == stencil.keyColor() ? glass.pixel(x, y) : stencil.pixel(x, y);
                if (masked != bottom)
                    out = masked;
            } else {
                const PackedColor masked = mirror.pixel(x, y - h) == mirror.keyColor() ? reflection.pixel(x, y - h)
                                                                                        : mirror.pixel(x, y - h);
                if (masked != bottom)
                    out = masked;
            }
            frame.row(y)[x] = out;
        }
    return frame;
}

// The painting steps alone, without masking and composition.
void paintSteps(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    rebuildLayers(canvas, params.width, params.height);
    drawStencilAndRim(canvas, params, font);
    drawBackground(canvas, params);
    drawGlassBands(canvas, params, font);
    drawReflection(canvas, params, font);
}

struct SceneCase {
    const char* name;
    std::function<void(SceneParams&)> change;
    int advance;
    int cellHeight;
};

void PrintTo(const SceneCase& c, std::ostream* os)
{
    *os << c.name;
}

class ComposedFrameTest : public testing::TestWithParam<SceneCase> {};

TEST_P(ComposedFrameTest, MatchesPerPixelComposition)
{
    const SceneCase& c = GetParam();
    SceneParams params = sceneOfSize(200, 150);
    c.change(params);
    const BoxFont font(c.advance, c.cellHeight, c.cellHeight / 6, c.cellHeight - c.cellHeight / 8);
    Canvas painted;
    paintSteps(painted, params, &font);
    const Layer expected = referenceFrame(painted, params);

    Canvas canvas;
    renderFrame(canvas, params, &font);
    renderFrame(canvas, params, &font); // a second render on reused layers gives the same
    EXPECT_EQ(canvas.blitTarget(), Canvas::kScreen);
    const Layer& frame = canvas.layer(FrameLayer);
    ASSERT_EQ(frame.width(), 2 * params.width);
    ASSERT_EQ(frame.height(), 2 * params.height);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            ASSERT_EQ(frame.pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Scenes, ComposedFrameTest,
    testing::Values(SceneCase { "defaults", [](SceneParams&) {}, 30, 120 },
        SceneCase { "highText", [](SceneParams& p) { p.textElevation = 1.4f; }, 30, 90 },
        SceneCase { "wideText", [](SceneParams& p) { p.text = "Lumivex Lumivex Lumivex"; }, 40, 100 },
        // The cell starts above the layer: the text reaches stencil row 0, and its mirror,
        // little faded, the frame's last row.
        SceneCase { "cutAtTheTop",
            [](SceneParams& p) {
                p.textElevation = 2.0f;
                p.reflectionFadeStep = 0.001f;
            },
            30, 120 },
        // The stencil's text colour is black, the key colour of the rim and gradient.
        SceneCase { "blackStencilText", [](SceneParams& p) { p.backgroundBottom = 0x000001; }, 30, 120 },
        SceneCase { "blackBottom", [](SceneParams& p) { p.backgroundBottom = 0; }, 30, 120 },
        SceneCase { "bandEqualsBottom",
            [](SceneParams& p) {
                p.textColor = 0x707070;
                p.brightnessUp = 0.0f;
            },
            30, 120 },
        SceneCase { "brightColours",
            [](SceneParams& p) {
                p.textColor = 0xFF10E0F0;
                p.backgroundTop = 0x00FF00;
                p.backgroundBottom = 0x0000FF;
            },
            30, 120 }),
    [](const testing::TestParamInfo<SceneCase>& param) { return param.param.name; });

// The whole pass as its steps and blits read, one canvas operation after another.
void renderStepByStep(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    paintSteps(canvas, params, font);
    canvas.setBlitTarget(GlassLayer);
    canvas.blitKeyed(StencilLayer, 0, 0);
    canvas.setBlitTarget(ReflectionLayer);
    canvas.blitKeyed(MirrorLayer, 0, 0);
    canvas.setBlitTarget(FrameLayer);
    canvas.blitKeyed(GradientLayer, 0, 0);
    canvas.blitKeyed(RimLayer, 0, 0);
    canvas.blitKeyed(GlassLayer, 0, 0);
    canvas.blitKeyed(ReflectionLayer, 0, params.height);
    canvas.resetBlitTarget();
}

void expectSameLayers(const Canvas& actual, const Canvas& expected)
{
    for (int number = 0; number < Canvas::kLayerCount; ++number) {
        SCOPED_TRACE(testing::Message() << "layer " << number);
        const Layer& a = actual.layer(number);
        const Layer& e = expected.layer(number);
        ASSERT_EQ(a.valid(), e.valid());
        ASSERT_EQ(a.width(), e.width());
        ASSERT_EQ(a.height(), e.height());
        EXPECT_EQ(a.keyColor(), e.keyColor());
        EXPECT_TRUE(a.pixels() == e.pixels());
    }
}

TEST_P(ComposedFrameTest, EveryLayerEndsAsTheStepsLeaveIt)
{
    const SceneCase& c = GetParam();
    SceneParams params = sceneOfSize(200, 150);
    c.change(params);
    const BoxFont font(c.advance, c.cellHeight, c.cellHeight / 6, c.cellHeight - c.cellHeight / 8);
    Canvas expected;
    renderStepByStep(expected, params, &font);

    Canvas canvas;
    renderFrame(canvas, sceneOfSize(90, 70), &font); // other sizes first: nothing of it may stay
    renderFrame(canvas, params, &font);
    EXPECT_EQ(canvas.openLayer(), -1);
    EXPECT_EQ(canvas.blitTarget(), Canvas::kScreen);
    expectSameLayers(canvas, expected);
}

TEST(RenderFrameTest, LayersLeftForLaterAreDrawnBeforeAnyChange)
{
    SceneParams params = sceneOfSize(60, 40, "AB");
    const BoxFont font(20, 30);
    Canvas expected;
    renderStepByStep(expected, params, &font);

    // Changing the stencil first must not change the masked glass and reflection.
    Canvas canvas;
    renderFrame(canvas, params, &font);
    canvas.beginPaint(StencilLayer);
    canvas.fillRect(0, 0, 120, 40, 0x00FF00);
    canvas.endPaint();
    EXPECT_TRUE(canvas.layer(GlassLayer).pixels() == expected.layer(GlassLayer).pixels());
    EXPECT_TRUE(canvas.layer(MirrorLayer).pixels() == expected.layer(MirrorLayer).pixels());
    EXPECT_TRUE(canvas.layer(ReflectionLayer).pixels() == expected.layer(ReflectionLayer).pixels());

    // Making a layer anew replaces what a render left, drawn or not.
    renderFrame(canvas, params, &font);
    canvas.createLayer(GlassLayer, 3, 2);
    EXPECT_EQ(canvas.layer(GlassLayer).width(), 3);
    EXPECT_EQ(canvas.layer(GlassLayer).pixels(), std::vector<PackedColor>(6, 0));
    EXPECT_TRUE(canvas.layer(GradientLayer).pixels() == expected.layer(GradientLayer).pixels());

    // The frame alone never needs the rest.
    renderFrame(canvas, params, &font);
    EXPECT_TRUE(canvas.layer(FrameLayer).pixels() == expected.layer(FrameLayer).pixels());
    EXPECT_TRUE(canvas.hasDeferred());
    canvas.blitKeyed(RimLayer, 0, 0); // the screen: nothing to draw, but it names a layer
    EXPECT_FALSE(canvas.hasDeferred());
}

// What must hold of any composed frame, checked against the painted layers: the
// glass text shows the band colour of its row, the rim its colour, the reflection lies
// below the floor on the mirrored text only, and every other pixel is the gradient.
// Returns the number of text pixels seen.
int expectSceneHoldsTogether(const SceneParams& params, const SceneFont* font)
{
    const int h = params.height;
    const int fw = 2 * params.width;
    Canvas painted;
    paintSteps(painted, params, font);
    Canvas canvas;
    renderFrame(canvas, params, font);

    const Layer& frame = canvas.layer(FrameLayer);
    EXPECT_EQ(frame.width(), fw);
    EXPECT_EQ(frame.height(), 2 * h);
    for (const int number : { GlassLayer, ReflectionLayer, StencilLayer, MirrorLayer, RimLayer }) {
        EXPECT_EQ(canvas.layer(number).width(), fw);
        EXPECT_EQ(canvas.layer(number).height(), h);
    }
    const Layer& gradient = painted.layer(GradientLayer);
    const Layer& stencil = painted.layer(StencilLayer);
    const Layer& glass = painted.layer(GlassLayer);
    const Layer& mirror = painted.layer(MirrorLayer);
    const Layer& reflection = painted.layer(ReflectionLayer);
    const Layer& rim = painted.layer(RimLayer);
    const PackedColor textMark = stencilColor(params.backgroundBottom) & kChannelMask;
    const PackedColor bottom = params.backgroundBottom & kChannelMask;
    int textPixels = 0;
    int plainColumns = 0;
    for (int x = 0; x < fw; ++x) {
        bool columnHasText = false;
        for (int y = 0; y < h; ++y) {
            const bool text = stencil.pixel(x, y) == textMark;
            const bool rimHere = rim.pixel(x, y) != 0;
            columnHasText = columnHasText || text || rimHere;
            // Above the floor: glass text over rim over gradient.
            PackedColor above = gradient.pixel(x, y);
            if (rimHere)
                above = rim.pixel(x, y);
            if (text && glass.pixel(0, y) != bottom) {
                above = glass.pixel(0, y); // the band colour of the row
                ++textPixels;
            }
            if (frame.pixel(x, y) != above) {
                ADD_FAILURE() << "above the floor at " << x << "," << y;
                return textPixels;
            }
            // Below the floor: the reflection on the mirrored text only.
            PackedColor below = gradient.pixel(x, h + y);
            if (mirror.pixel(x, y) == textMark && reflection.pixel(0, y) != bottom)
                below = reflection.pixel(0, y);
            if (frame.pixel(x, h + y) != below) {
                ADD_FAILURE() << "below the floor at " << x << "," << h + y;
                return textPixels;
            }
        }
        if (!columnHasText) {
            ++plainColumns;
            for (int y = 0; y < 2 * h; ++y)
                if (frame.pixel(x, y) != gradient.pixel(0, y)) {
                    ADD_FAILURE() << "column " << x << " is not the gradient at row " << y;
                    return textPixels;
                }
        }
    }
    EXPECT_GT(plainColumns, 0);
    return textPixels;
}

TEST(RenderFrameTest, DefaultSceneHoldsTogether)
{
    const SceneParams params = sceneOfSize(800, 200);
    const BoxFont font(150, 226, 40, 190);
    // Seven glyphs of 148 x 141 pixels above the floor.
    EXPECT_EQ(expectSceneHoldsTogether(params, &font), 7 * 148 * 141);
}

TEST(RenderFrameTest, DefaultSceneWithTheRealFontHoldsTogether)
{
    const SceneParams params = sceneOfSize(800, 200);
    const std::unique_ptr<SceneFont> font
        = buildSceneFont(params.fontName, params.fontStyle, fontEmHeight(params.fontSize, 96));
    if (!font)
        GTEST_SKIP() << "no font could be built";
    EXPECT_GT(expectSceneHoldsTogether(params, font.get()), 10000);

    SceneParams styled = params;
    styled.text = "Glas Äpfel 0123 ÿ";
    styled.fontStyle = FontStyleBold | FontStyleItalic | FontStyleUnderline | FontStyleStrikeOut;
    styled.textElevation = 1.1f;
    const std::unique_ptr<SceneFont> styledFont
        = buildSceneFont(styled.fontName, styled.fontStyle, fontEmHeight(styled.fontSize, 120));
    ASSERT_TRUE(styledFont);
    EXPECT_GT(expectSceneHoldsTogether(styled, styledFont.get()), 10000);
}

TEST(RenderFrameTest, HugeRealFontFinishes)
{
    // The largest em height the font gives, far higher than the frame, with elevations
    // that put the text inside, above and below the layers.
    const std::unique_ptr<SceneFont> font = buildSceneFont("DejaVu Sans", 0, fontEmHeight(100000, 96));
    if (!font)
        GTEST_SKIP() << "no font could be built";
    for (const float elevation : { 0.8f, 1e30f, -1e30f, kNaN }) {
        SCOPED_TRACE(elevation);
        SceneParams params = sceneOfSize(300, 100, "Wg");
        params.textElevation = elevation;
        Canvas canvas;
        renderFrame(canvas, params, font.get());
        EXPECT_TRUE(canvas.layer(FrameLayer).valid());
        EXPECT_TRUE(canvas.layer(ReflectionLayer).valid());
    }
}

TEST(RenderFrameTest, TextOnTheFloorLeavesOnlyTheRimTop)
{
    SceneParams params = sceneOfSize(100, 80);
    params.textElevation = 0.0f;
    const BoxFont font(20, 50);
    Canvas canvas;
    renderFrame(canvas, params, &font);
    const Layer& frame = canvas.layer(FrameLayer);
    const Layer& gradient = canvas.layer(GradientLayer);
    const PackedColor rim = rimColor(params.textColor, params.backgroundTop);
    int rimPixels = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 200; ++x) {
            if (frame.pixel(x, y) == gradient.pixel(x, y))
                continue;
            ASSERT_TRUE(y >= 76 && y < 80) << x << "," << y;
            ASSERT_EQ(frame.pixel(x, y), rim);
            ++rimPixels;
        }
    EXPECT_GT(rimPixels, 0);
}

TEST(RenderFrameTest, EmptyTextIsTheGradientAlone)
{
    SceneParams params = sceneOfSize(60, 30);
    params.text.clear();
    const BoxFont font(20, 50);
    for (const SceneFont* f : { static_cast<const SceneFont*>(&font), static_cast<const SceneFont*>(nullptr) }) {
        Canvas canvas;
        renderFrame(canvas, params, f);
        EXPECT_EQ(canvas.layer(FrameLayer).pixels(), canvas.layer(GradientLayer).pixels());
        EXPECT_TRUE(rowIs(canvas.layer(RimLayer), 0, 0));
    }
}

TEST(RenderFrameTest, ResizingRemakesEveryLayer)
{
    const BoxFont font(20, 50);
    Canvas canvas;
    renderFrame(canvas, sceneOfSize(300, 100), &font);
    renderFrame(canvas, sceneOfSize(40, 30), &font);
    EXPECT_EQ(canvas.layer(FrameLayer).width(), 80);
    EXPECT_EQ(canvas.layer(FrameLayer).height(), 60);
    for (const int number : { GlassLayer, ReflectionLayer, StencilLayer, MirrorLayer, RimLayer }) {
        EXPECT_EQ(canvas.layer(number).width(), 80);
        EXPECT_EQ(canvas.layer(number).height(), 30);
    }
    // Starting small and growing gives the same frame as a fresh canvas.
    renderFrame(canvas, sceneOfSize(300, 100), &font);
    Canvas fresh;
    renderFrame(fresh, sceneOfSize(300, 100), &font);
    EXPECT_EQ(canvas.layer(FrameLayer).pixels(), fresh.layer(FrameLayer).pixels());
    EXPECT_EQ(canvas.layer(GlassLayer).pixels(), fresh.layer(GlassLayer).pixels());
}

// ---------------------------------------------------------------------------------
// Values only a settings file can bring.

struct HostileCase {
    const char* name;
    std::function<void(SceneParams&)> change;
    int advance = 150;
    int cellHeight = 226;
    enum Expect { FrameMade, NoFrame, GradientOnly } expect = FrameMade;
};

void PrintTo(const HostileCase& c, std::ostream* os)
{
    *os << c.name;
}

class HostileTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, FinishesWithoutHarm)
{
    const HostileCase& c = GetParam();
    SceneParams params = sceneOfSize(120, 40);
    c.change(params);
    const BoxFont font(c.advance, c.cellHeight);
    Canvas canvas;
    renderFrame(canvas, sceneOfSize(30, 20), &font); // a frame from before must not survive
    renderFrame(canvas, params, &font);
    const Layer& frame = canvas.layer(FrameLayer);
    switch (c.expect) {
    case HostileCase::NoFrame:
        for (int number = 0; number < Canvas::kLayerCount; ++number)
            EXPECT_FALSE(canvas.layer(number).valid()) << number;
        break;
    case HostileCase::GradientOnly:
        ASSERT_TRUE(frame.valid());
        EXPECT_EQ(frame.pixels(), canvas.layer(GradientLayer).pixels());
        break;
    case HostileCase::FrameMade:
        ASSERT_TRUE(frame.valid());
        EXPECT_EQ(frame.width(), 2 * params.width);
        EXPECT_EQ(frame.height(), 2 * params.height);
        for (const PackedColor p : frame.pixels())
            ASSERT_EQ(p & ~kChannelMask, 0u);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Values, HostileTest,
    testing::Values(HostileCase { "zeroWidth", [](SceneParams& p) { p.width = 0; }, 150, 226, HostileCase::NoFrame },
        HostileCase { "zeroHeight", [](SceneParams& p) { p.height = 0; }, 150, 226, HostileCase::NoFrame },
        HostileCase { "negativeSize",
            [](SceneParams& p) {
                p.width = -1;
                p.height = kIntMin;
            },
            150, 226, HostileCase::NoFrame },
        HostileCase { "hugeSize",
            [](SceneParams& p) {
                p.width = kIntMax;
                p.height = kIntMax;
            },
            150, 226, HostileCase::NoFrame },
        HostileCase { "widthOverLimit", [](SceneParams& p) { p.width = 8193; }, 150, 226, HostileCase::NoFrame },
        HostileCase { "heightOverLimit", [](SceneParams& p) { p.height = 8193; }, 150, 226, HostileCase::NoFrame },
        HostileCase { "widthAtLimit",
            [](SceneParams& p) {
                p.width = 8192;
                p.height = 3;
            } },
        HostileCase { "elevationNaN", [](SceneParams& p) { p.textElevation = kNaN; }, 150, 226,
            HostileCase::GradientOnly },
        HostileCase { "elevationInfinite", [](SceneParams& p) { p.textElevation = kInf; }, 150, 226,
            HostileCase::GradientOnly },
        HostileCase { "elevationMinusInfinite", [](SceneParams& p) { p.textElevation = -kInf; }, 150, 226,
            HostileCase::GradientOnly },
        HostileCase { "elevationHuge", [](SceneParams& p) { p.textElevation = 1e30f; }, 150, 226,
            HostileCase::GradientOnly },
        HostileCase { "elevationHugeNegative", [](SceneParams& p) { p.textElevation = -1e30f; }, 150, 226,
            HostileCase::GradientOnly },
        HostileCase { "factorsNaN",
            [](SceneParams& p) {
                p.brightnessUp = kNaN;
                p.brightnessDown = kNaN;
            } },
        HostileCase { "factorsNegative",
            [](SceneParams& p) {
                p.brightnessUp = -3.0f;
                p.brightnessDown = -1e30f;
            } },
        HostileCase { "factorsInfinite",
            [](SceneParams& p) {
                p.brightnessUp = kInf;
                p.brightnessDown = -kInf;
            } },
        HostileCase { "fadeNaN", [](SceneParams& p) { p.reflectionFadeStep = kNaN; } },
        HostileCase { "fadeInfinite", [](SceneParams& p) { p.reflectionFadeStep = kInf; } },
        HostileCase { "fadeMinusInfinite", [](SceneParams& p) { p.reflectionFadeStep = -kInf; } },
        HostileCase { "fadeHugeNegative", [](SceneParams& p) { p.reflectionFadeStep = -1e38f; } },
        HostileCase { "fadeTiny", [](SceneParams& p) { p.reflectionFadeStep = 1e-30f; }, 150, 100000 },
        HostileCase { "fadeTinyNegative", [](SceneParams& p) { p.reflectionFadeStep = -1e-30f; }, 150, kIntMax },
        HostileCase { "topBytes",
            [](SceneParams& p) {
                p.textColor = 0xFFFFFFFF;
                p.backgroundTop = 0xFF000000;
                p.backgroundBottom = 0xFFFFFFFF;
            } },
        HostileCase { "tallFont", [](SceneParams&) {}, 150, 100000 },
        HostileCase { "tallestFont", [](SceneParams&) {}, 150, kIntMax },
        HostileCase { "tallFontHighUp", [](SceneParams& p) { p.textElevation = 2.0f; }, kIntMax, kIntMax },
        HostileCase { "millionCharacters", [](SceneParams& p) { p.text.assign(1'000'000, 'W'); } }),
    [](const testing::TestParamInfo<HostileCase>& param) { return param.param.name; });

} // namespace
} // namespace lumivex
