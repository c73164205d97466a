#include "files/Cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace lumivex {
namespace {

TEST(Cp1252, EveryByteRoundTrips)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = decodeCp1252(all);
    const std::optional<std::string> back = encodeCp1252(utf8);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);

    // Each byte on its own as well, so no two bytes share a character.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(encodeCp1252(decodeCp1252(one)), one) << "byte " << b;
    }
}

TEST(Cp1252, DecodesToTheRightCharacters)
{
    struct Case {
        unsigned char byte;
        const char* utf8;
    };
    const Case cases[] = {
        {0x41, "A"},
        {0x80, "\u20AC"},      // euro sign
        {0x81, "\xC2\x81"},    // unassigned: the C1 control of the same value
        {0x8A, "\u0160"},      // S with caron
        {0x8D, "\xC2\x8D"},
        {0x8F, "\xC2\x8F"},
        {0x90, "\xC2\x90"},
        {0x93, "\u201C"},
        {0x9D, "\xC2\x9D"},
        {0x9F, "\u0178"},      // Y with diaeresis
        {0xA0, "\u00A0"},
        {0xDF, "\u00DF"},
        {0xFC, "\u00FC"},      // the ü of the identification line
        {0xFF, "\u00FF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeCp1252(std::string(1, static_cast<char>(c.byte))), c.utf8) << "byte " << int(c.byte);
    EXPECT_EQ(decodeCp1252(std::string_view("\0", 1)), std::string(1, '\0'));
}

TEST(Cp1252, EncodesGermanText)
{
    EXPECT_EQ(encodeCp1252("Größe 5 €, „Glas“"), std::string("Gr\xF6\xDF" "e 5 \x80, \x84Glas\x93"));
    EXPECT_EQ(encodeCp1252(""), std::string());
}

TEST(Cp1252, ReportsTheFirstCharacterItCannotHold)
{
    struct Case {
        const char* name;
        std::string utf8;
        std::string offending;
    };
    const Case cases[] = {
        {"greek omega", "abc\u03A9def\u0416", "\u03A9"},
        {"emoji", "a\U0001F600", "\U0001F600"},
        {"C1 control that 0x80 does not stand for", "x\u0080", "\u0080"},
        {"latin extended", "\u0100", "\u0100"},
        {"replacement character itself", "\uFFFD", "\uFFFD"},
        {"stray continuation byte", "ab\x80", "\uFFFD"},
        {"invalid lead byte", "\xFF", "\uFFFD"},
        {"cut sequence", "a\xC3", "\uFFFD"},
        {"overlong zero", "\xC0\x80", "\uFFFD"},
        {"surrogate", "\xED\xA0\x80", "\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\uFFFD"},
    };
    for (const Case& c : cases) {
        std::string offending = "unchanged";
        EXPECT_FALSE(encodeCp1252(c.utf8, &offending).has_value()) << c.name;
        EXPECT_EQ(offending, c.offending) << c.name;
        EXPECT_FALSE(encodeCp1252(c.utf8).has_value()) << c.name << " without a report";
    }
}

TEST(Cp1252, RepresentableCodePoints)
{
    struct Case {
        char32_t cp;
        bool representable;
    };
    const Case cases[] = {
        {0x00, true}, {0x7F, true}, {0x80, false}, {0x81, true}, {0x8D, true}, {0x8E, false},
        {0x9D, true}, {0x9F, false}, {0xA0, true}, {0xFF, true}, {0x100, false}, {0x152, true},
        {0x20AC, true}, {0x2122, true}, {0x3A9, false}, {0xFFFD, false}, {0x1F600, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isCp1252Representable(c.cp), c.representable) << std::hex << "U+" << static_cast<unsigned>(c.cp);
}

} // namespace
} // namespace lumivex
