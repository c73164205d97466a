// Runs the built lumivex-render and checks its exit codes, messages and pictures.

#include "files/SettingsFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumivex {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class RenderCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path()
            / ("lumivex-cli-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    RunResult run(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = { LUMIVEX_RENDER_PATH };
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        const std::string outPath = (dir / "stdout.txt").string();
        const std::string errPath = (dir / "stderr.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = 0;
        RunResult result;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            return result;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0) {
        }
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = readFile(outPath);
        result.err = readFile(errPath);
        return result;
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    fs::path dir;
};

// A 24-bit BMP as the renderer writes it, read back into top-down rows of PackedColor.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<PackedColor> pixels;
    PackedColor at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::uint32_t le32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at]))
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16
        | static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

::testing::AssertionResult readPicture(const std::string& file, Picture& picture)
{
    const std::string b = readFile(file);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M')
        return ::testing::AssertionFailure() << file << " is no BMP (" << b.size() << " bytes)";
    picture.width = static_cast<int>(le32(b, 18));
    picture.height = static_cast<int>(le32(b, 22));
    const std::size_t rowSize = (3 * static_cast<std::size_t>(picture.width) + 3) / 4 * 4;
    if (le32(b, 10) != 54 || b.size() != 54 + rowSize * picture.height || le32(b, 2) != b.size())
        return ::testing::AssertionFailure() << file << " has a wrong size or offset";
    picture.pixels.assign(static_cast<std::size_t>(picture.width) * picture.height, 0);
    for (int y = 0; y < picture.height; ++y) {
        const std::size_t row = 54 + rowSize * static_cast<std::size_t>(picture.height - 1 - y);
        for (int x = 0; x < picture.width; ++x) {
            const auto byte = [&](int k) { return static_cast<PackedColor>(static_cast<unsigned char>(b[row + 3 * x + k])); };
            picture.pixels[static_cast<std::size_t>(y) * picture.width + x] = byte(2) | byte(1) << 8 | byte(0) << 16;
        }
    }
    return ::testing::AssertionSuccess();
}

// The background gradient's frame row r for a client height h, computed on its own:
// t = r / 2h and u = 1 - t as floats, each channel mixed and rounded half to even.
PackedColor gradientRow(PackedColor top, PackedColor bottom, int r, int h)
{
    const float t = static_cast<float>(r / (h * 2.0));
    const float u = static_cast<float>(1.0 - t);
    PackedColor result = 0;
    for (int shift : { 0, 8, 16 }) {
        const double mixed = u * static_cast<double>((top >> shift) & 0xFF) + t * static_cast<double>((bottom >> shift) & 0xFF);
        result |= static_cast<PackedColor>(std::nearbyint(mixed)) << shift; // ties to even
    }
    return result;
}

// Preview row j of a gradient frame: rows 2j - 1 (0 for j = 0) and 2j, each pixel twice.
PackedColor reducedGradientRow(PackedColor top, PackedColor bottom, int j, int h)
{
    const PackedColor a = gradientRow(top, bottom, j == 0 ? 0 : 2 * j - 1, h);
    const PackedColor b = gradientRow(top, bottom, 2 * j, h);
    PackedColor result = 0;
    for (int shift : { 0, 8, 16 }) {
        const PackedColor ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        result |= ((2 * ca + 2 * cb + 2) / 4) << shift;
    }
    return result;
}

::testing::AssertionResult isReducedGradient(const Picture& picture, PackedColor top, PackedColor bottom)
{
    for (int y = 0; y < picture.height; ++y) {
        const PackedColor expected = reducedGradientRow(top, bottom, y, picture.height);
        for (int x = 0; x < picture.width; ++x)
            if (picture.at(x, y) != expected)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is " << std::hex
                                                     << picture.at(x, y) << ", the gradient " << expected;
    }
    return ::testing::AssertionSuccess();
}

