// The FreeType text rasteriser: em heights, face choice, metrics and exact painting.

#include "scene/FreeTypeFont.h"
#include "scene/Layer.h"
#include "scene/Utf8.h"

#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lumivex {
namespace {

constexpr PackedColor kBackground = 0x00ABCDEF;
constexpr PackedColor kInk = 0x00123456;

std::string encodeUtf8(char32_t cp)
{
    std::string out;
    appendUtf8(out, cp);
    return out;
}

std::unique_ptr<FreeTypeFont> makeFont(const std::string& name, std::int32_t style, std::int64_t em)
{
    std::unique_ptr<SceneFont> font = buildSceneFont(name, style, em);
    auto* ft = dynamic_cast<FreeTypeFont*>(font.get());
    if (!ft)
        return nullptr;
    font.release();
    return std::unique_ptr<FreeTypeFont>(ft);
}

Layer filledLayer(int w, int h, PackedColor c = kBackground)
{
    Layer layer(w, h);
    layer.fillRect(0, 0, w, h, c);
    return layer;
}

std::size_t countColor(const Layer& layer, PackedColor c)
{
    std::size_t n = 0;
    for (PackedColor p : layer.pixels())
        n += (p == c);
    return n;
}

// Rows of the layer whose pixels in [x0, x1) are all `c`.
std::vector<int> solidRows(const Layer& layer, int x0, int x1, PackedColor c)
{
    std::vector<int> rows;
    for (int y = 0; y < layer.height(); ++y) {
        bool solid = true;
        for (int x = x0; x < x1 && solid; ++x)
            solid = layer.pixel(x, y) == c;
        if (solid)
            rows.push_back(y);
    }
    return rows;
}

// ---------------------------------------------------------------- em height

TEST(FontEmHeight, PointsToPixelsHalvesAwayFromZero)
{
    struct Case {
        std::int32_t size;
        int dpi;
        std::int64_t em;
    };
    const Case cases[] = {
        { 30, 96, 160 },
        { 30, 120, 200 },
        { 7, 96, 37 },    // 37.33
        { 1, 9, 1 },      // 0.5 -> 1
        { -1, 9, -1 },    // -0.5 -> -1
        { 1, 96, 5 },     // 5.33
        { 2, 87, 10 },    // 9.67
        { 0, 96, 0 },
        { -30, 96, -160 },
        { INT32_MAX, 96, 11453246117 }, // needs the 64-bit product
        { INT32_MIN, 120, -14316557653 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(fontEmHeight(c.size, c.dpi), c.em) << c.size << " pt at " << c.dpi << " dpi";
}

TEST(FontEmHeight, ExtremeResolutionStaysDefined)
{
    // the 64-bit product itself would overflow here; the result saturates instead
    EXPECT_GT(fontEmHeight(INT32_MAX, INT_MAX), 0);
    EXPECT_LT(fontEmHeight(INT32_MIN, INT_MAX), 0);
}

// ---------------------------------------------------------------- UTF-8

TEST(FontUtf8, DecodesAndReplacesMalformedBytes)
{
    struct Case {
        std::string bytes;
        std::u32string expected;
    };
    const Case cases[] = {
        { "Ab", U"Ab" },
        { "\xC3\x96l", U"\u00D6l" },
        { "\xE2\x82\xAC", U"\u20AC" },
        { "\xF0\x9F\x98\x80", U"\U0001F600" },
        { "\x80", U"\uFFFD" },                                  // stray continuation
        { "\xC0\xAF", U"\uFFFD\uFFFD" },                        // overlong
        { "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD" },              // overlong, 3 bytes
        { "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD" },              // surrogate
        { "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD" },    // above U+10FFFF
        { "\xE2\x82", U"\uFFFD\uFFFD" },                        // truncated at the end
        { "\xE2(\xAC", U"\uFFFD(\uFFFD" },                      // broken in the middle
        { "a\xFF" "b", U"a\uFFFDb" },
        { std::string("x\0y", 3), std::u32string(U"x\0y", 3) }, // NUL is a character
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeUtf8(c.bytes), c.expected) << testing::PrintToString(c.bytes);
}

// ---------------------------------------------------------------- face choice

TEST(FontFaceChoice, WeightWordsOfFamilyNames)
{
    struct Case {
        const char* name;
        std::optional<int> weight;
    };
    const Case cases[] = {
        { "Arial Black", FC_WEIGHT_BLACK },
        { "Foo Heavy", FC_WEIGHT_HEAVY },
        { "Foo ExtraBold", FC_WEIGHT_EXTRABOLD },
        { "Foo Ultra Bold", FC_WEIGHT_ULTRABOLD },
        { "Foo Extra-Bold", FC_WEIGHT_EXTRABOLD },
        { "Foo Bold", FC_WEIGHT_BOLD },
        { "Foo Semibold", FC_WEIGHT_SEMIBOLD },
        { "Foo Demi", FC_WEIGHT_DEMIBOLD },
        { "Foo Medium", FC_WEIGHT_MEDIUM },
        { "Foo Light", FC_WEIGHT_LIGHT },
        { "Foo Thin", FC_WEIGHT_THIN },
        { "foo BLACK", FC_WEIGHT_BLACK },
        { "Arial", std::nullopt },
        { "Blackadder ITC", std::nullopt }, // words, not parts of words
        { "", std::nullopt },
    };
    for (const Case& c : cases)
        EXPECT_EQ(fontWeightFromName(c.name), c.weight) << c.name;
}

TEST(FontFaceChoice, InstalledFamiliesAreTakenAsTheyAre)
{
    for (const char* name : { "DejaVu Sans", "dejavu sans", "Lato" }) {
        const auto choice = resolveFontFace(name, 0);
        ASSERT_TRUE(choice) << name;
        EXPECT_FALSE(choice->substituted) << name;
        EXPECT_EQ(choice->weight, FC_WEIGHT_REGULAR) << name;
        EXPECT_FALSE(choice->embolden || choice->oblique) << name;
    }
    const auto bold = resolveFontFace("DejaVu Sans", 0x100);
    ASSERT_TRUE(bold);
    EXPECT_EQ(bold->weight, FC_WEIGHT_BOLD);
    EXPECT_FALSE(bold->embolden);
    const auto boldItalic = resolveFontFace("DejaVu Sans", 0x300);
    ASSERT_TRUE(boldItalic);
    EXPECT_EQ(boldItalic->weight, FC_WEIGHT_BOLD);
    EXPECT_NE(boldItalic->slant, FC_SLANT_ROMAN);
    EXPECT_FALSE(boldItalic->embolden || boldItalic->oblique);
}

TEST(FontFaceChoice, MissingFamiliesBecomeASansOfTheNamedWeight)
{
    struct Case {
        const char* name;
        std::int32_t style;
        int minWeight;
    };
    const Case cases[] = {
        { "Arial Black", 0, FC_WEIGHT_BLACK },
        { "Arial Black", 0x300, FC_WEIGHT_BLACK },
        { "No Such Family Bold", 0, FC_WEIGHT_BOLD },
        { "No Such Family Semibold", 0, FC_WEIGHT_SEMIBOLD },
        { "No Such Family", 0x100, FC_WEIGHT_BOLD },
        { "No Such Family", 0, FC_WEIGHT_REGULAR },
    };
    for (const Case& c : cases) {
        const auto choice = resolveFontFace(c.name, c.style);
        ASSERT_TRUE(choice) << c.name;
        EXPECT_TRUE(choice->substituted) << c.name;
        EXPECT_GE(choice->weight, c.minWeight) << c.name;
        EXPECT_FALSE(choice->embolden) << c.name << ": an installed face of that weight exists";
        EXPECT_EQ(choice->slant != FC_SLANT_ROMAN || choice->oblique, (c.style & 0x200) != 0) << c.name;
    }
    // Lato Black is installed with the program: the default family gets heavy lettering
    const auto standIn = resolveFontFace("Arial Black", 0);
    ASSERT_TRUE(standIn);
    EXPECT_EQ(standIn->family, "Lato");
    EXPECT_EQ(standIn->weight, FC_WEIGHT_BLACK);
}

TEST(FontFaceChoice, MissingBoldOrItalicFacesAreSynthesised)
{
    // "DejaVu Sans Light" has one upright light face and nothing else
    const auto bold = resolveFontFace("DejaVu Sans Light", 0x100);
    ASSERT_TRUE(bold);
    EXPECT_FALSE(bold->substituted);
    EXPECT_TRUE(bold->embolden);
    EXPECT_FALSE(bold->oblique);
    const auto italic = resolveFontFace("DejaVu Sans Light", 0x200);
    ASSERT_TRUE(italic);
    EXPECT_TRUE(italic->oblique);
    EXPECT_FALSE(italic->embolden);
}

// ---------------------------------------------------------------- metrics

TEST(FontMetrics, DefaultFontCell)
{
    const auto font = makeFont("Arial Black", 0, 160);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->emHeight(), 160);
    const TextSize size = font->measureText("Lumivex");
    std::cout << "[ cell     ] \"Lumivex\" at em 160 in " << font->face().family << " weight "
              << font->face().weight << ": " << size.width << " x " << size.height << " (ascent "
              << font->ascent() << ", descent " << font->descent() << ")\n";
    RecordProperty("LumivexCellHeight", size.height);
    EXPECT_EQ(size.height, font->ascent() + font->descent());
    EXPECT_GE(size.height, 160);
    EXPECT_LE(size.height, 2 * 160);
    EXPECT_GT(font->ascent(), font->descent());
    int sum = 0;
    for (char c : std::string("Lumivex"))
        sum += font->advanceOf(static_cast<unsigned char>(c));
    EXPECT_EQ(size.width, sum);
    EXPECT_GT(size.width, 7 * 160 / 3);
    // the cell height is the same for every non-empty text, and nothing for none
    EXPECT_EQ(font->measureText(".").height, size.height);
    EXPECT_EQ(font->measureText("\xC3\x96g|").height, size.height);
    EXPECT_EQ(font->measureText(""), (TextSize { 0, 0 }));
}

TEST(FontMetrics, CellFollowsTheWindowsAscentAndDescent)
{
    // DejaVu Sans: 2048 units per em, usWinAscent 1901, usWinDescent 483
    const auto font = makeFont("DejaVu Sans", 0, 2048);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->ascent(), 1901);
    EXPECT_EQ(font->descent(), 483);
    const auto small = makeFont("DejaVu Sans", 0, 100);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->ascent(), 93);  // 92.82
    EXPECT_EQ(small->descent(), 24); // 23.58
}

