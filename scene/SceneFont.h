#pragma once
// SceneFont: the text rasteriser the render pass measures and paints with.
//
// Text is UTF-8. measureText gives the advance width (sum of the glyph advances, no
// kerning) and the character cell height (ascent + descent); both are 0 for empty text.
// paintText puts the top-left corner of the character cell at (x, y) and sets every
// glyph pixel to exactly the given colour (monochrome glyphs, nothing blended); parts
// outside the layer are clipped. A font is used by one thread at a time.

#include "Color.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace lumivex {

class Layer;

struct TextSize {
    int width = 0;
    int height = 0;
    bool operator==(const TextSize&) const = default;
};

class SceneFont {
public:
    virtual ~SceneFont() = default;
    virtual TextSize measureText(std::string_view text) const = 0;
    virtual void paintText(Layer& layer, int x, int y, std::string_view text, PackedColor color) const = 0;
};

// Em height in pixels for a size in points: fontSize * 4 * dpiY / 72, halves away from
// zero, with the product formed in 64 bits.
std::int64_t fontEmHeight(std::int32_t fontSize, int dpiY);

// Builds the font of a render from fontconfig + FreeType. fontStyle bits: 0x100 bold,
// 0x200 italic, 0x4 underline, 0x8 strike-out, 0x10 highest-quality hinting.
// An unknown family resolves to an installed sans of the weight its name asks for.
// Returns nullptr when no font can be made (the render then draws no text).
std::unique_ptr<SceneFont> buildSceneFont(const std::string& fontName, std::int32_t fontStyle, std::int64_t emHeight);

// A synthetic font whose glyphs are solid boxes, for exact row arithmetic in tests and
// benchmarks: every character advances `advance` pixels, the cell is `cellHeight` high
// and each glyph fills columns [1, advance - 1) of its cell, rows [top, bottom).
class BoxFont final : public SceneFont {
public:
    BoxFont(int advance, int cellHeight, int glyphTop = 0, int glyphBottom = -1);
    TextSize measureText(std::string_view text) const override;
    void paintText(Layer& layer, int x, int y, std::string_view text, PackedColor color) const override;

private:
    int m_advance;
    int m_cellHeight;
    int m_glyphTop;
    int m_glyphBottom;
};

} // namespace lumivex
