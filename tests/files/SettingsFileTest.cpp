#include "files/SettingsFile.h"

#include "files/Cp1252.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace lumivex {
namespace {

using test::TempFolder;

std::uint32_t bitsOf(float f)
{
    std::uint32_t b = 0;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

float floatOf(std::uint32_t b)
{
    float f = 0;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

// Field by field, floats by their bit patterns (operator== would fail on NaN and
// pass -0.0 for 0.0).
void expectSameRecord(const SceneParams& a, const SceneParams& b, const std::string& where = {})
{
    SCOPED_TRACE(where);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.backgroundTop, b.backgroundTop);
    EXPECT_EQ(a.backgroundBottom, b.backgroundBottom);
    EXPECT_EQ(a.backgroundImagePath, b.backgroundImagePath);
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(a.fontName, b.fontName);
    EXPECT_EQ(a.fontSize, b.fontSize);
    EXPECT_EQ(a.fontStyle, b.fontStyle);
    EXPECT_EQ(a.textColor, b.textColor);
    EXPECT_EQ(bitsOf(a.textElevation), bitsOf(b.textElevation));
    EXPECT_EQ(bitsOf(a.reflectionFadeStep), bitsOf(b.reflectionFadeStep));
    EXPECT_EQ(bitsOf(a.brightnessUp), bitsOf(b.brightnessUp));
    EXPECT_EQ(bitsOf(a.brightnessDown), bitsOf(b.brightnessDown));
}

SceneParams zeroRecord()
{
    SceneParams p;
    p.width = p.height = 0;
    p.backgroundTop = p.backgroundBottom = p.textColor = 0;
    p.text.clear();
    p.fontName.clear();
    p.backgroundImagePath.clear();
    p.fontSize = p.fontStyle = 0;
    p.brightnessUp = p.brightnessDown = p.reflectionFadeStep = p.textElevation = 0.0f;
    return p;
}

// A record no load could produce by accident: whatever a failed load leaves must be it.
SceneParams sentinelRecord()
{
    SceneParams p;
    p.width = 123;
    p.height = 45;
    p.backgroundTop = 0x01020304;
    p.text = "unberührt";
    p.fontName = "Sentinel";
    p.backgroundImagePath = "C:\\alt.bmp";
    p.brightnessUp = 0.25f;
    return p;
}

const std::string kIdLine = "Bilddaten f\xFCr Lumivex, Version 0.2\r\n";

// The bytes after the identification line for the default record (text "Lumivex").
const std::string kWorkedBody = std::string("\x20\x03\x00\x00" "\xC8\x00\x00\x00" "\xF0\xF0\xF0\x00" "\x70\x70\x70\x00", 16)
    + "\r\n" + "Lumivex\r\n" + "Arial Black\r\n"
    + std::string("\x1E\x00\x00\x00" "\x00\x00\x00\x00" "\x90\x20\x20\x00", 12)
    + std::string("\xCD\xCC\x4C\x3F" "\x42\x60\xE5\x3B" "\x9A\x99\x19\x3F" "\xCD\xCC\x4C\x3F", 16);

const std::string kWorkedExample = kIdLine + kWorkedBody;

TEST(SettingsFile, WorkedExampleByteForByte)
{
    std::string bytes;
    ASSERT_TRUE(encodeSettings(SceneParams{}, bytes));
    EXPECT_EQ(bytes, kWorkedExample);

    // The identification line as readers of other versions look for it.
    EXPECT_EQ(bytes.rfind("Bilddaten f\xFCr Lumivex", 0), 0u);
    const std::string firstLine = bytes.substr(0, bytes.find("\r\n"));
    EXPECT_NE(firstLine.find("Version 0.2"), std::string::npos);

    TempFolder folder;
    const std::string path = folder.path("Szene.lvx");
    std::string error;
    ASSERT_TRUE(saveSettings(path, SceneParams{}, &error)) << error;
    EXPECT_EQ(test::readBytes(path), kWorkedExample);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});

    SceneParams loaded = zeroRecord();
    ASSERT_TRUE(loadSettings(path, loaded, &error)) << error;
    expectSameRecord(loaded, SceneParams{});
}

