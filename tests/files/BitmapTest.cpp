#include "files/Bitmap.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace lumivex {
namespace {

using test::TempFolder;

std::uint32_t le32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]))
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint32_t le16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]))
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// Every pixel different in every channel, so a swapped channel or row shows.
Layer patternLayer(int width, int height)
{
    Layer layer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            layer.row(y)[x] = packColor((x * 7 + y) & 0xFF, (x * 3 + y * 11 + 1) & 0xFF, (x + y * 5 + 2) & 0xFF);
    }
    return layer;
}

TEST(Bitmap, HeaderOfTheDefaultPreview)
{
    const Layer surface(1024, 768);
    std::string bytes;
    ASSERT_TRUE(encodeBitmap(surface, 800, 200, bytes));
    ASSERT_EQ(bytes.size(), 480054u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    struct Field {
        const char* name;
        std::size_t offset;
        int size;
        std::uint32_t value;
    };
    const Field fields[] = {
        {"file size", 2, 4, 480054}, {"reserved", 6, 2, 0}, {"reserved", 8, 2, 0},
        {"pixel offset", 10, 4, 54}, {"info header size", 14, 4, 40}, {"width", 18, 4, 800},
        {"height", 22, 4, 200}, {"planes", 26, 2, 1}, {"bits per pixel", 28, 2, 24},
        {"compression", 30, 4, 0}, {"image size", 34, 4, 0}, {"x resolution", 38, 4, 0},
        {"y resolution", 42, 4, 0}, {"colours used", 46, 4, 0}, {"important colours", 50, 4, 0},
    };
    for (const Field& f : fields)
        EXPECT_EQ(f.size == 4 ? le32(bytes, f.offset) : le16(bytes, f.offset), f.value) << f.name;

    TempFolder folder;
    std::string error;
    ASSERT_TRUE(exportBitmap(folder.path("Unbenennt.bmp"), 800, 200, surface, &error)) << error;
    EXPECT_EQ(test::readBytes(folder.path("Unbenennt.bmp")), bytes);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"Unbenennt.bmp"});
}

TEST(Bitmap, RowsArePaddedToFourBytes)
{
    struct Case {
        int width;
        std::size_t rowSize;
    };
    const Case cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {801, 2404}, {802, 2408}, {803, 2412}, {804, 2412}};
    const int height = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE("width " + std::to_string(c.width));
        const Layer surface = patternLayer(c.width + 2, height + 1);
        std::string bytes;
        ASSERT_TRUE(encodeBitmap(surface, c.width, height, bytes));
        ASSERT_EQ(bytes.size(), 54 + c.rowSize * height);
        EXPECT_EQ(le32(bytes, 2), bytes.size());
        EXPECT_EQ(le32(bytes, 18), static_cast<std::uint32_t>(c.width));
        // Each file row r holds image row height-1-r as blue, green, red, then zero padding.
        for (int r = 0; r < height; ++r) {
            const int y = height - 1 - r;
            const std::size_t rowStart = 54 + static_cast<std::size_t>(r) * c.rowSize;
            for (int x = 0; x < c.width; ++x) {
                const PackedColor p = surface.pixel(x, y);
                const std::size_t at = rowStart + 3 * static_cast<std::size_t>(x);
                ASSERT_EQ(static_cast<unsigned char>(bytes[at]), blueOf(p)) << "x " << x << " y " << y;
                ASSERT_EQ(static_cast<unsigned char>(bytes[at + 1]), greenOf(p)) << "x " << x << " y " << y;
                ASSERT_EQ(static_cast<unsigned char>(bytes[at + 2]), redOf(p)) << "x " << x << " y " << y;
            }
            for (std::size_t pad = rowStart + 3 * static_cast<std::size_t>(c.width); pad < rowStart + c.rowSize; ++pad)
                EXPECT_EQ(bytes[pad], '\0') << "padding at " << pad;
        }
    }
}

TEST(Bitmap, TopLeftPixelIsFirstOfTheLastRowAndRedIsStoredLast)
{
    Layer surface(10, 10);
    surface.row(0)[0] = packColor(255, 0, 0);   // top-left: pure red
    surface.row(4)[0] = packColor(0, 0, 255);   // bottom-left of a 6 x 5 region: pure blue
    surface.row(0)[5] = packColor(0, 255, 0);   // top-right of the region: pure green
    std::string bytes;
    ASSERT_TRUE(encodeBitmap(surface, 6, 5, bytes));
    const std::size_t rowSize = 20; // 18 + 2 padding
    const std::size_t lastRow = 54 + 4 * rowSize;
    EXPECT_EQ(bytes.substr(lastRow, 3), std::string("\x00\x00\xFF", 3));
    EXPECT_EQ(bytes.substr(lastRow + 15, 3), std::string("\x00\xFF\x00", 3));
    EXPECT_EQ(bytes.substr(54, 3), std::string("\xFF\x00\x00", 3));
}

TEST(Bitmap, RegionOutsideTheSurfaceWritesNothing)
{
    const Layer surface = patternLayer(40, 30);
    const Layer empty;
    struct Case {
        int width;
        int height;
        const Layer* source;
    };
    const Case cases[] = {
        {0, 10, &surface}, {10, 0, &surface}, {-1, 10, &surface}, {10, -5, &surface},
        {41, 10, &surface}, {10, 31, &surface}, {41, 31, &surface}, {1, 1, &empty},
        {std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), &surface},
    };
    TempFolder folder;
    const std::string existing = folder.path("alt.bmp");
    test::writeBytes(existing, "altes Bild");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        std::string bytes = "unchanged";
        EXPECT_FALSE(encodeBitmap(*c.source, c.width, c.height, bytes));
        std::string error;
        EXPECT_FALSE(exportBitmap(folder.path("neu.bmp"), c.width, c.height, *c.source, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(exportBitmap(existing, c.width, c.height, *c.source));
        EXPECT_EQ(test::readBytes(existing), "altes Bild");
        EXPECT_EQ(folder.entries(), std::vector<std::string>{"alt.bmp"});
    }
    // The whole surface is allowed.
    std::string bytes;
    EXPECT_TRUE(encodeBitmap(surface, 40, 30, bytes));
}

TEST(Bitmap, ExportReplacesAnExistingFile)
{
    TempFolder folder;
    const std::string path = folder.path("bild.bmp");
    test::writeBytes(path, std::string(100000, 'q'));
    const Layer surface = patternLayer(7, 3);
    std::string error;
    ASSERT_TRUE(exportBitmap(path, 7, 3, surface, &error)) << error;
    std::string expected;
    ASSERT_TRUE(encodeBitmap(surface, 7, 3, expected));
    EXPECT_EQ(test::readBytes(path), expected);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"bild.bmp"});
}

TEST(Bitmap, ExportIntoAMissingFolderFails)
{
    TempFolder folder;
    std::string error;
    EXPECT_FALSE(exportBitmap(folder.path("fehlt/bild.bmp"), 2, 2, patternLayer(2, 2), &error));
    EXPECT_EQ(error, "Der Ordner existiert nicht.");
    EXPECT_TRUE(folder.entries().empty());
}

} // namespace
} // namespace lumivex
