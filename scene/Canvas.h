#pragma once
// Canvas: the table of numbered layers the render pass draws into and joins.
//
// One layer at a time is open for painting (beginPaint .. endPaint); painting while
// none is open, or on a number that names no layer, does nothing. Keyed drawing goes
// onto the blit target, chosen apart from the open layer; with no target chosen it
// goes to the screen, which here is a no-op (the presentation reads FrameLayer itself).
// A render may leave the layers other than FrameLayer to be drawn on their first use
// (deferLayers); every access goes through the canvas, so readers never see the gap.
// A canvas belongs to the render worker's thread; nothing here locks, not even the
// const accessors, which may finish that deferred drawing.

#include "Layer.h"
#include "SceneFont.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace lumivex {

enum LayerNumber : int {
    FrameLayer = 0,
    GradientLayer = 1,
    StencilLayer = 2,
    GlassLayer = 3,
    ReflectionLayer = 4,
    MirrorLayer = 5,
    RimLayer = 6,
};

class Canvas {
public:
    static constexpr int kLayerCount = 7;
    static constexpr int kScreen = -1;

    void createLayer(int number, int width, int height);
    void beginPaint(int number);
    void endPaint();
    void setTextTransparent();
    void selectFont(const SceneFont* font);
    void fillRect(int x, int y, int w, int h, PackedColor c);
    void paintRow(int x, int y, int n, PackedColor c);
    void paintText(int x, int y, std::string_view text, PackedColor c);
    TextSize measureText(std::string_view text) const;
    void setKeyColor(int number, PackedColor c);
    void copyLayer(int source, int destination);
    void setBlitTarget(int number);
    void resetBlitTarget();
    void blitKeyed(int source, int x, int y);
    void flipVertical(int number);

    int openLayer() const { return m_open; }
    int blitTarget() const { return m_blitTarget; }

    // Direct access; an out-of-range number or a failed layer gives an empty layer.
    Layer& layer(int number);
    const Layer& layer(int number) const;

    // Drawing of the layers other than FrameLayer that a render leaves for their first
    // use (the preview reads FrameLayer alone). It runs once, before the first operation
    // or layer() access that involves any layer but FrameLayer, so every reader sees
    // the finished layers. dropDeferred forgets it without running it; the render pass
    // calls it before it makes the layers anew. `draw` must not touch FrameLayer.
    void deferLayers(std::function<void(Canvas&)> draw);
    void dropDeferred();
    bool hasDeferred() const { return static_cast<bool>(m_deferred); }

private:
    Layer* find(int number);
    const Layer* find(int number) const;
    // Runs the deferred drawing unless `number` is FrameLayer.
    void settleFor(int number) const;

    std::array<Layer, kLayerCount> m_layers;
    Layer m_none;
    int m_open = -1;
    int m_blitTarget = kScreen;
    const SceneFont* m_font = nullptr;
    bool m_textTransparent = false;
    mutable std::function<void(Canvas&)> m_deferred;
};

} // namespace lumivex