TEST(SettingsFile, RoundTripKeepsEveryBit)
{
    const std::uint32_t floatPatterns[][4] = {
        {0x7FC12345, 0xFFC00001, 0x7F800001, 0x7FBFFFFF}, // quiet and signalling NaNs with payloads
        {0x80000000, 0x00000000, 0x00000001, 0x807FFFFF}, // signed zeros, denormals
        {0x7F800000, 0xFF800000, 0x7F7FFFFF, 0x00800000}, // infinities, largest and smallest normal
        {0x3F19999A, 0xBF4CCCCD, 0x4B800001, 0xCF000000},
    };
    std::string all;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            all += static_cast<char>(b);
    }
    int i = 0;
    for (const auto& pattern : floatPatterns) {
        SceneParams p;
        p.width = i == 0 ? std::numeric_limits<std::int32_t>::min() : -1 - i;
        p.height = std::numeric_limits<std::int32_t>::max() - i;
        p.backgroundTop = 0xFF000000u | static_cast<std::uint32_t>(i);
        p.backgroundBottom = 0xFFFFFFFFu - static_cast<std::uint32_t>(i);
        p.textColor = 0x80402010u;
        p.fontSize = i == 1 ? 0 : -30;
        p.fontStyle = 0x31C;
        p.text = i == 2 ? std::string() : "Glas \u20AC \u201Ezitiert\u201C " + decodeCp1252(all);
        p.fontName = i == 3 ? std::string() : "DejaVu Sans \u00DF";
        p.backgroundImagePath = i == 0 ? std::string() : "C:\\Bilder\\Hintergrund \u00FC.bmp";
        p.textElevation = floatOf(pattern[0]);
        p.reflectionFadeStep = floatOf(pattern[1]);
        p.brightnessUp = floatOf(pattern[2]);
        p.brightnessDown = floatOf(pattern[3]);

        std::string bytes;
        ASSERT_TRUE(encodeSettings(p, bytes));
        expectSameRecord(decodeSettings(bytes), p, "bytes, case " + std::to_string(i));

        TempFolder folder;
        const std::string path = folder.path("r.lvx");
        std::string error;
        ASSERT_TRUE(saveSettings(path, p, &error)) << error;
        SceneParams loaded;
        ASSERT_TRUE(loadSettings(path, loaded, &error)) << error;
        expectSameRecord(loaded, p, "file, case " + std::to_string(i));
        ++i;
    }
}

TEST(SettingsFile, EveryLineEndingReadsTheSame)
{
    const auto replaceAll = [](std::string s, const std::string& from, const std::string& to) {
        for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
            s.replace(at, from.size(), to);
        return s;
    };
    struct Case {
        const char* name;
        std::string bytes;
    };
    // The worked example holds no CR or LF inside its numbers, so the endings can be swapped blindly.
    const Case cases[] = {
        {"CR LF", kWorkedExample},
        {"LF", replaceAll(kWorkedExample, "\r\n", "\n")},
        {"CR", replaceAll(kWorkedExample, "\r\n", "\r")},
        {"mixed", kIdLine + replaceAll(kWorkedBody, "Lumivex\r\n", "Lumivex\n")},
    };
    for (const Case& c : cases)
        expectSameRecord(decodeSettings(c.bytes), SceneParams{}, c.name);

    TempFolder folder;
    test::writeBytes(folder.path("lf.lvx"), cases[1].bytes);
    SceneParams loaded = sentinelRecord();
    ASSERT_TRUE(loadSettings(folder.path("lf.lvx"), loaded));
    expectSameRecord(loaded, SceneParams{}, "LF file");
}

