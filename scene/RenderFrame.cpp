#include "RenderFrame.h"

#include "RowKernels.h"
#include "SceneFont.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>

namespace lumivex {

namespace {

// pi as the float32 the band profiles use.
constexpr float kPi32 = static_cast<float>(std::numbers::pi);
// The constants of the two band profiles; 0.8 is the float32 0.800000011920929.
constexpr float kUpperScale = 5.0f;
constexpr float kLowerScale = 3.0f;
constexpr float kLowerCos = 0.8f;
// Both weights of the rim colour are the double 0.4.
constexpr double kRimWeight = 0.4;

int saturateToInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Full-width rows are 2w pixels; w may be anything a settings file brings.
int doubleWidth(const SceneParams& params)
{
    return saturateToInt(2 * static_cast<std::int64_t>(params.width));
}

// Per-channel view of a PackedColor.
struct Rgb {
    int r;
    int g;
    int b;
};

Rgb channelsOf(PackedColor c)
{
    return { redOf(c), greenOf(c), blueOf(c) };
}

// Height of the text's character cell, measured on an open layer with the font selected.
int measureCellHeight(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    canvas.selectFont(font);
    return canvas.measureText(params.text).height;
}

// The range of steps i in [0, last] whose row roundHalfEven(base + direction * i)
// can fall on one of the layer's rows [0, rows). Rows move monotonically with i, so
// every step outside the range paints off the layer. The range is a little wider
// than needed; the painting itself clips exactly. Empty (first > last) when no step
// can reach the layer, including a base that is not finite.
struct StepRange {
    std::int64_t first;
    std::int64_t last;
};

StepRange stepsOnLayer(double base, int direction, std::int64_t last, int rows)
{
    if (!std::isfinite(base) || rows < 1 || last < 0)
        return { 1, 0 };
    // For direction +1 the row is base + i, for -1 it is base - i.
    const double lowReal = direction > 0 ? -1.0 - base : base - rows - 1.0;
    const double highReal = direction > 0 ? rows + 1.0 - base : base + 1.0;
    if (highReal < 0.0 || lowReal > static_cast<double>(last))
        return { 1, 0 };
    const auto low = static_cast<std::int64_t>(std::max(std::floor(lowReal), 0.0));
    const auto high = static_cast<std::int64_t>(std::min(std::ceil(highReal), static_cast<double>(last)));
    return { low, high };
}

// One step of the reflection's fade: add the step as float32, then cap at 1.0.
float advancedFade(float fade, float step)
{
    float next = static_cast<float>(static_cast<double>(fade) + static_cast<double>(step));
    if (next > 1.0f)
        next = 1.0f;
    return next;
}

// Advances the fade by `steps` steps exactly as if each ran. The next fade depends on
// the current one alone, so as soon as a step leaves it unchanged (it sits at 1.0,
// the step is 0 or too small to change it, or it is NaN) no later step changes it
// either and the rest can be skipped. Before that happens a float32 that grows or
// shrinks by a fixed step either reaches 1.0 or infinity or stalls once the step
// falls below half its spacing, which takes at most about 2^25 steps whatever the
// step, so this loop is bounded even when `steps` is not.
float advancedFade(float fade, float step, std::int64_t steps)
{
    for (std::int64_t k = 0; k < steps; ++k) {
        const float next = advancedFade(fade, step);
        const bool stalled = next == fade || (std::isnan(next) && std::isnan(fade));
        fade = next;
        if (stalled)
            break;
    }
    return fade;
}

// The gradient weight t of frame row Y: Y / (2h), stored as float32.
struct GradientWeights {
    float t;
    float u;
};

GradientWeights gradientWeights(std::int64_t row, int h)
{
    const float t = static_cast<float>(static_cast<double>(row) / (h * 2.0));
    const float u = static_cast<float>(1.0 - static_cast<double>(t));
    return { t, u };
}

// Row tables: the colour each step gives every row of its layer, worked out with the
// step's exact arithmetic before any pixel is written. Rows that no step of the loop
// reaches hold kUnpainted. Painting from a table gives the same layer as painting
// step by step (later steps overwrite earlier ones in the table just as on the layer),
// and it lets the render pass write every pixel of a layer exactly once.
constexpr PackedColor kUnpainted = 0xFF000000u; // never a layer pixel: their top byte is 0
using RowTable = std::vector<PackedColor>;

void setRow(RowTable& table, int y, PackedColor colour)
{
    if (y >= 0 && static_cast<std::size_t>(y) < table.size())
        table[static_cast<std::size_t>(y)] = colour & kChannelMask;
}

RowTable gradientRows(const SceneParams& params, int rows)
{
    RowTable table(static_cast<std::size_t>(std::max(rows, 0)), kUnpainted);
    const int h = params.height;
    const Rgb top = channelsOf(params.backgroundTop);
    const Rgb bottom = channelsOf(params.backgroundBottom);
    // The loop runs to i = 2h; rows from the layer's height on change nothing.
    const std::int64_t last = std::min<std::int64_t>(2 * static_cast<std::int64_t>(h), rows - 1);
    for (std::int64_t i = 0; i <= last; ++i) {
        const GradientWeights wt = gradientWeights(i, h);
        const double t = wt.t;
        const double u = wt.u;
        setRow(table, static_cast<int>(i),
            packColor(roundHalfEven(u * top.r + t * bottom.r), roundHalfEven(u * top.g + t * bottom.g),
                roundHalfEven(u * top.b + t * bottom.b)));
    }
    return table;
}

RowTable bandRows(const SceneParams& params, int th, int rows)
{
    RowTable table(static_cast<std::size_t>(std::max(rows, 0)), kUnpainted);
    if (th <= 0)
        return table;
    const Rgb lv = channelsOf(lightenVector(params.textColor, params.brightnessUp));
    const Rgb dv = channelsOf(darkenVector(params.textColor, params.brightnessDown));
    const Rgb tc = channelsOf(params.textColor);
    const int h = params.height;
    const double e = params.textElevation;
    const std::int64_t half = th / 2;
    const double cellTop = static_cast<double>(h) - static_cast<double>(th) * e;

    // Upper bands: row h - th*e + i, lightened along a sine profile.
    const StepRange upper = stepsOnLayer(cellTop, +1, half, rows);
    for (std::int64_t i = upper.first; i <= upper.last; ++i) {
        const float p = static_cast<float>(
            (1.0 - std::sin(static_cast<double>(i) / th * kPi32)) * static_cast<double>(kUpperScale));
        const double pd = p;
        setRow(table, roundHalfEven(cellTop + static_cast<double>(i)),
            packColor(clampChannel(roundHalfEven(lv.r * pd + tc.r)), clampChannel(roundHalfEven(lv.g * pd + tc.g)),
                clampChannel(roundHalfEven(lv.b * pd + tc.b))));
    }

    // Lower bands: row h - th*e + th/2.0 + i, darkened along a cosine profile.
    const double middle = cellTop + th / 2.0;
    const StepRange lower = stepsOnLayer(middle, +1, half, rows);
    for (std::int64_t i = lower.first; i <= lower.last; ++i) {
        const float p = static_cast<float>(
            (1.0 - std::cos(static_cast<double>(i) / th * kPi32) * static_cast<double>(kLowerCos))
            * static_cast<double>(kLowerScale));
        const double pd = p;
        setRow(table, roundHalfEven(middle + static_cast<double>(i)),
            packColor(clampChannel(roundHalfEven(tc.r - dv.r * pd)), clampChannel(roundHalfEven(tc.g - dv.g * pd)),
                clampChannel(roundHalfEven(tc.b - dv.b * pd))));
    }
    return table;
}

RowTable reflectionRows(const SceneParams& params, int th, int rows)
{
    RowTable table(static_cast<std::size_t>(std::max(rows, 0)), kUnpainted);
    if (th <= 0)
        return table;
    const Rgb lv = channelsOf(lightenVector(params.textColor, params.brightnessUp));
    const Rgb dv = channelsOf(darkenVector(params.textColor, params.brightnessDown));
    const Rgb tc = channelsOf(params.textColor);
    const Rgb top = channelsOf(params.backgroundTop);
    const Rgb bottom = channelsOf(params.backgroundBottom);
    const int h = params.height;
    const double e = params.textElevation;
    const float step = params.reflectionFadeStep;
    float fade = 0.0f;

    // Blends band value b with the background sample of frame row Y and sets row y.
    auto blendRow = [&](const Rgb& b, double rowReal, double frameRowReal) {
        const int y = roundHalfEven(rowReal);
        const int frameRow = roundHalfEven(frameRowReal);
        const GradientWeights wt = gradientWeights(frameRow, h);
        const double t = wt.t;
        const double u = wt.u;
        const float f = fade;
        const float nf = static_cast<float>(1.0 - static_cast<double>(f));
        const double fd = f;
        const double nfd = nf;
        // The background sample is truncated, unlike the gradient layer's rounding.
        const int gr = truncateToInt(top.r * u + bottom.r * t);
        const int gg = truncateToInt(top.g * u + bottom.g * t);
        const int gb = truncateToInt(top.b * u + bottom.b * t);
        setRow(table, y,
            packColor(roundHalfEven(b.r * nfd + gr * fd), roundHalfEven(b.g * nfd + gg * fd),
                roundHalfEven(b.b * nfd + gb * fd)));
    };

    const std::int64_t half = th / 2;
    const double lift = static_cast<double>(th) * e;

    // First loop, the mirror of the lower bands: row th*e - th/2.0 - i, i counting
    // down from half to 0. Steps off the layer only advance the fade.
    const double lowerBase = lift - th / 2.0;
    StepRange range = stepsOnLayer(lowerBase, -1, half, rows);
    if (range.first > range.last) {
        fade = advancedFade(fade, step, half + 1);
    } else {
        fade = advancedFade(fade, step, half - range.last);
        for (std::int64_t i = range.last; i >= range.first; --i) {
            fade = advancedFade(fade, step);
            const float p = static_cast<float>(
                (1.0 - std::cos(static_cast<double>(i) / th * kPi32) * static_cast<double>(kLowerCos))
                * static_cast<double>(kLowerScale));
            const double pd = p;
            const Rgb band { clampChannel(roundHalfEven(tc.r - dv.r * pd)), clampChannel(roundHalfEven(tc.g - dv.g * pd)),
                clampChannel(roundHalfEven(tc.b - dv.b * pd)) };
            const double rowReal = lowerBase - static_cast<double>(i);
            blendRow(band, rowReal, rowReal + h);
        }
        fade = advancedFade(fade, step, range.first);
    }

    // Second loop, the mirror of the upper bands: row th*e - i, the fade carried on.
    // The steps after the last row on the layer change nothing that is seen.
    range = stepsOnLayer(lift, -1, half, rows);
    if (range.first <= range.last) {
        fade = advancedFade(fade, step, half - range.last);
        for (std::int64_t i = range.last; i >= range.first; --i) {
            fade = advancedFade(fade, step);
            const float p = static_cast<float>(
                (1.0 - std::sin(static_cast<double>(i) / th * kPi32)) * static_cast<double>(kUpperScale));
            const double pd = p;
            const Rgb band { clampChannel(roundHalfEven(lv.r * pd + tc.r)), clampChannel(roundHalfEven(lv.g * pd + tc.g)),
                clampChannel(roundHalfEven(lv.b * pd + tc.b)) };
            const double rowReal = lift - static_cast<double>(i);
            blendRow(band, rowReal, rowReal + h);
        }
    }
    return table;
}

// Paints every row the table holds, one full-width paintRow each, on the open layer.
void paintRows(Canvas& canvas, const RowTable& table, int fullWidth)
{
    for (std::size_t y = 0; y < table.size(); ++y)
        if (table[y] != kUnpainted)
            canvas.paintRow(0, static_cast<int>(y), fullWidth, table[y]);
}

// The cell height as measureText gives it on an open layer with the font selected.
int cellHeightOf(const SceneParams& params, const SceneFont* font)
{
    if (!font || params.text.empty())
        return 0;
    return font->measureText(params.text).height;
}

// The layer sizes for a preview of width x height: 2w x 2h for the frame and the
// gradient, 2w x h for the rest; all 0 (no layers) for sizes the layers cannot take.
struct LayerSizes {
    int frameWidth = 0;
    int frameHeight = 0;
    int textHeight = 0;
};

LayerSizes layerSizes(int width, int height)
{
    const std::int64_t frameWidth = 2 * static_cast<std::int64_t>(width);
    const std::int64_t frameHeight = 2 * static_cast<std::int64_t>(height);
    if (width >= 1 && height >= 1 && frameWidth <= Layer::kMaxSide && frameHeight <= Layer::kMaxSide)
        return { static_cast<int>(frameWidth), static_cast<int>(frameHeight), height };
    return {};
}

// The three layers the composed pass paints, their pixels left to be overwritten.
bool makeComposedLayers(Canvas& canvas, int width, int height)
{
    const LayerSizes size = layerSizes(width, height);
    bool made = canvas.layer(FrameLayer).createForOverwrite(size.frameWidth, size.frameHeight);
    made = canvas.layer(StencilLayer).createForOverwrite(size.frameWidth, size.textHeight) && made;
    made = canvas.layer(RimLayer).createForOverwrite(size.frameWidth, size.textHeight) && made;
    return made;
}

// Steps 1 and 2 of the stencil step: the rim and the stencil with its key colour.
void paintStencilAndRim(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    const std::int64_t w = params.width;
    const int h = params.height;
    const double e = params.textElevation;
    const int fullWidth = doubleWidth(params);
    const PackedColor stencil = stencilColor(params.backgroundBottom);

    // Rim.
    canvas.beginPaint(RimLayer);
    canvas.setTextTransparent();
    canvas.selectFont(font);
    canvas.fillRect(0, 0, fullWidth, h, 0);
    canvas.layer(RimLayer).forgetWrittenRows(); // from here on only the text's rows
    TextSize size = canvas.measureText(params.text);
    const PackedColor rim = rimColor(params.textColor, params.backgroundTop);
    canvas.paintText(saturateToInt(w - size.width / 2 + 4),
        roundHalfEven(static_cast<double>(h) - static_cast<double>(size.height) * e - 4.0), params.text, rim);
    canvas.endPaint();

    // Stencil.
    canvas.beginPaint(StencilLayer);
    canvas.setTextTransparent();
    canvas.fillRect(0, 0, fullWidth, h, params.backgroundBottom);
    canvas.layer(StencilLayer).forgetWrittenRows();
    canvas.selectFont(font);
    size = canvas.measureText(params.text);
    canvas.paintText(saturateToInt(w - size.width / 2),
        roundHalfEven(static_cast<double>(h) - static_cast<double>(size.height) * e), params.text, stencil);
    canvas.endPaint();

    canvas.setKeyColor(StencilLayer, stencil);
}

// What the deferred layers are drawn from: the row tables and the keys. The stencil
// they also need stays in its layer, which nothing changes before they are drawn.
struct DeferredDrawing {
    RowTable gradient;
    RowTable bands;
    RowTable reflection;
    PackedColor stencilKey;
    PackedColor bottomKey;
    int layerWidth;
    int height;
};

PackedColor blackIfUnpainted(PackedColor c)
{
    return c == kUnpainted ? PackedColor { 0 } : c;
}

// GradientLayer, GlassLayer (masked), MirrorLayer and ReflectionLayer (masked),
// exactly as the step-by-step pass leaves them, each pixel written once.
void drawDeferredLayers(Canvas& canvas, const DeferredDrawing& d)
{
    Layer& gradient = canvas.layer(GradientLayer);
    Layer& glass = canvas.layer(GlassLayer);
    Layer& mirror = canvas.layer(MirrorLayer);
    Layer& reflection = canvas.layer(ReflectionLayer);
    const Layer& stencil = canvas.layer(StencilLayer);
    const int h = d.height;
    const auto n = static_cast<std::size_t>(d.layerWidth);
    const bool haveGradient = gradient.createForOverwrite(d.layerWidth, 2 * h);
    const bool haveGlass = glass.createForOverwrite(d.layerWidth, h);
    const bool haveMirror = mirror.createForOverwrite(d.layerWidth, h);
    const bool haveReflection = reflection.createForOverwrite(d.layerWidth, h);
    if (haveGradient)
        for (int y = 0; y < 2 * h; ++y)
            fillPixels(gradient.row(y), n, d.gradient[static_cast<std::size_t>(y)]);
    for (int y = 0; y < h; ++y) {
        const int mirrored = h - 1 - y;
        if (haveGlass)
            maskPixels(glass.row(y), stencil.row(y), n, d.stencilKey, blackIfUnpainted(d.bands[static_cast<std::size_t>(y)]));
        if (haveMirror)
            std::memcpy(mirror.row(mirrored), stencil.row(y), n * sizeof(PackedColor));
        if (haveReflection)
            maskPixels(reflection.row(mirrored), stencil.row(y), n, d.stencilKey,
                blackIfUnpainted(d.reflection[static_cast<std::size_t>(mirrored)]));
    }
    if (haveGlass)
        glass.setKeyColor(d.bottomKey);
    if (haveMirror)
        mirror.setKeyColor(d.stencilKey);
    if (haveReflection)
        reflection.setKeyColor(d.bottomKey);
}

// The render pass once FrameLayer, StencilLayer and RimLayer exist at their sizes.
// Every painting step and blit is reproduced exactly, but the frame is composed in
// one pass: the row steps become row tables (every band, gradient and reflection row
// is one colour), and each frame pixel is worked out from the stencil and rim pixels
// and its row's colours by the same selects the masking and composition blits make.
// The other four layers are not needed for that; they are drawn from the same tables
// when first used (Canvas::deferLayers), which the preview never does, so a render
// writes the frame, stencil and rim once and nothing else.
void renderComposed(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    paintStencilAndRim(canvas, params, font);

    const int h = params.height;
    const int th = cellHeightOf(params, font);
    DeferredDrawing d { gradientRows(params, 2 * h), bandRows(params, th, h), reflectionRows(params, th, h),
        canvas.layer(StencilLayer).keyColor(), params.backgroundBottom & kChannelMask, canvas.layer(FrameLayer).width(),
        h };

    Layer& frame = canvas.layer(FrameLayer);
    const Layer& stencil = canvas.layer(StencilLayer);
    const Layer& rim = canvas.layer(RimLayer);
    const auto n = static_cast<std::size_t>(frame.width());
    // Rows the text was not painted on still hold the plain fills: backgroundBottom on
    // the stencil, which the masks turn into the glass and reflection key colour, and
    // black, the key colour, on the rim. On those rows the frame is the gradient alone.
    const Layer::RowSpan stencilText = stencil.writtenRows();
    const Layer::RowSpan rimText = rim.writtenRows();
    for (int y = 0; y < h; ++y) {
        const auto upper = static_cast<std::size_t>(y);
        if (stencilText.contains(y) || rimText.contains(y))
            composeUpperFrame(frame.row(y), stencil.row(y), rim.row(y), n, d.stencilKey,
                blackIfUnpainted(d.bands[upper]), d.bottomKey, rim.keyColor(), d.gradient[upper]);
        else
            fillPixels(frame.row(y), n, d.gradient[upper]);
        // Stencil row y is mirror row h - 1 - y, which lands on frame row 2h - 1 - y.
        const auto mirrored = static_cast<std::size_t>(h - 1 - y);
        const PackedColor below = d.gradient[static_cast<std::size_t>(h) + mirrored];
        if (stencilText.contains(y))
            composeLowerFrame(frame.row(2 * h - 1 - y), stencil.row(y), n, d.stencilKey,
                blackIfUnpainted(d.reflection[mirrored]), d.bottomKey, below);
        else
            fillPixels(frame.row(2 * h - 1 - y), n, below);
    }
    canvas.deferLayers([drawing = std::move(d)](Canvas& c) { drawDeferredLayers(c, drawing); });
}

} // namespace

PackedColor rimColor(PackedColor textColor, PackedColor backgroundTop)
{
    const Rgb t = channelsOf(textColor);
    const Rgb b = channelsOf(backgroundTop);
    return packColor(roundHalfEven(t.r * kRimWeight + b.r * kRimWeight), roundHalfEven(t.g * kRimWeight + b.g * kRimWeight),
        roundHalfEven(t.b * kRimWeight + b.b * kRimWeight));
}

PackedColor stencilColor(PackedColor backgroundBottom)
{
    // Unsigned arithmetic: the borrow runs up through the bytes without overflow.
    return backgroundBottom - 1u;
}

void rebuildLayers(Canvas& canvas, int width, int height)
{
    // Sizes of 0 make no layer: every later step on them does nothing.
    const LayerSizes size = layerSizes(width, height);
    canvas.createLayer(FrameLayer, size.frameWidth, size.frameHeight);
    canvas.createLayer(GradientLayer, size.frameWidth, size.frameHeight);
    for (const int number : { GlassLayer, ReflectionLayer, StencilLayer, MirrorLayer, RimLayer })
        canvas.createLayer(number, size.frameWidth, size.textHeight);
}

void drawStencilAndRim(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    paintStencilAndRim(canvas, params, font);
    const PackedColor stencil = stencilColor(params.backgroundBottom);
    canvas.copyLayer(StencilLayer, MirrorLayer);
    canvas.flipVertical(MirrorLayer);
    canvas.setKeyColor(MirrorLayer, stencil);
}

void drawBackground(Canvas& canvas, const SceneParams& params)
{
    const Layer& gradient = canvas.layer(GradientLayer);
    if (!gradient.valid())
        return;
    canvas.beginPaint(GradientLayer);
    paintRows(canvas, gradientRows(params, gradient.height()), doubleWidth(params));
    canvas.endPaint();
}

void drawGlassBands(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    const Layer& glass = canvas.layer(GlassLayer);
    if (!glass.valid())
        return;
    canvas.beginPaint(GlassLayer);
    const int th = measureCellHeight(canvas, params, font);
    paintRows(canvas, bandRows(params, th, glass.height()), doubleWidth(params));
    canvas.endPaint();
    canvas.setKeyColor(GlassLayer, params.backgroundBottom);
}

void drawReflection(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    const Layer& reflection = canvas.layer(ReflectionLayer);
    if (!reflection.valid())
        return;
    canvas.beginPaint(ReflectionLayer);
    const int th = measureCellHeight(canvas, params, font);
    paintRows(canvas, reflectionRows(params, th, reflection.height()), doubleWidth(params));
    canvas.endPaint();
    canvas.setKeyColor(ReflectionLayer, params.backgroundBottom);
}

void renderFrame(Canvas& canvas, const SceneParams& params, const SceneFont* font)
{
    // The layers of the last render are made anew: what was left of them undrawn is
    // not needed any more.
    canvas.dropDeferred();
    if (makeComposedLayers(canvas, params.width, params.height)) {
        renderComposed(canvas, params, font);
        canvas.resetBlitTarget();
        return;
    }
    // Some layer could not be made (a size without layers, or no memory): the pass
    // runs step by step on freshly cleared layers, and the steps skip what is missing.
    rebuildLayers(canvas, params.width, params.height);
    const int h = params.height;
    drawStencilAndRim(canvas, params, font);
    drawBackground(canvas, params);
    drawGlassBands(canvas, params, font);
    drawReflection(canvas, params, font);

    // Masking: the stencils leave the glass and reflection colours only inside the text.
    canvas.setBlitTarget(GlassLayer);
    canvas.blitKeyed(StencilLayer, 0, 0);
    canvas.setBlitTarget(ReflectionLayer);
    canvas.blitKeyed(MirrorLayer, 0, 0);

    // Composition.
    canvas.setBlitTarget(FrameLayer);
    canvas.blitKeyed(GradientLayer, 0, 0);
    canvas.blitKeyed(RimLayer, 0, 0);
    canvas.blitKeyed(GlassLayer, 0, 0);
    canvas.blitKeyed(ReflectionLayer, 0, h);
    canvas.resetBlitTarget();
}

} // namespace lumivex
