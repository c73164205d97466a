#pragma once
// FreeTypeFont: the SceneFont behind real text, built from fontconfig + FreeType.
//
// Glyphs are rendered monochrome (one bit per pixel, FreeType's mono target) and every
// set bit is painted as exactly the given colour. The character cell is the face's
// Windows ascent + descent (OS/2 usWinAscent/usWinDescent scaled to the em height),
// or the hhea ascender/descender for faces without an OS/2 table. The pen advances by
// each glyph's advance rounded to whole pixels; there is no kerning.
//
// Each font owns its own FT_Library, so fonts may be built on any thread; one font is
// used by one thread at a time (its glyph caches are not locked). Glyph metrics and
// bitmaps are cached per glyph index, so long texts cost one cmap look-up and one array
// access per character.

#include "SceneFont.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumivex {

// Em heights are bounded: at most this many pixels (larger requests are clamped here),
// at least 1 (buildSceneFont returns nullptr for an em height of 0 or below).
constexpr std::int64_t kMaxEmHeight = 8192;

// The face a font name and style resolve to.
struct FontFaceChoice {
    std::string file;          // font file of the face
    int faceIndex = 0;         // FC_INDEX: face (and named instance) inside the file
    std::string family;        // first family name of the face
    int weight = 0;            // fontconfig weight of the face (FC_WEIGHT_*)
    int slant = 0;             // fontconfig slant of the face (FC_SLANT_*)
    int requestedWeight = 0;   // fontconfig weight that was asked for
    bool substituted = false;  // the requested family is not installed
    bool embolden = false;     // bold is synthesised (the face is lighter than asked)
    bool oblique = false;      // italic is synthesised (the face is upright)
};

// fontconfig weight that the words of a family name ask for ("Arial Black" -> black,
// "Foo Semibold" -> demibold), or nullopt when the name names no weight.
std::optional<int> fontWeightFromName(std::string_view fontName);

// Picks the face for a family name and the bold (0x100) and italic (0x200) bits of a
// font style. A family that is not installed resolves to a sans-serif face of the weight
// its name asks for. nullopt when fontconfig offers no usable face at all.
std::optional<FontFaceChoice> resolveFontFace(const std::string& fontName, std::int32_t fontStyle);

class FreeTypeFont final : public SceneFont {
public:
    // Opens the face of `choice` at `emHeight` pixels (1 .. kMaxEmHeight). nullptr when
    // the file cannot be opened as a scalable face or FreeType fails.
    static std::unique_ptr<FreeTypeFont> create(const FontFaceChoice& choice, std::int32_t fontStyle, int emHeight);

    ~FreeTypeFont() override;
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    TextSize measureText(std::string_view text) const override;
    void paintText(Layer& layer, int x, int y, std::string_view text, PackedColor color) const override;

    const FontFaceChoice& face() const { return m_choice; }
    int emHeight() const { return m_emHeight; }
    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }

    // Advance of one code point in whole pixels.
    int advanceOf(char32_t codePoint) const;

private:
    struct Impl;
    explicit FreeTypeFont(std::unique_ptr<Impl> impl, const FontFaceChoice& choice, int emHeight);

    std::unique_ptr<Impl> m_impl;
    FontFaceChoice m_choice;
    int m_emHeight = 0;
    int m_ascent = 0;
    int m_descent = 0;
};

} // namespace lumivex
