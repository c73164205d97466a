// The text rasteriser: face choice through fontconfig, glyphs through FreeType.

#include "FreeTypeFont.h"
#include "Utf8.h"

#include "Layer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cassert>
#include <climits>
#include <cstring>
#include <mutex>
#include <type_traits>

namespace lumivex {

namespace {

// ---------------------------------------------------------------- RAII handles

struct FtLibraryDeleter {
    void operator()(FT_Library lib) const { FT_Done_FreeType(lib); }
};
struct FtFaceDeleter {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct FcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FcFontSetDeleter {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using FtLibraryPtr = std::unique_ptr<std::remove_pointer_t<FT_Library>, FtLibraryDeleter>;
using FtFacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FtFaceDeleter>;
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;
using FcFontSetPtr = std::unique_ptr<FcFontSet, FcFontSetDeleter>;

// ---------------------------------------------------------------- fontconfig

// fontconfig is initialised once for the process and its configuration is kept; the
// queries below are serialised, since fonts are built on the render worker while the
// user-interface thread may build one too (tests, a second canvas).
std::mutex g_fcMutex;
FcConfig* g_fcConfig = nullptr;

FcConfig* fontconfig()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (FcInit())
            g_fcConfig = FcConfigReference(nullptr);
    });
    return g_fcConfig;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle)
{
    if (needle.size() > haystack.size())
        return false;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
        if (equalsIgnoringCase(haystack.substr(i, needle.size()), needle))
            return true;
    }
    return false;
}

std::optional<int> patternInt(const FcPattern* p, const char* object)
{
    int value = 0;
    if (FcPatternGetInteger(p, object, 0, &value) != FcResultMatch)
        return std::nullopt;
    return value;
}

std::string patternString(const FcPattern* p, const char* object, int n = 0)
{
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, object, n, &s) != FcResultMatch || !s)
        return {};
    return reinterpret_cast<const char*>(s);
}

bool hasFamily(const FcPattern* p, std::string_view family)
{
    for (int n = 0;; ++n) {
        FcChar8* s = nullptr;
        if (FcPatternGetString(p, FC_FAMILY, n, &s) != FcResultMatch || !s)
            return false;
        if (equalsIgnoringCase(reinterpret_cast<const char*>(s), family))
            return true;
    }
}

// A query pattern, substituted the way fontconfig does before matching. The name is
// passed as a C string: anything after an embedded NUL is not part of it.
FcPatternPtr makeQuery(FcConfig* config, const char* family, int weight, bool italic)
{
    FcPatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return nullptr;
    const bool ok = FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family))
        && FcPatternAddInteger(pattern.get(), FC_WEIGHT, weight)
        && FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN)
        && FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    if (!ok || !FcConfigSubstitute(config, pattern.get(), FcMatchPattern))
        return nullptr;
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

bool usableFace(const FcPattern* font)
{
    FcBool scalable = FcFalse;
    if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) != FcResultMatch || !scalable)
        return false;
    return !patternString(font, FC_FILE).empty();
}

// Stand-ins for a missing family are sans faces. fontconfig has no sans/serif property,
// so serif, monospaced, math and symbol faces are told apart by their spacing and names.
bool isPlainSans(const FcPattern* font)
{
    if (!usableFace(font))
        return false;
    int spacing = FC_PROPORTIONAL;
    if (FcPatternGetInteger(font, FC_SPACING, 0, &spacing) == FcResultMatch && spacing >= FC_MONO)
        return false;
    for (int n = 0;; ++n) {
        const std::string family = patternString(font, FC_FAMILY, n);
        if (family.empty())
            break;
        if (containsIgnoringCase(family, "Mono") || containsIgnoringCase(family, "Math")
            || containsIgnoringCase(family, "Symbol")
            || (containsIgnoringCase(family, "Serif") && !containsIgnoringCase(family, "Sans")))
            return false;
    }
    return true;
}

FontFaceChoice choiceFrom(const FcPattern* font, int requestedWeight, bool italic, bool substituted)
{
    FontFaceChoice choice;
    choice.file = patternString(font, FC_FILE);
    choice.faceIndex = patternInt(font, FC_INDEX).value_or(0);
    choice.family = patternString(font, FC_FAMILY);
    choice.weight = patternInt(font, FC_WEIGHT).value_or(FC_WEIGHT_REGULAR);
    choice.slant = patternInt(font, FC_SLANT).value_or(FC_SLANT_ROMAN);
    choice.requestedWeight = requestedWeight;
    choice.substituted = substituted;
    // Bold is made up only where the face is clearly lighter than a semibold; a black
    // or heavy face asked for bold is left as it is.
    choice.embolden = requestedWeight >= FC_WEIGHT_BOLD && choice.weight < FC_WEIGHT_DEMIBOLD;
    choice.oblique = italic && choice.slant == FC_SLANT_ROMAN;
    return choice;
}