TEST(FontMetrics, BoldIsWiderAndItalicDiffers)
{
    const std::string text = "Lumivex";
    for (const char* family : { "DejaVu Sans", "DejaVu Sans Light", "Lato" }) {
        const auto regular = makeFont(family, 0, 60);
        const auto bold = makeFont(family, 0x100, 60);
        const auto italic = makeFont(family, 0x200, 60);
        ASSERT_TRUE(regular && bold && italic) << family;
        EXPECT_GT(bold->measureText(text).width, regular->measureText(text).width) << family;

        Layer upright = filledLayer(600, 120);
        Layer slanted = filledLayer(600, 120);
        regular->paintText(upright, 10, 10, text, kInk);
        italic->paintText(slanted, 10, 10, text, kInk);
        EXPECT_NE(upright.pixels(), slanted.pixels()) << family;
        EXPECT_GT(countColor(slanted, kInk), 0u) << family;
    }
}

TEST(FontMetrics, StyleBitsOutsideTheTableChangeNothing)
{
    const std::string text = "Lumivex";
    const std::int32_t unknownBits = static_cast<std::int32_t>(~0x31Cu);
    for (const std::int32_t style : { 0, 0x100 | 0x4 }) {
        const auto plain = makeFont("Arial Black", style, 50);
        const auto noisy = makeFont("Arial Black", style | unknownBits, 50);
        ASSERT_TRUE(plain && noisy);
        EXPECT_EQ(noisy->measureText(text), plain->measureText(text));
        Layer a = filledLayer(400, 100);
        Layer b = filledLayer(400, 100);
        plain->paintText(a, 3, 4, text, kInk);
        noisy->paintText(b, 3, 4, text, kInk);
        EXPECT_EQ(a.pixels(), b.pixels()) << "style " << style;
    }
}