TEST_F(RenderCommandTest, BadArgumentsExitWith2AndSayWhy)
{
    const std::string out = path("x.bmp");
    const struct { std::vector<std::string> args; const char* says; } cases[] = {
        { {}, "--output" },
        { { "--text", "A" }, "--output" },
        { { "--output" }, "--output" },
        { { "--output", out, "--bogus" }, "--bogus" },
        { { "--output", out, "stray" }, "stray" },
        { { "--output", out, "--size", "0x10" }, "--size" },
        { { "--output", out, "--size", "10x0" }, "--size" },
        { { "--output", out, "--size", "8193x10" }, "--size" },
        { { "--output", out, "--size", "10x8193" }, "--size" },
        { { "--output", out, "--size", "-5x10" }, "--size" },
        { { "--output", out, "--size", "10" }, "--size" },
        { { "--output", out, "--size", "10x" }, "--size" },
        { { "--output", out, "--size", "ax10" }, "--size" },
        { { "--output", out, "--size", "10x10x10" }, "--size" },
        { { "--output", out, "--size", "99999999999x10" }, "--size" },
        { { "--output", out, "--dpi", "0" }, "--dpi" },
        { { "--output", out, "--dpi", "96.5" }, "--dpi" },
        { { "--output", out, "--dpi", "x" }, "--dpi" },
        { { "--output", out, "--text" }, "--text" },
        { { "--output", out, "--output", out }, "--output" },
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.args);
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        EXPECT_EQ(r.exitCode, 2) << joined;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << joined << "\nstderr: " << r.err;
        EXPECT_FALSE(fs::exists(out)) << joined;
    }
}

TEST_F(RenderCommandTest, HelpExitsWith0)
{
    for (const char* option : { "--help", "-h" }) {
        const RunResult r = run({ option });
        EXPECT_EQ(r.exitCode, 0);
        for (const char* mentioned : { "--settings", "--text", "--size", "--dpi", "--write-settings", "--output" })
            EXPECT_NE(r.out.find(mentioned), std::string::npos) << mentioned;
    }
}

TEST_F(RenderCommandTest, UnreadableOrUnwritableFilesExitWith1)
{
    const std::string missingDir = path("missing/x");
    fs::create_directories(dir / "folder.lvx");
    const struct { std::vector<std::string> args; const char* names; } cases[] = {
        { { "--settings", path("none.lvx"), "--output", path("a.bmp") }, "none.lvx" },
        { { "--settings", path("folder.lvx"), "--output", path("a.bmp") }, "folder.lvx" },
        { { "--size", "8x4", "--output", missingDir + ".bmp" }, "missing" },
        { { "--size", "8x4", "--write-settings", missingDir + ".lvx", "--output", path("a.bmp") }, "missing" },
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.names;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(path("a.bmp")));
    }
}

TEST_F(RenderCommandTest, EmptyTextGivesTheReducedGradient)
{
    // 37 wide: rows carry one byte of padding.
    const RunResult r = run({ "--text", "", "--size", "37x23", "--output", path("g.bmp") });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Picture picture;
    ASSERT_TRUE(readPicture(path("g.bmp"), picture));
    EXPECT_EQ(picture.width, 37);
    EXPECT_EQ(picture.height, 23);
    EXPECT_TRUE(isReducedGradient(picture, SceneParams{}.backgroundTop, SceneParams{}.backgroundBottom));
}

TEST_F(RenderCommandTest, SettingsFileGivesColoursAndSizeAndTheArgumentsWin)
{
    SceneParams stored;
    stored.width = 21;
    stored.height = 13;
    stored.backgroundTop = 0x00FF10;
    stored.backgroundBottom = 0xE00001;
    stored.text = "";
    ASSERT_TRUE(saveSettings(path("s.lvx"), stored));

    RunResult r = run({ "--settings", path("s.lvx"), "--output", path("a.bmp") });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Picture picture;
    ASSERT_TRUE(readPicture(path("a.bmp"), picture));
    EXPECT_EQ(picture.width, 21);
    EXPECT_EQ(picture.height, 13);
    EXPECT_TRUE(isReducedGradient(picture, stored.backgroundTop, stored.backgroundBottom));

    r = run({ "--settings", path("s.lvx"), "--size", "10x30", "--output", path("b.bmp") });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(readPicture(path("b.bmp"), picture));
    EXPECT_EQ(picture.width, 10);
    EXPECT_EQ(picture.height, 30);
    EXPECT_TRUE(isReducedGradient(picture, stored.backgroundTop, stored.backgroundBottom));

    // With a text the picture is no longer the bare gradient.
    r = run({ "--settings", path("s.lvx"), "--text", "HI", "--size", "60x30", "--output", path("c.bmp") });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(readPicture(path("c.bmp"), picture));
    EXPECT_FALSE(isReducedGradient(picture, stored.backgroundTop, stored.backgroundBottom));
}