// The stand-in for a family that is not installed: among the faces fontconfig ranks for
// "sans-serif" at the wanted weight and slant, the first sans whose weight is exactly the
// wanted one, else the best-ranked sans (bold or italic then synthesised as needed).
FcPatternPtr substituteFace(FcConfig* config, int weight, bool italic)
{
    FcPatternPtr query = makeQuery(config, "sans-serif", weight, italic);
    if (!query)
        return nullptr;
    FcResult result = FcResultNoMatch;
    FcFontSetPtr sorted(FcFontSort(config, query.get(), FcFalse, nullptr, &result));
    if (!sorted)
        return nullptr;
    const FcPattern* exact = nullptr;
    const FcPattern* closest = nullptr;
    for (int i = 0; i < sorted->nfont; ++i) {
        const FcPattern* font = sorted->fonts[i];
        if (!isPlainSans(font))
            continue;
        if (!closest)
            closest = font;
        int fontWeight = 0;
        if (FcPatternGetInteger(font, FC_WEIGHT, 0, &fontWeight) == FcResultMatch && fontWeight == weight) {
            exact = font;
            break;
        }
    }
    const FcPattern* chosen = exact ? exact : closest;
    if (!chosen)
        return nullptr;
    return FcPatternPtr(FcPatternDuplicate(chosen));
}

// fontconfig's best face for a query, as the face itself describes it. FcFontMatch would
// also apply the configuration's font rules, which report a light face asked for bold as
// bold (and embolden it); the face's own weight and slant tell what must be synthesised.
FcPatternPtr bestFace(FcConfig* config, const FcPattern* query)
{
    FcResult result = FcResultNoMatch;
    FcFontSetPtr sorted(FcFontSort(config, const_cast<FcPattern*>(query), FcTrue, nullptr, &result));
    if (!sorted || sorted->nfont < 1)
        return nullptr;
    return FcPatternPtr(FcPatternDuplicate(sorted->fonts[0]));
}

// ---------------------------------------------------------------- glyph cache

// Metrics of one glyph in whole pixels, relative to the pen on the baseline (y up).
// The box is conservative: the rendered bitmap always lies inside it, so glyphs whose
// box misses the layer are skipped without rendering.
struct GlyphInfo {
    bool loaded = false;
    bool ink = false;
    int advance = 0;
    int boxLeft = 0;
    int boxRight = 0;  // exclusive
    int boxTop = 0;    // rows above the baseline
    int boxBottom = 0; // (negative) rows below the baseline, exclusive
};

// A rendered glyph: rows top-down, one bit per pixel, most significant bit leftmost.
struct GlyphBitmap {
    int left = 0; // pixels right of the pen
    int top = 0;  // pixels above the baseline
    int width = 0;
    int rows = 0;
    int pitch = 0;
    std::vector<unsigned char> bits;
};

// Rendered bitmaps kept per font; beyond this, glyphs are rendered on demand (only huge
// em heights get there, where a single glyph is megabytes).
constexpr std::size_t kBitmapCacheBudget = 64u << 20;

// FreeType's own oblique shear: tan(12 degrees) in 16.16.
constexpr FT_Fixed kObliqueShear = 0x0366A;

long floorPixels(FT_Pos v) { return static_cast<long>(v >= 0 ? v / 64 : -((-v + 63) / 64)); }
long ceilPixels(FT_Pos v) { return -floorPixels(-v); }

int roundScaled(long fontUnits, int em, int unitsPerEm)
{
    // fontUnits * em / unitsPerEm, halves away from zero, in 64 bits
    const std::int64_t num = static_cast<std::int64_t>(fontUnits) * em;
    const std::int64_t den = unitsPerEm;
    const std::int64_t q = (2 * (num < 0 ? -num : num) + den) / (2 * den);
    return static_cast<int>(num < 0 ? -q : q);
}

} // namespace