// ---------------------------------------------------------------- painting

struct StyleCase {
    const char* family;
    std::int32_t style;
};

class FontPaintStyles : public testing::TestWithParam<StyleCase> {};

TEST_P(FontPaintStyles, GlyphPixelsAreExactlyTheColour)
{
    const StyleCase c = GetParam();
    const auto font = makeFont(c.family, c.style, 90);
    ASSERT_TRUE(font);
    Layer layer = filledLayer(900, 200);
    // the top byte is not part of the colour
    font->paintText(layer, 7, 20, "Lumivex \xC3\x96g@", kInk | 0xFF000000u);
    const std::size_t ink = countColor(layer, kInk);
    const std::size_t background = countColor(layer, kBackground);
    EXPECT_GT(ink, 1000u);
    EXPECT_EQ(ink + background, layer.pixels().size()) << "blended or stray pixels";
}

INSTANTIATE_TEST_SUITE_P(Styles, FontPaintStyles,
    testing::Values(StyleCase { "Arial Black", 0 }, StyleCase { "Arial Black", 0x10 },
        StyleCase { "Arial Black", 0x300 | 0x4 | 0x8 | 0x10 }, StyleCase { "DejaVu Sans", 0 },
        StyleCase { "DejaVu Sans", 0x100 }, StyleCase { "DejaVu Sans", 0x200 | 0x10 },
        StyleCase { "DejaVu Sans Light", 0x300 }, StyleCase { "DejaVu Sans Light", 0x300 | 0x10 },
        StyleCase { "Lato", 0x4 }, StyleCase { "Lato", 0x8 }));

