#pragma once
// Layer: an off-screen raster with one key colour.
//
// Pixels are PackedColor words (red in the low byte, top byte always 0), row 0 at the
// top, x growing to the right, rows contiguous with a pitch of width() pixels.
// A default-constructed or failed layer is empty (valid() is false): painting on it
// does nothing and its size reads 0 x 0.
// A layer belongs to one thread at a time; nothing here locks.

#include "Color.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivex {

class Layer {
public:
    // Largest side a layer may have; larger requests fail like a zero size.
    static constexpr int kMaxSide = 16384;

    Layer() = default;
    Layer(int width, int height) { create(width, height); }

    // Makes the layer anew: every pixel black, key colour black. A side below 1 or
    // above kMaxSide leaves the layer empty and returns false.
    bool create(int width, int height);
    // Like create, but leaves the pixels unspecified, for a caller that overwrites
    // every pixel next (the render pass's full-layer fills and copies). The storage of
    // an earlier, larger layer is reused, so a render does not page in fresh memory.
    bool createForOverwrite(int width, int height);
    void release();

    bool valid() const { return m_width > 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t pitchBytes() const { return static_cast<std::size_t>(m_width) * sizeof(PackedColor); }

    // Row y for reading and writing. Writers take every row they write through row(y)
    // (or the fills, blits and copies below), never by stepping from another row's
    // pointer, so that writtenRows() knows every row that may have changed.
    PackedColor* row(int y);
    const PackedColor* row(int y) const;
    PackedColor pixel(int x, int y) const { return row(y)[x]; }

    PackedColor keyColor() const { return m_keyColor; }
    void setKeyColor(PackedColor c) { m_keyColor = c & kChannelMask; }

    // Clipped to the layer; colours count by their three channel bytes.
    void fillRect(int x, int y, int w, int h, PackedColor c);
    void paintRow(int x, int y, int n, PackedColor c);

    // Mirrors the rows top to bottom by exchanging whole rows through one scratch row.
    void flipVertical();

    // Draws src with its top-left at (x, y): every src pixel that differs from src's key
    // colour replaces the pixel beneath; positions outside this layer are dropped.
    void blitKeyedFrom(const Layer& src, int x, int y);

    // Exact copy of the pixels with a black key colour.
    void copyFrom(const Layer& src);

    // copyFrom followed by flipVertical, in one pass over the rows.
    void copyFlippedFrom(const Layer& src);

    const std::vector<PackedColor>& pixels() const { return m_pixels; }

    // The rows handed out for writing since forgetWrittenRows() (all rows after create
    // or a copy), as [begin, end); empty when begin >= end. The render pass paints text
    // on a filled layer and then needs to look only at these rows: every other row
    // still holds the fill.
    struct RowSpan {
        int begin;
        int end;
        bool contains(int y) const { return y >= begin && y < end; }
    };
    RowSpan writtenRows() const { return { m_writtenBegin, m_writtenEnd }; }
    void forgetWrittenRows()
    {
        m_writtenBegin = m_height;
        m_writtenEnd = 0;
    }

private:
    bool allocate(int width, int height);

    std::vector<PackedColor> m_pixels;
    int m_width = 0;
    int m_height = 0;
    PackedColor m_keyColor = 0;
    int m_writtenBegin = 0;
    int m_writtenEnd = 0;
};

} // namespace lumivex