std::int64_t fontEmHeight(std::int32_t fontSize, int dpiY)
{
    const std::int64_t size4 = static_cast<std::int64_t>(fontSize) * 4;
    std::int64_t num = 0;
    if (__builtin_mul_overflow(size4, static_cast<std::int64_t>(dpiY), &num))
        return ((size4 < 0) != (dpiY < 0)) ? INT64_MIN / 72 : INT64_MAX / 72;
    std::int64_t q = num / 72;
    const std::int64_t r = num % 72;
    if (2 * (r < 0 ? -r : r) >= 72)
        q += (num < 0) ? -1 : 1;
    return q;
}

std::optional<int> fontWeightFromName(std::string_view fontName)
{
    // split into lower-case words; "Ultra Bold" and "UltraBold" read alike
    std::vector<std::string> words;
    std::string word;
    for (char c : fontName) {
        if (c == ' ' || c == '-' || c == '_' || c == '\t') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));

    struct Entry {
        std::string_view word;
        int weight;
    };
    static constexpr std::array<Entry, 17> kWords = { {
        { "extrablack", FC_WEIGHT_EXTRABLACK },
        { "ultrablack", FC_WEIGHT_ULTRABLACK },
        { "black", FC_WEIGHT_BLACK },
        { "heavy", FC_WEIGHT_HEAVY },
        { "extrabold", FC_WEIGHT_EXTRABOLD },
        { "ultrabold", FC_WEIGHT_ULTRABOLD },
        { "semibold", FC_WEIGHT_SEMIBOLD },
        { "demibold", FC_WEIGHT_DEMIBOLD },
        { "demi", FC_WEIGHT_DEMIBOLD },
        { "bold", FC_WEIGHT_BOLD },
        { "medium", FC_WEIGHT_MEDIUM },
        { "extralight", FC_WEIGHT_EXTRALIGHT },
        { "ultralight", FC_WEIGHT_ULTRALIGHT },
        { "light", FC_WEIGHT_LIGHT },
        { "thin", FC_WEIGHT_THIN },
        { "hairline", FC_WEIGHT_THIN },
        { "book", FC_WEIGHT_BOOK },
    } };
    const auto lookUp = [](std::string_view w) -> std::optional<int> {
        for (const Entry& e : kWords) {
            if (e.word == w)
                return e.weight;
        }
        return std::nullopt;
    };
    // The last weight word wins ("Foo Bold Light" is a light cut of "Foo Bold").
    std::optional<int> weight;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i + 1 < words.size()) {
            if (auto joined = lookUp(words[i] + words[i + 1])) {
                weight = joined;
                ++i;
                continue;
            }
        }
        if (auto single = lookUp(words[i]))
            weight = single;
    }
    return weight;
}

std::optional<FontFaceChoice> resolveFontFace(const std::string& fontName, std::int32_t fontStyle)
{
    FcConfig* config = fontconfig();
    if (!config)
        return std::nullopt;
    const bool bold = (fontStyle & 0x100) != 0;
    const bool italic = (fontStyle & 0x200) != 0;
    const int styleWeight = bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;

    std::lock_guard lock(g_fcMutex);
    if (!fontName.empty()) {
        FcPatternPtr query = makeQuery(config, fontName.c_str(), styleWeight, italic);
        if (query) {
            FcPatternPtr match = bestFace(config, query.get());
            // fontconfig answers every query with some face; only a face of the asked
            // family counts as the family being installed.
            if (match && usableFace(match.get()) && hasFamily(match.get(), fontName.c_str()))
                return choiceFrom(match.get(), styleWeight, italic, false);
        }
    }

    // Not installed: a sans of the weight the name asks for (bold makes it at least bold).
    int weight = fontWeightFromName(fontName).value_or(FC_WEIGHT_REGULAR);
    if (bold)
        weight = std::max(weight, static_cast<int>(FC_WEIGHT_BOLD));
    FcPatternPtr stand = substituteFace(config, weight, italic);
    if (!stand || !usableFace(stand.get())) {
        // last resort
        FcPatternPtr query = makeQuery(config, "DejaVu Sans", std::max(weight, static_cast<int>(FC_WEIGHT_BOLD)), italic);
        if (!query)
            return std::nullopt;
        stand = bestFace(config, query.get());
        if (!stand || !usableFace(stand.get()))
            return std::nullopt;
    }
    return choiceFrom(stand.get(), weight, italic, true);
}

// ---------------------------------------------------------------- FreeTypeFont