TEST(FontPaint, InkStaysInsideTheCell)
{
    const auto font = makeFont("Arial Black", 0, 100);
    ASSERT_TRUE(font);
    const TextSize size = font->measureText("Lumivex");
    Layer layer = filledLayer(size.width + 100, size.height + 100);
    const int x = 50, y = 40;
    font->paintText(layer, x, y, "Lumivex", kInk);
    int top = INT_MAX, bottom = INT_MIN;
    for (int row = 0; row < layer.height(); ++row) {
        for (int col = 0; col < layer.width(); ++col) {
            if (layer.pixel(col, row) == kInk) {
                top = std::min(top, row);
                bottom = std::max(bottom, row);
            }
        }
    }
    ASSERT_LE(top, bottom);
    EXPECT_GE(top, y);
    EXPECT_LT(bottom, y + size.height);
    // capitals reach well up towards the top of the cell, the baseline is at y + ascent
    EXPECT_LT(top, y + font->ascent() / 2);
    EXPECT_GE(bottom, y + font->ascent() - 1);
}

TEST(FontPaint, UnderlineAndStrikeOutAreSolidBarsAcrossTheAdvance)
{
    const std::string text = "Lumivex";
    const int x = 20, y = 10;
    struct Case {
        std::int32_t style;
        bool below; // under the baseline (underline) or above it (strike-out)
    };
    for (const char* family : { "Arial Black", "DejaVu Sans" }) {
        const auto plain = makeFont(family, 0, 80);
        ASSERT_TRUE(plain);
        const int width = plain->measureText(text).width;
        Layer plainLayer = filledLayer(width + 60, 160);
        plain->paintText(plainLayer, x, y, text, kInk);
        EXPECT_TRUE(solidRows(plainLayer, x, x + width, kInk).empty()) << family;

        for (const Case c : { Case { 0x4, true }, Case { 0x8, false } }) {
            const auto font = makeFont(family, c.style, 80);
            ASSERT_TRUE(font);
            ASSERT_EQ(font->measureText(text).width, width);
            Layer layer = filledLayer(width + 60, 160);
            font->paintText(layer, x, y, text, kInk);
            const std::vector<int> rows = solidRows(layer, x, x + width, kInk);
            ASSERT_FALSE(rows.empty()) << family << " style " << c.style;
            const int baseline = y + font->ascent();
            for (int row : rows) {
                if (c.below) {
                    EXPECT_GE(row, baseline) << family;
                    EXPECT_LT(row, y + font->measureText(text).height) << family;
                } else {
                    EXPECT_LT(row, baseline) << family;
                    EXPECT_GT(row, y) << family;
                }
            }
            // the bar ends with the advance width
            EXPECT_EQ(layer.pixel(x + width, rows.front()), plainLayer.pixel(x + width, rows.front()));
        }
    }
}