TEST(SettingsFile, LoneCrLeavesTheNextByteUnlessItIsLf)
{
    // fontName ended by CR alone, then fontSize 10: its first byte 0x0A is taken as the
    // LF of the line end, and every later number shifts by one byte.
    SceneParams p;
    p.fontSize = 10;
    std::string crLf;
    ASSERT_TRUE(encodeSettings(p, crLf));
    std::string crOnly = crLf;
    const std::size_t fontEnd = crOnly.find("Arial Black\r\n") + 11;
    crOnly.erase(fontEnd + 1, 1);
    const SceneParams shifted = decodeSettings(crOnly);
    EXPECT_EQ(shifted.fontName, "Arial Black");
    EXPECT_EQ(shifted.fontSize, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(shifted.fontStyle), 0x90000000u);
    EXPECT_EQ(shifted.textColor, 0xCD002020u);

    // fontSize 11 starts with 0x0B: left unread, so it is read whole.
    p.fontSize = 11;
    std::string eleven;
    ASSERT_TRUE(encodeSettings(p, eleven));
    eleven.erase(fontEnd + 1, 1);
    SceneParams expected = p;
    expectSameRecord(decodeSettings(eleven), expected);

    // A CR as the very last byte just ends the line.
    const SceneParams cut = decodeSettings(kIdLine + kWorkedBody.substr(0, 16) + "\r");
    EXPECT_EQ(cut.backgroundImagePath, "");
    EXPECT_EQ(cut.text, "");
    EXPECT_EQ(cut.backgroundBottom, 0x707070u);
}

TEST(SettingsFile, ZeroByteEndsALine)
{
    const std::string bytes = kIdLine + kWorkedBody.substr(0, 16) + "\r\n" + std::string("AB\0CD\r\n", 7) + "Arial Black\r\n"
        + kWorkedBody.substr(kWorkedBody.find("Arial Black\r\n") + 13);
    const SceneParams p = decodeSettings(bytes);
    EXPECT_EQ(p.text, "AB");
    EXPECT_EQ(p.fontName, "CD"); // the bytes after the zero start the next field
    EXPECT_EQ(p.fontSize, 0x61697241); // "Aria", little-endian
    EXPECT_EQ(p.fontStyle, 0x6C42206C); // "l Bl"
}

TEST(SettingsFile, FirstLineIsSkippedWhateverItHolds)
{
    expectSameRecord(decodeSettings("irgendetwas anderes\n" + kWorkedBody), SceneParams{}, "other first line");
    expectSameRecord(decodeSettings("\r\n" + kWorkedBody), SceneParams{}, "empty first line");

    // Without one, the bytes up to the first line end are lost to it: here 20 03 and the
    // zero byte that ends them, so every later field starts three bytes late.
    const SceneParams lost = decodeSettings(kWorkedBody);
    EXPECT_EQ(lost.width, 0xC800);
    EXPECT_EQ(static_cast<std::uint32_t>(lost.height), 0xF0F0F000u);
    EXPECT_EQ(lost.backgroundTop, 0x70707000u);
    EXPECT_EQ(lost.backgroundBottom, 0x4C0A0D00u);
    EXPECT_EQ(lost.backgroundImagePath, "umivex");
    EXPECT_EQ(lost.text, "Arial Black");
}

// Field layout of the worked example: where each field starts and ends.
struct Field {
    enum Kind { Line, Number } kind;
    std::size_t start;
    std::size_t end;       // one past the field, line end included
    std::size_t valueEnd;  // one past the value (lines: before CR LF)
};

std::vector<Field> workedFields()
{
    std::vector<Field> fields;
    std::size_t at = 0;
    const auto line = [&](std::size_t length) {
        fields.push_back({Field::Line, at, at + length + 2, at + length});
        at += length + 2;
    };
    const auto number = [&] {
        fields.push_back({Field::Number, at, at + 4, at + 4});
        at += 4;
    };
    line(kIdLine.size() - 2);
    for (int i = 0; i < 4; ++i)
        number();
    line(0);
    line(7);
    line(11);
    for (int i = 0; i < 7; ++i)
        number();
    EXPECT_EQ(at, kWorkedExample.size());
    return fields;
}