struct FreeTypeFont::Impl {
    // Destroyed in reverse order: the face before its library.
    FtLibraryPtr library;
    FtFacePtr face;
    FT_Int32 loadFlags = FT_LOAD_DEFAULT;
    bool symbolCharmap = false;
    FT_Pos emboldenStrength = 0; // 26.6, 0 when bold is not synthesised
    bool underline = false;
    bool strikeOut = false;
    int underlineTop = 0; // rows below the baseline (positive = below)
    int underlineHeight = 0;
    int strikeTop = 0; // rows below the baseline (negative = above)
    int strikeHeight = 0;

    std::vector<GlyphInfo> glyphs;                 // by glyph index
    std::vector<std::unique_ptr<GlyphBitmap>> bitmaps; // by glyph index, rendered on first paint
    std::size_t bitmapBytes = 0;
    GlyphBitmap scratch; // the last glyph rendered past the cache budget

    // Glyphs already painted at the current pen position (paintedAt[index] == group).
    // Painting the same glyph at the same place again changes no pixel, so a run of
    // zero-advance marks costs one bitmap per distinct mark, not one per character.
    std::vector<std::uint32_t> paintedAt;
    std::uint32_t group = 0;

    void startGroup()
    {
        if (++group == 0) {
            std::fill(paintedAt.begin(), paintedAt.end(), 0u);
            group = 1;
        }
    }

    FT_UInt glyphIndex(char32_t cp) const
    {
        FT_UInt index = FT_Get_Char_Index(face.get(), cp);
        if (index == 0 && symbolCharmap && cp < 0x100)
            index = FT_Get_Char_Index(face.get(), 0xF000 + cp);
        return index < glyphs.size() ? index : 0;
    }

    // Loads the glyph outline at the font's size, with synthesised bold and slant applied.
    bool load(FT_UInt index) const
    {
        FT_Face f = face.get();
        if (FT_Load_Glyph(f, index, loadFlags) != 0)
            return false;
        FT_GlyphSlot slot = f->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE)
            return false;
        if (emboldenStrength > 0) {
            if (FT_Outline_EmboldenXY(&slot->outline, emboldenStrength, emboldenStrength) != 0)
                return false;
            slot->advance.x += emboldenStrength;
        }
        return true;
    }

    const GlyphInfo& info(FT_UInt index)
    {
        GlyphInfo& g = glyphs[index];
        if (g.loaded)
            return g;
        g.loaded = true;
        if (!load(index))
            return g; // a glyph that fails to load is blank and advances nothing
        const FT_GlyphSlot slot = face->glyph;
        g.advance = static_cast<int>(std::clamp<FT_Pos>((slot->advance.x + 32) >> 6, 0, 1 << 20));
        if (slot->outline.n_points > 0) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            g.ink = true;
            g.boxLeft = static_cast<int>(floorPixels(box.xMin) - 1);
            g.boxRight = static_cast<int>(ceilPixels(box.xMax) + 1);
            g.boxTop = static_cast<int>(ceilPixels(box.yMax) + 1);
            g.boxBottom = static_cast<int>(floorPixels(box.yMin) - 1);
        }
        return g;
    }

    // Renders the glyph to one bit per pixel; nullptr for a blank glyph.
    const GlyphBitmap* bitmap(FT_UInt index)
    {
        if (bitmaps[index])
            return bitmaps[index].get();
        if (!load(index) || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)
            return nullptr;
        const FT_Bitmap& src = face->glyph->bitmap;
        if (src.width == 0 || src.rows == 0 || !src.buffer)
            return nullptr;
        if (src.pixel_mode != FT_PIXEL_MODE_MONO && src.pixel_mode != FT_PIXEL_MODE_GRAY)
            return nullptr;
        GlyphBitmap out;
        out.left = face->glyph->bitmap_left;
        out.top = face->glyph->bitmap_top;
        out.width = static_cast<int>(src.width);
        out.rows = static_cast<int>(src.rows);
        out.pitch = (out.width + 7) / 8;
        out.bits.assign(static_cast<std::size_t>(out.pitch) * static_cast<std::size_t>(out.rows), 0);
        const std::size_t stride = static_cast<std::size_t>(src.pitch < 0 ? -src.pitch : src.pitch);
        for (int r = 0; r < out.rows; ++r) {
            // a negative pitch means the rows are stored bottom-up
            const std::size_t srcRow = src.pitch >= 0 ? static_cast<std::size_t>(r)
                                                      : static_cast<std::size_t>(out.rows - 1 - r);
            const unsigned char* s = src.buffer + srcRow * stride;
            unsigned char* d = out.bits.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(out.pitch);
            if (src.pixel_mode == FT_PIXEL_MODE_MONO) {
                std::memcpy(d, s, static_cast<std::size_t>(out.pitch));
            } else {
                for (int c = 0; c < out.width; ++c) {
                    if (s[c] >= 128)
                        d[c >> 3] = static_cast<unsigned char>(d[c >> 3] | (0x80u >> (c & 7)));
                }
            }
        }
        if (bitmapBytes + out.bits.size() <= kBitmapCacheBudget) {
            bitmapBytes += out.bits.size();
            bitmaps[index] = std::make_unique<GlyphBitmap>(std::move(out));
            return bitmaps[index].get();
        }
        scratch = std::move(out);
        return &scratch;
    }
};

