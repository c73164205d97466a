#include "Layer.h"
#include "SceneFont.h"

#include <algorithm>
#include <limits>

namespace lumivex {

namespace {

// Characters of UTF-8 text: every byte that does not continue a sequence starts one.
bool startsCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0u) != 0x80u;
}

int saturateToInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

BoxFont::BoxFont(int advance, int cellHeight, int glyphTop, int glyphBottom)
    : m_advance(std::max(advance, 0))
    , m_cellHeight(std::max(cellHeight, 0))
    , m_glyphTop(std::clamp(glyphTop, 0, m_cellHeight))
    , m_glyphBottom(glyphBottom < 0 ? m_cellHeight : std::clamp(glyphBottom, m_glyphTop, m_cellHeight))
{
}

TextSize BoxFont::measureText(std::string_view text) const
{
    if (text.empty())
        return {};
    const auto characters = static_cast<std::int64_t>(std::count_if(text.begin(), text.end(), startsCharacter));
    return { saturateToInt(characters * m_advance), m_cellHeight };
}

void BoxFont::paintText(Layer& layer, int x, int y, std::string_view text, PackedColor color) const
{
    if (!layer.valid() || text.empty() || m_advance < 3)
        return;
    // Every glyph covers the same rows, so the vertical clip is done once.
    const std::int64_t top = std::max<std::int64_t>(static_cast<std::int64_t>(y) + m_glyphTop, 0);
    const std::int64_t bottom = std::min<std::int64_t>(static_cast<std::int64_t>(y) + m_glyphBottom, layer.height());
    if (top >= bottom)
        return;
    const int boxWidth = m_advance - 2;
    std::int64_t cellX = x;
    for (const char byte : text) {
        if (!startsCharacter(byte))
            continue;
        const std::int64_t left = cellX + 1;
        cellX += m_advance;
        if (left >= layer.width())
            break; // every later glyph lies further right
        if (left + boxWidth <= 0)
            continue;
        layer.fillRect(static_cast<int>(left), static_cast<int>(top), boxWidth, static_cast<int>(bottom - top), color);
    }
}

} // namespace lumivex