TEST(FontPaint, SubstituteForArialBlackIsHeavierThanRegularSans)
{
    const auto heavy = makeFont("Arial Black", 0, 80);
    const auto regular = makeFont("DejaVu Sans", 0, 80);
    ASSERT_TRUE(heavy && regular);
    const std::string text = "Lumivex Glass";
    const auto coverage = [&](const FreeTypeFont& font) {
        const TextSize size = font.measureText(text);
        Layer layer = filledLayer(size.width, size.height);
        font.paintText(layer, 0, 0, text, kInk);
        return static_cast<double>(countColor(layer, kInk)) / static_cast<double>(layer.pixels().size());
    };
    EXPECT_GT(coverage(*heavy), 1.4 * coverage(*regular));
}

TEST(FontPaint, ClippedPaintingMatchesTheUnclippedPicture)
{
    const auto font = makeFont("Arial Black", 0x4 | 0x8, 70);
    ASSERT_TRUE(font);
    const std::string text = "Wavy jig";
    const int w = 160, h = 60, margin = 800;
    struct Case {
        int x, y;
    };
    const Case cases[] = {
        { -30, -40 }, { w - 20, h - 10 }, { -250, 0 }, { w + 5, 0 }, { 0, h + 5 }, { 0, -500 },
        { -5, 20 }, { 40, -10 }, { -600, -600 }, { 100, 50 },
    };
    for (const Case& c : cases) {
        Layer big = filledLayer(w + 2 * margin, h + 2 * margin);
        font->paintText(big, c.x + margin, c.y + margin, text, kInk);
        Layer small = filledLayer(w, h);
        font->paintText(small, c.x, c.y, text, kInk);
        int mismatches = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                mismatches += small.pixel(x, y) != big.pixel(x + margin, y + margin);
        }
        EXPECT_EQ(mismatches, 0) << "at " << c.x << ", " << c.y;
    }
    // huge offsets paint nothing and do not overflow
    Layer layer = filledLayer(w, h);
    for (const Case c : { Case { INT_MIN, 0 }, Case { INT_MAX, 0 }, Case { 0, INT_MIN }, Case { 0, INT_MAX } })
        font->paintText(layer, c.x, c.y, text, kInk);
    EXPECT_EQ(countColor(layer, kBackground), layer.pixels().size());
}

TEST(FontPaint, EmptyTextAndEmptyLayerPaintNothing)
{
    const auto font = makeFont("Arial Black", 0x4 | 0x8, 40);
    ASSERT_TRUE(font);
    Layer layer = filledLayer(100, 60);
    font->paintText(layer, 0, 0, "", kInk);
    EXPECT_EQ(countColor(layer, kBackground), layer.pixels().size());
    Layer empty;
    font->paintText(empty, 0, 0, "Lumivex", kInk);
    EXPECT_FALSE(empty.valid());
}

// ---------------------------------------------------------------- hostile input

TEST(FontBounds, EmHeightsOutOfRange)
{
    for (std::int64_t em : { std::int64_t { 0 }, std::int64_t { -1 }, std::int64_t { -160 }, INT64_MIN })
        EXPECT_EQ(buildSceneFont("Arial Black", 0, em), nullptr) << em;
    for (std::int64_t em : { std::int64_t { 100000 }, std::int64_t { 8193 }, INT64_MAX }) {
        const auto font = makeFont("Arial Black", 0x300 | 0x4 | 0x8, em);
        ASSERT_TRUE(font) << em;
        EXPECT_EQ(font->emHeight(), kMaxEmHeight);
        const TextSize size = font->measureText("Lu");
        EXPECT_GT(size.height, kMaxEmHeight);
        EXPECT_LT(size.height, 2 * kMaxEmHeight);
        // a window of 1000 x 1000 pixels from the middle of the stem of the L
        Layer layer = filledLayer(1000, 1000);
        font->paintText(layer, 0, 2000 - font->ascent(), "Lu", kInk);
        EXPECT_GT(countColor(layer, kInk), 0u) << em;
        EXPECT_EQ(countColor(layer, kInk) + countColor(layer, kBackground), layer.pixels().size());
    }
    const auto tiny = makeFont("Arial Black", 0, 1);
    ASSERT_TRUE(tiny);
    Layer layer = filledLayer(20, 20);
    tiny->paintText(layer, 0, 0, "Lumivex", kInk);
    EXPECT_EQ(countColor(layer, kInk) + countColor(layer, kBackground), layer.pixels().size());
}