FreeTypeFont::FreeTypeFont(std::unique_ptr<Impl> impl, const FontFaceChoice& choice, int emHeight)
    : m_impl(std::move(impl))
    , m_choice(choice)
    , m_emHeight(emHeight)
{
}

FreeTypeFont::~FreeTypeFont() = default;

std::unique_ptr<FreeTypeFont> FreeTypeFont::create(const FontFaceChoice& choice, std::int32_t fontStyle, int emHeight)
{
    if (emHeight < 1 || emHeight > kMaxEmHeight || choice.file.empty())
        return nullptr;
    auto impl = std::make_unique<Impl>();
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0 || !library)
        return nullptr;
    impl->library.reset(library);
    FT_Face face = nullptr;
    if (FT_New_Face(library, choice.file.c_str(), choice.faceIndex, &face) != 0 || !face)
        return nullptr;
    impl->face.reset(face);
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || face->num_glyphs <= 0)
        return nullptr;
    if (!face->charmap) {
        // No Unicode map: symbol fonts put their glyphs at U+F000 + byte; any other map
        // is taken as it is.
        if (FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL) == 0)
            impl->symbolCharmap = true;
        else if (face->num_charmaps < 1 || FT_Set_Charmap(face, face->charmaps[0]) != 0)
            return nullptr;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(emHeight)) != 0)
        return nullptr;

    // Proof quality: the font's own hinting for a one-bit target. Default quality: the
    // normal hinting. Both are rendered to one bit per pixel.
    const bool proof = (fontStyle & 0x10) != 0;
    impl->loadFlags = FT_LOAD_NO_BITMAP | (proof ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (choice.oblique) {
        FT_Matrix shear { 0x10000, kObliqueShear, 0, 0x10000 };
        FT_Set_Transform(face, &shear, nullptr);
    }
    if (choice.embolden) // FreeType's own synthetic-bold strength, em / 24
        impl->emboldenStrength = std::max<FT_Pos>(64, static_cast<FT_Pos>(emHeight) * 64 / 24);

    const int upem = face->units_per_EM;
    int ascent = 0;
    int descent = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && (os2->usWinAscent + os2->usWinDescent) > 0) {
        ascent = roundScaled(os2->usWinAscent, emHeight, upem);
        descent = roundScaled(os2->usWinDescent, emHeight, upem);
    } else {
        ascent = roundScaled(face->ascender, emHeight, upem);
        descent = roundScaled(-face->descender, emHeight, upem);
    }
    ascent = std::max(ascent, 0);
    descent = std::max(descent, 0);

    // Bars are at least one pixel thick. The underline position is the centre of the
    // stroke; the strike-out position is the top of the stroke.
    impl->underline = (fontStyle & 0x4) != 0;
    impl->strikeOut = (fontStyle & 0x8) != 0;
    const int thickness = std::max(1, roundScaled(face->underline_thickness, emHeight, upem));
    impl->underlineHeight = thickness;
    impl->underlineTop = -roundScaled(face->underline_position, emHeight, upem) - thickness / 2;
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        impl->strikeHeight = std::max(1, roundScaled(os2->yStrikeoutSize, emHeight, upem));
        impl->strikeTop = -roundScaled(os2->yStrikeoutPosition, emHeight, upem);
    } else {
        impl->strikeHeight = thickness;
        impl->strikeTop = -(ascent * 3 / 10) - thickness / 2;
    }

    const auto glyphCount = static_cast<std::size_t>(face->num_glyphs);
    impl->glyphs.resize(glyphCount);
    impl->bitmaps.resize(glyphCount);
    impl->paintedAt.resize(glyphCount);

    std::unique_ptr<FreeTypeFont> font(new FreeTypeFont(std::move(impl), choice, emHeight));
    font->m_ascent = ascent;
    font->m_descent = descent;
    return font;
}

int FreeTypeFont::advanceOf(char32_t codePoint) const
{
    return m_impl->info(m_impl->glyphIndex(codePoint)).advance;
}

