#include "Canvas.h"

#include <utility>

namespace lumivex {

namespace {

// Text painted in the opaque mode fills its character cell with this colour first,
// the white that a fresh drawing context uses as its text background.
constexpr PackedColor kOpaqueTextBackground = 0xFFFFFF;

} // namespace

void Canvas::deferLayers(std::function<void(Canvas&)> draw)
{
    settleFor(-1); // an earlier deferral is finished first
    m_deferred = std::move(draw);
}

void Canvas::dropDeferred()
{
    m_deferred = nullptr;
}

void Canvas::settleFor(int number) const
{
    if (number == FrameLayer || !m_deferred)
        return;
    // Taken out first, so the drawing's own layer accesses do not come back here.
    const std::function<void(Canvas&)> draw = std::move(m_deferred);
    m_deferred = nullptr;
    // Deferred drawing changes what a reader sees of the layers only by finishing it.
    draw(const_cast<Canvas&>(*this));
}

Layer* Canvas::find(int number)
{
    settleFor(number);
    if (number < 0 || number >= kLayerCount || !m_layers[static_cast<std::size_t>(number)].valid())
        return nullptr;
    return &m_layers[static_cast<std::size_t>(number)];
}

const Layer* Canvas::find(int number) const
{
    settleFor(number);
    if (number < 0 || number >= kLayerCount || !m_layers[static_cast<std::size_t>(number)].valid())
        return nullptr;
    return &m_layers[static_cast<std::size_t>(number)];
}

Layer& Canvas::layer(int number)
{
    settleFor(number);
    if (number < 0 || number >= kLayerCount) {
        m_none.release();
        return m_none;
    }
    return m_layers[static_cast<std::size_t>(number)];
}

const Layer& Canvas::layer(int number) const
{
    settleFor(number);
    if (number < 0 || number >= kLayerCount)
        return m_none;
    return m_layers[static_cast<std::size_t>(number)];
}

void Canvas::createLayer(int number, int width, int height)
{
    settleFor(number);
    if (number < 0 || number >= kLayerCount)
        return;
    m_layers[static_cast<std::size_t>(number)].create(width, height);
}

void Canvas::beginPaint(int number)
{
    m_open = find(number) ? number : -1;
    m_font = nullptr;
    m_textTransparent = false;
}

void Canvas::endPaint()
{
    m_open = -1;
    m_font = nullptr;
    m_textTransparent = false;
}

void Canvas::setTextTransparent()
{
    if (m_open >= 0)
        m_textTransparent = true;
}

void Canvas::selectFont(const SceneFont* font)
{
    if (m_open >= 0)
        m_font = font;
}

void Canvas::fillRect(int x, int y, int w, int h, PackedColor c)
{
    if (Layer* target = find(m_open))
        target->fillRect(x, y, w, h, c);
}

void Canvas::paintRow(int x, int y, int n, PackedColor c)
{
    if (Layer* target = find(m_open))
        target->paintRow(x, y, n, c);
}

void Canvas::paintText(int x, int y, std::string_view text, PackedColor c)
{
    Layer* target = find(m_open);
    if (!target || !m_font || text.empty())
        return;
    if (!m_textTransparent) {
        const TextSize cell = m_font->measureText(text);
        target->fillRect(x, y, cell.width, cell.height, kOpaqueTextBackground);
    }
    // Layers keep the top byte of every pixel 0, so keyed drawing can compare whole words.
    m_font->paintText(*target, x, y, text, c & kChannelMask);
}

TextSize Canvas::measureText(std::string_view text) const
{
    if (!find(m_open) || !m_font || text.empty())
        return {};
    return m_font->measureText(text);
}

void Canvas::setKeyColor(int number, PackedColor c)
{
    if (Layer* target = find(number))
        target->setKeyColor(c);
}

void Canvas::copyLayer(int source, int destination)
{
    settleFor(destination);
    const Layer* from = find(source);
    if (!from || destination < 0 || destination >= kLayerCount)
        return;
    m_layers[static_cast<std::size_t>(destination)].copyFrom(*from);
}

void Canvas::setBlitTarget(int number)
{
    m_blitTarget = number;
}

void Canvas::resetBlitTarget()
{
    m_blitTarget = kScreen;
}

void Canvas::blitKeyed(int source, int x, int y)
{
    // With the screen as the target there is nothing to draw on here: the
    // presentation reads FrameLayer itself.
    Layer* target = find(m_blitTarget);
    const Layer* from = find(source);
    if (!target || !from)
        return;
    target->blitKeyedFrom(*from, x, y);
}

void Canvas::flipVertical(int number)
{
    // The flip opens the layer for painting and closes it again.
    beginPaint(number);
    if (Layer* target = find(m_open))
        target->flipVertical();
    endPaint();
}

} // namespace lumivex