TEST_F(RenderCommandTest, DpiSetsTheTextSize)
{
    // The em height grows with the resolution: a letter covers about four times the
    // pixels at 48 dpi that it covers at 24 (both fit the frame whole).
    const auto nonGradientPixels = [&](const std::string& dpi) {
        const std::string file = path("dpi" + dpi + ".bmp");
        const RunResult r = run({ "--text", "I", "--size", "200x100", "--dpi", dpi, "--output", file });
        EXPECT_EQ(r.exitCode, 0) << r.err;
        Picture picture;
        EXPECT_TRUE(readPicture(file, picture));
        int count = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                count += picture.at(x, y) != reducedGradientRow(0xF0F0F0, 0x707070, y, picture.height);
        return count;
    };
    const int at24 = nonGradientPixels("24");
    const int at48 = nonGradientPixels("48");
    EXPECT_GT(at24, 0);
    EXPECT_GT(at48, at24 * 2);
}

TEST_F(RenderCommandTest, WriteSettingsSavesTheEffectiveRecord)
{
    SceneParams stored;
    stored.width = 30;
    stored.height = 10;
    stored.textColor = 0x102030;
    stored.fontSize = 9;
    ASSERT_TRUE(saveSettings(path("in.lvx"), stored));

    const RunResult r = run({ "--settings", path("in.lvx"), "--text", "Straße", "--size", "40x12",
        "--write-settings", path("out.lvx"), "--output", path("o.bmp") });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    SceneParams written;
    ASSERT_TRUE(loadSettings(path("out.lvx"), written));
    SceneParams expected = stored;
    expected.text = "Straße";
    expected.width = 40;
    expected.height = 12;
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(fs::exists(path("o.bmp")));

    // Without a settings file the defaults are saved, at 800 x 200.
    ASSERT_EQ(run({ "--write-settings", path("d.lvx"), "--output", path("d.bmp") }).exitCode, 0);
    ASSERT_TRUE(loadSettings(path("d.lvx"), written));
    EXPECT_EQ(written, SceneParams{});
    Picture picture;
    ASSERT_TRUE(readPicture(path("d.bmp"), picture));
    EXPECT_EQ(picture.width, 800);
    EXPECT_EQ(picture.height, 200);
}

TEST_F(RenderCommandTest, MalformedSettingsFilesStillRender)
{
    std::mt19937 rng(5);
    std::vector<std::string> contents = { "", "LVX\r\n", std::string(3000, '\xFF'), std::string(40, '\0') };
    for (int k = 0; k < 4; ++k) {
        std::string bytes(static_cast<std::size_t>(20 + rng() % 400), '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng() % 256);
        contents.push_back(bytes);
    }
    // A valid file cut short in the middle of its numbers.
    SceneParams p;
    p.width = 40;
    p.height = 20;
    ASSERT_TRUE(saveSettings(path("whole.lvx"), p));
    const std::string whole = readFile(path("whole.lvx"));
    contents.push_back(whole.substr(0, whole.size() - 6));

    for (std::size_t k = 0; k < contents.size(); ++k) {
        {
            std::ofstream f(path("bad.lvx"), std::ios::binary);
            f << contents[k];
        }
        const RunResult r = run({ "--settings", path("bad.lvx"), "--size", "48x16", "--output", path("bad.bmp") });
        EXPECT_EQ(r.exitCode, 0) << "case " << k << ": " << r.err;
        Picture picture;
        EXPECT_TRUE(readPicture(path("bad.bmp"), picture)) << "case " << k;
        EXPECT_EQ(picture.width, 48);
    }
}

TEST_F(RenderCommandTest, UnusableSizeInASettingsFileFallsBackTo800x200)
{
    SceneParams stored;
    stored.text = "";
    for (auto size : { std::pair{ 0, 10 }, std::pair{ 10, -4 }, std::pair{ 100000, 10 } }) {
        stored.width = size.first;
        stored.height = size.second;
        ASSERT_TRUE(saveSettings(path("s.lvx"), stored));
        const RunResult r = run({ "--settings", path("s.lvx"), "--output", path("a.bmp") });
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(r.err.empty()) << "the fallback is announced";
        Picture picture;
        ASSERT_TRUE(readPicture(path("a.bmp"), picture));
        EXPECT_EQ(picture.width, 800);
        EXPECT_EQ(picture.height, 200);
    }
}

} // namespace
} // namespace lumivex