TextSize FreeTypeFont::measureText(std::string_view text) const
{
    if (text.empty())
        return {};
    std::int64_t width = 0;
    for (std::size_t pos = 0; pos < text.size();)
        width += advanceOf(nextCodePoint(text, pos));
    return { static_cast<int>(std::min<std::int64_t>(width, INT_MAX)), m_ascent + m_descent };
}

namespace {

// Sets the pixels of the rows [y0, y1) and columns [x0, x1), clipped to the layer.
void fillClipped(Layer& layer, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, PackedColor color)
{
    x0 = std::max<std::int64_t>(x0, 0);
    y0 = std::max<std::int64_t>(y0, 0);
    x1 = std::min<std::int64_t>(x1, layer.width());
    y1 = std::min<std::int64_t>(y1, layer.height());
    if (x0 >= x1)
        return;
    for (std::int64_t y = y0; y < y1; ++y)
        std::fill_n(layer.row(static_cast<int>(y)) + x0, x1 - x0, color);
}

void drawBitmap(Layer& layer, const GlyphBitmap& bm, std::int64_t left, std::int64_t top, PackedColor color)
{
    const std::int64_t r0 = std::max<std::int64_t>(0, -top);
    const std::int64_t r1 = std::min<std::int64_t>(bm.rows, layer.height() - top);
    const std::int64_t c0 = std::max<std::int64_t>(0, -left);
    const std::int64_t c1 = std::min<std::int64_t>(bm.width, layer.width() - left);
    if (c0 >= c1)
        return;
    for (std::int64_t r = r0; r < r1; ++r) {
        const unsigned char* bits = bm.bits.data() + r * bm.pitch;
        PackedColor* out = layer.row(static_cast<int>(top + r)) + left;
        for (std::int64_t c = c0; c < c1; ++c) {
            if (bits[c >> 3] & (0x80u >> (c & 7)))
                out[c] = color;
        }
    }
}

} // namespace

void FreeTypeFont::paintText(Layer& layer, int x, int y, std::string_view text, PackedColor color) const
{
    if (text.empty() || !layer.valid())
        return;
    color &= kChannelMask;
    Impl& impl = *m_impl;
    const std::int64_t width = layer.width();
    const std::int64_t height = layer.height();
    const std::int64_t baseline = static_cast<std::int64_t>(y) + m_ascent;
    std::int64_t pen = x;
    std::int64_t groupPen = pen;
    impl.startGroup();
    for (std::size_t pos = 0; pos < text.size();) {
        const FT_UInt index = impl.glyphIndex(nextCodePoint(text, pos));
        const GlyphInfo& g = impl.info(index);
        if (pen != groupPen) {
            groupPen = pen;
            impl.startGroup();
        }
        if (g.ink && impl.paintedAt[index] != impl.group && pen + g.boxRight > 0 && pen + g.boxLeft < width
            && baseline - g.boxBottom > 0 && baseline - g.boxTop < height) {
            impl.paintedAt[index] = impl.group;
            if (const GlyphBitmap* bm = impl.bitmap(index)) {
                assert(bm->left >= g.boxLeft && bm->left + bm->width <= g.boxRight && bm->top <= g.boxTop
                    && bm->top - bm->rows >= g.boxBottom && "the glyph box must hold the rendered bitmap");
                drawBitmap(layer, *bm, pen + bm->left, baseline - bm->top, color);
            }
        }
        pen += g.advance;
    }
    if (impl.underline)
        fillClipped(layer, x, baseline + impl.underlineTop, pen, baseline + impl.underlineTop + impl.underlineHeight, color);
    if (impl.strikeOut)
        fillClipped(layer, x, baseline + impl.strikeTop, pen, baseline + impl.strikeTop + impl.strikeHeight, color);
}

std::unique_ptr<SceneFont> buildSceneFont(const std::string& fontName, std::int32_t fontStyle, std::int64_t emHeight)
{
    // An em height of 0 or below makes no font (the render then draws no text with it);
    // above kMaxEmHeight the font is made at kMaxEmHeight, so a size from a settings file
    // can never ask for gigabyte glyphs.
    if (emHeight < 1)
        return nullptr;
    const int em = static_cast<int>(std::min(emHeight, kMaxEmHeight));
    const std::optional<FontFaceChoice> choice = resolveFontFace(fontName, fontStyle);
    if (!choice)
        return nullptr;
    return FreeTypeFont::create(*choice, fontStyle, em);
}

} // namespace lumivex