TEST(FontBounds, InvalidUtf8IsMeasuredAsReplacementCharacters)
{
    const auto font = makeFont("DejaVu Sans", 0, 40);
    ASSERT_TRUE(font);
    const std::string broken = "\xFF\xC0\xAF\xED\xA0\x80\xE2\x82";
    const int replacement = font->advanceOf(0xFFFD);
    EXPECT_GT(replacement, 0);
    EXPECT_EQ(font->measureText(broken).width, 8 * replacement);
    Layer layer = filledLayer(500, 60);
    font->paintText(layer, 0, 0, broken + "ok\x80", kInk);
    EXPECT_GT(countColor(layer, kInk), 0u);
    EXPECT_EQ(countColor(layer, kInk) + countColor(layer, kBackground), layer.pixels().size());
}

TEST(FontBounds, MillionCharacterTexts)
{
    const auto font = makeFont("Arial Black", 0x4, 20);
    ASSERT_TRUE(font);
    constexpr std::size_t kCount = 1'000'000;

    // all the same
    const std::string same(kCount, 'W');
    const int w = font->advanceOf('W');
    ASSERT_GT(w, 0);
    EXPECT_EQ(font->measureText(same).width, static_cast<int>(kCount) * w);
    Layer layer = filledLayer(1000, 60);
    font->paintText(layer, 0, 0, same, kInk);
    const std::vector<int> bar = solidRows(layer, 0, layer.width(), kInk);
    ASSERT_FALSE(bar.empty()) << "the underline spans the layer";
    EXPECT_GE(bar.front(), font->ascent());

    // all different: every scalar value from U+0020 on, surrogates left out
    std::string different;
    different.reserve(4 * kCount);
    std::int64_t sum = 0;
    std::size_t n = 0;
    for (char32_t cp = 0x20; n < kCount; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        different += encodeUtf8(cp);
        sum += font->advanceOf(cp);
        ++n;
    }
    const TextSize size = font->measureText(different);
    EXPECT_EQ(size.width, sum);
    Layer second = filledLayer(1000, 60);
    font->paintText(second, -5, 3, different, kInk);
    EXPECT_GT(countColor(second, kInk), 0u);
    EXPECT_EQ(countColor(second, kInk) + countColor(second, kBackground), second.pixels().size());

    // all at one place: a million zero-advance marks over one letter, at a large size
    const auto big = makeFont("Arial Black", 0, 1500);
    ASSERT_TRUE(big);
    ASSERT_EQ(big->advanceOf(0x301), 0);
    std::string marks = "o";
    for (std::size_t i = 0; i < kCount; ++i)
        marks += (i % 2) ? "\xCC\x81" : "\xCC\x80"; // acute, grave
    EXPECT_EQ(big->measureText(marks).width, big->advanceOf('o'));
    Layer third = filledLayer(1500, 2000);
    big->paintText(third, 100, 0, marks, kInk);
    Layer reference = filledLayer(1500, 2000);
    big->paintText(reference, 100, 0, "o\xCC\x80\xCC\x81", kInk);
    EXPECT_GT(countColor(third, kInk), 0u);
    EXPECT_EQ(third.pixels(), reference.pixels());

    // a width beyond the int range saturates
    const auto huge = makeFont("Arial Black", 0, kMaxEmHeight);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->measureText(same).width, INT_MAX);
}

TEST(FontBounds, FontsAreIndependentAcrossThreads)
{
    // each font owns its FreeType library; building and painting on two threads at once
    // must neither crash nor change what is painted
    const auto reference = makeFont("Arial Black", 0x300, 50);
    ASSERT_TRUE(reference);
    Layer expected = filledLayer(400, 100);
    reference->paintText(expected, 5, 5, "Lumivex", kInk);
    std::vector<Layer> results(2);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const auto font = makeFont("Arial Black", 0x300, 50);
                if (!font)
                    return;
                results[static_cast<std::size_t>(t)] = filledLayer(400, 100);
                font->paintText(results[static_cast<std::size_t>(t)], 5, 5, "Lumivex", kInk);
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (const Layer& result : results)
        EXPECT_EQ(result.pixels(), expected.pixels());
}

} // namespace
} // namespace lumivex