TEST(SettingsFile, CutAtEveryOffsetZeroFillsTheRest)
{
    const std::vector<Field> fields = workedFields();
    // What field i reads from a file cut after n bytes: numbers keep their bytes below
    // the cut as low-order bytes, lines keep the characters below it.
    const auto numberAt = [&](std::size_t i, std::size_t n) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4 && fields[i].start + k < n; ++k)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(kWorkedExample[fields[i].start + k])) << (8 * k);
        return v;
    };
    const auto lineAt = [&](std::size_t i, std::size_t n) {
        const std::size_t end = std::min(n, fields[i].valueEnd);
        return end > fields[i].start ? kWorkedExample.substr(fields[i].start, end - fields[i].start) : std::string();
    };
    for (std::size_t n = 0; n <= kWorkedExample.size(); ++n) {
        SceneParams expected;
        expected.width = static_cast<std::int32_t>(numberAt(1, n));
        expected.height = static_cast<std::int32_t>(numberAt(2, n));
        expected.backgroundTop = numberAt(3, n);
        expected.backgroundBottom = numberAt(4, n);
        expected.backgroundImagePath = lineAt(5, n);
        expected.text = lineAt(6, n);
        expected.fontName = lineAt(7, n);
        expected.fontSize = static_cast<std::int32_t>(numberAt(8, n));
        expected.fontStyle = static_cast<std::int32_t>(numberAt(9, n));
        expected.textColor = numberAt(10, n);
        expected.textElevation = floatOf(numberAt(11, n));
        expected.reflectionFadeStep = floatOf(numberAt(12, n));
        expected.brightnessUp = floatOf(numberAt(13, n));
        expected.brightnessDown = floatOf(numberAt(14, n));
        expectSameRecord(decodeSettings(std::string_view(kWorkedExample).substr(0, n)), expected,
            "cut after " + std::to_string(n) + " bytes");
    }
}

TEST(SettingsFile, CutInsideFontSizeThroughAFile)
{
    const std::size_t cut = kWorkedExample.find("Arial Black\r\n") + 13 + 2; // after 1E 00
    TempFolder folder;
    test::writeBytes(folder.path("kurz.lvx"), kWorkedExample.substr(0, cut));
    SceneParams p = sentinelRecord();
    ASSERT_TRUE(loadSettings(folder.path("kurz.lvx"), p));
    SceneParams expected = zeroRecord();
    expected.width = 800;
    expected.height = 200;
    expected.backgroundTop = 0xF0F0F0;
    expected.backgroundBottom = 0x707070;
    expected.text = "Lumivex";
    expected.fontName = "Arial Black";
    expected.fontSize = 30;
    expectSameRecord(p, expected);
}

TEST(SettingsFile, EmptyFileLoadsAsZeros)
{
    TempFolder folder;
    test::writeBytes(folder.path("leer.lvx"), "");
    SceneParams p = sentinelRecord();
    std::string error;
    ASSERT_TRUE(loadSettings(folder.path("leer.lvx"), p, &error)) << error;
    expectSameRecord(p, zeroRecord());
}

