#include "Layer.h"

#include "RowKernels.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>

namespace lumivex {

namespace {

// A clipped span [begin, end) of one axis; empty when begin >= end.
struct Span {
    int begin;
    int end;
    bool empty() const { return begin >= end; }
};

// Clips [start, start + count) to [0, limit). Works in 64 bits so that hostile
// positions and counts cannot overflow.
Span clipSpan(std::int64_t start, std::int64_t count, int limit)
{
    const std::int64_t first = std::max<std::int64_t>(start, 0);
    const std::int64_t last = std::min<std::int64_t>(start + std::max<std::int64_t>(count, 0), limit);
    if (first >= last)
        return { 0, 0 };
    return { static_cast<int>(first), static_cast<int>(last) };
}

} // namespace

bool Layer::allocate(int width, int height)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
        release();
        return false;
    }
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count / static_cast<std::size_t>(width) != static_cast<std::size_t>(height) || count > m_pixels.max_size()) {
        release();
        return false;
    }
    try {
        // resize keeps the capacity of an earlier, larger layer and only zero-fills a
        // grown tail.
        m_pixels.resize(count);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    } catch (const std::length_error&) {
        release();
        return false;
    }
    m_width = width;
    m_height = height;
    m_keyColor = 0;
    m_writtenBegin = 0;
    m_writtenEnd = height;
    return true;
}

bool Layer::create(int width, int height)
{
    if (!allocate(width, height))
        return false;
    std::fill(m_pixels.begin(), m_pixels.end(), PackedColor { 0 });
    return true;
}

bool Layer::createForOverwrite(int width, int height)
{
    return allocate(width, height);
}

void Layer::release()
{
    std::vector<PackedColor>().swap(m_pixels);
    m_width = 0;
    m_height = 0;
    m_keyColor = 0;
    m_writtenBegin = 0;
    m_writtenEnd = 0;
}

PackedColor* Layer::row(int y)
{
    assert(y >= 0 && y < m_height && "Layer::row out of range");
    m_writtenBegin = std::min(m_writtenBegin, y);
    m_writtenEnd = std::max(m_writtenEnd, y + 1);
    return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
}

const PackedColor* Layer::row(int y) const
{
    assert(y >= 0 && y < m_height && "Layer::row out of range");
    return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
}

void Layer::fillRect(int x, int y, int w, int h, PackedColor c)
{
    const Span cols = clipSpan(x, w, m_width);
    const Span rows = clipSpan(y, h, m_height);
    if (cols.empty() || rows.empty())
        return;
    const PackedColor colour = c & kChannelMask;
    const auto n = static_cast<std::size_t>(cols.end - cols.begin);
    for (int py = rows.begin; py < rows.end; ++py)
        fillPixels(row(py) + cols.begin, n, colour);
}

void Layer::paintRow(int x, int y, int n, PackedColor c)
{
    if (y < 0 || y >= m_height)
        return;
    const Span cols = clipSpan(x, n, m_width);
    if (cols.empty())
        return;
    fillPixels(row(y) + cols.begin, static_cast<std::size_t>(cols.end - cols.begin), c & kChannelMask);
}

void Layer::flipVertical()
{
    if (m_height < 2)
        return;
    const std::size_t pitch = pitchBytes();
    std::vector<PackedColor> scratch(static_cast<std::size_t>(m_width));
    PackedColor* top = row(0);
    PackedColor* bottom = row(m_height - 1);
    for (int k = 0; k < m_height / 2; ++k) {
        std::memcpy(scratch.data(), top, pitch);
        std::memcpy(top, bottom, pitch);
        std::memcpy(bottom, scratch.data(), pitch);
        top += m_width;
        bottom -= m_width;
    }
}

void Layer::blitKeyedFrom(const Layer& src, int x, int y)
{
    if (!valid() || !src.valid())
        return;
    if (&src == this) {
        // Drawing a layer onto itself reads the pixels it writes; work from a copy.
        Layer copy;
        copy.m_pixels = m_pixels;
        copy.m_width = m_width;
        copy.m_height = m_height;
        copy.m_keyColor = m_keyColor;
        blitKeyedFrom(copy, x, y);
        return;
    }
    const Span cols = clipSpan(x, src.m_width, m_width);
    const Span rows = clipSpan(y, src.m_height, m_height);
    if (cols.empty() || rows.empty())
        return;
    const auto n = static_cast<std::size_t>(cols.end - cols.begin);
    const int srcX = static_cast<int>(cols.begin - static_cast<std::int64_t>(x));
    const PackedColor key = src.m_keyColor & kChannelMask;
    for (int py = rows.begin; py < rows.end; ++py) {
        const int srcY = static_cast<int>(py - static_cast<std::int64_t>(y));
        blitKeyedPixels(row(py) + cols.begin, src.row(srcY) + srcX, n, key);
    }
}

void Layer::copyFrom(const Layer& src)
{
    if (&src == this) {
        m_keyColor = 0;
        return;
    }
    if (!src.valid() || !createForOverwrite(src.m_width, src.m_height)) {
        release();
        return;
    }
    std::memcpy(m_pixels.data(), src.m_pixels.data(), src.m_pixels.size() * sizeof(PackedColor));
}

void Layer::copyFlippedFrom(const Layer& src)
{
    if (&src == this) {
        m_keyColor = 0;
        flipVertical();
        return;
    }
    if (!src.valid() || !createForOverwrite(src.m_width, src.m_height)) {
        release();
        return;
    }
    for (int y = 0; y < m_height; ++y)
        std::memcpy(row(m_height - 1 - y), src.row(y), pitchBytes());
}

} // namespace lumivex