TEST(SettingsFile, RefusedFilesLeaveTheRecordAlone)
{
    TempFolder folder;
    test::writeBytes(folder.path("gross.lvx"), kWorkedExample + std::string(kMaxSettingsFileSize - kWorkedExample.size() + 1, 'x'));
    ASSERT_EQ(::mkdir(folder.path("ordner.lvx").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(folder.path("pipe.lvx").c_str(), 0644), 0);
    ASSERT_EQ(::symlink(folder.path("nirgends").c_str(), folder.path("verwaist.lvx").c_str()), 0);

    struct Case {
        std::string path;
        std::string error;
    };
    const Case cases[] = {
        {folder.path("fehlt.lvx"), "Die Datei existiert nicht."},
        {folder.path("verwaist.lvx"), "Die Datei existiert nicht."},
        {"", "Die Datei existiert nicht."},
        {folder.path("gross.lvx"), "Die Datei ist größer als 1 MiB und wird nicht geladen."},
        {folder.path("ordner.lvx"), "Das ist ein Ordner, keine Datei."},
        {folder.path("pipe.lvx"), "Das ist keine gewöhnliche Datei."}, // must not wait for a writer
        {"/dev/zero", "Das ist keine gewöhnliche Datei."},            // would never end
        {folder.path("gross.lvx/x"), "Ein Teil des Pfades ist kein Ordner."},
    };
    for (const Case& c : cases) {
        SceneParams p = sentinelRecord();
        std::string error;
        EXPECT_FALSE(loadSettings(c.path, p, &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
        expectSameRecord(p, sentinelRecord(), c.path);
        EXPECT_FALSE(loadSettings(c.path, p)) << c.path << " without an error text";
    }
}

TEST(SettingsFile, ExactlyTheLimitStillLoads)
{
    TempFolder folder;
    // The worked example with padding after its last field: the extra bytes are ignored.
    test::writeBytes(folder.path("grenze.lvx"), kWorkedExample + std::string(kMaxSettingsFileSize - kWorkedExample.size(), 'x'));
    SceneParams p = sentinelRecord();
    std::string error;
    ASSERT_TRUE(loadSettings(folder.path("grenze.lvx"), p, &error)) << error;
    expectSameRecord(p, SceneParams{});
}

TEST(SettingsFile, UnreadableFileIsRefused)
{
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.root().c_str(), 0755), 0);
    const std::string path = folder.path("geheim.lvx");
    test::writeBytes(path, kWorkedExample);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    // 0: refused with the right reason and the record untouched, 1: loaded, 2: refused
    // with another reason, 3: the record changed.
    const int outcome = test::withoutPrivileges([&] {
        SceneParams p = sentinelRecord();
        std::string error;
        if (loadSettings(path, p, &error))
            return 1;
        if (!(p == sentinelRecord()))
            return 3;
        return error == "Keine Berechtigung." ? 0 : 2;
    });
    if (outcome == test::kNoUnprivilegedRun)
        GTEST_SKIP() << "root here cannot become an ordinary user";
    EXPECT_EQ(outcome, 0);
}

TEST(SettingsFile, UnencodableCharacterIsReportedAndNothingWritten)
{
    struct Case {
        const char* name;
        void (*change)(SceneParams&);
        std::string character;
        std::string error;
    };
    const Case cases[] = {
        {"text", [](SceneParams& p) { p.text = "Glas \u03A9 und \u0416"; }, "\u03A9",
            "Das Zeichen \u201E\u03A9\u201C kann in einer Einstellungsdatei nicht gespeichert werden."},
        {"font name", [](SceneParams& p) { p.fontName = "Noto Sans CJK \u65E5\u672C"; }, "\u65E5",
            "Das Zeichen \u201E\u65E5\u201C kann in einer Einstellungsdatei nicht gespeichert werden."},
        {"image path", [](SceneParams& p) { p.backgroundImagePath = "/home/\U0001F600.bmp"; }, "\U0001F600",
            "Das Zeichen \u201E\U0001F600\u201C kann in einer Einstellungsdatei nicht gespeichert werden."},
        {"line break", [](SceneParams& p) { p.text = "zwei\nZeilen"; }, "\n",
            "Ein Zeilenumbruch kann in einer Einstellungsdatei nicht gespeichert werden."},
        {"carriage return", [](SceneParams& p) { p.fontName = "Arial\r"; }, "\r",
            "Ein Zeilenumbruch kann in einer Einstellungsdatei nicht gespeichert werden."},
        {"zero byte", [](SceneParams& p) { p.text = std::string("a\0b", 3); }, std::string(1, '\0'),
            "Ein Nullzeichen kann in einer Einstellungsdatei nicht gespeichert werden."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SceneParams p;
        c.change(p);
        std::string bytes = "old";
        std::string character;
        EXPECT_FALSE(encodeSettings(p, bytes, &character));
        EXPECT_EQ(character, c.character);

        TempFolder folder;
        std::string error;
        EXPECT_FALSE(saveSettings(folder.path("neu.lvx"), p, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(folder.entries().empty());

        test::writeBytes(folder.path("alt.lvx"), "alter Inhalt");
        EXPECT_FALSE(saveSettings(folder.path("alt.lvx"), p));
        EXPECT_EQ(test::readBytes(folder.path("alt.lvx")), "alter Inhalt");
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"alt.lvx"});
    }
}

TEST(SettingsFile, SavingReplacesAnExistingFileAndCarriesThePath)
{
    TempFolder folder;
    const std::string path = folder.path("Szene.lvx");
    test::writeBytes(path, std::string(5000, 'z'));
    SceneParams p;
    p.backgroundImagePath = "D:\\Hintergründe\\Glas.bmp";
    ASSERT_TRUE(saveSettings(path, p));
    SceneParams loaded;
    ASSERT_TRUE(loadSettings(path, loaded));
    ASSERT_TRUE(saveSettings(path, loaded));
    std::string expected;
    ASSERT_TRUE(encodeSettings(p, expected));
    EXPECT_EQ(test::readBytes(path), expected);
    EXPECT_EQ(loaded.backgroundImagePath, "D:\\Hintergründe\\Glas.bmp");
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Szene.lvx"});
}

} // namespace
} // namespace lumivex
