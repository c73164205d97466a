#include "files/PathRules.h"

#include <gtest/gtest.h>

namespace lumivex {
namespace {

struct ExtensionCase {
    const char* path;
    const char* extension;    // the required one
    const char* part;         // what extensionPart gives
    const char* ensured;      // what ensureExtension gives
};

class PathRules : public ::testing::TestWithParam<ExtensionCase> { };

TEST_P(PathRules, ExtensionPartAndEnsureExtension)
{
    const ExtensionCase& c = GetParam();
    EXPECT_EQ(extensionPart(c.path), c.part);
    EXPECT_EQ(ensureExtension(c.path, c.extension), c.ensured);
}

INSTANTIATE_TEST_SUITE_P(Table, PathRules,
    ::testing::Values(
        ExtensionCase{"C:\\Bilder\\Szene", "lvx", "", "C:\\Bilder\\Szene.lvx"},
        ExtensionCase{"C:\\Bilder\\Szene", "bmp", "", "C:\\Bilder\\Szene.bmp"},
        ExtensionCase{"C:\\Bilder\\Szene.lvx", "lvx", "lvx", "C:\\Bilder\\Szene.lvx"},
        ExtensionCase{"/home/anna/bild.bmp", "bmp", "bmp", "/home/anna/bild.bmp"},
        ExtensionCase{"Szene.LVX", "lvx", "LVX", "Szene.LVX.lvx"},
        ExtensionCase{"Szene.Lvx", "lvx", "Lvx", "Szene.Lvx.lvx"},
        ExtensionCase{"Szene.bmp", "lvx", "bmp", "Szene.bmp.lvx"},
        ExtensionCase{"Szene.lvx", "bmp", "lvx", "Szene.lvx.bmp"},
        ExtensionCase{"Szene.", "lvx", "", "Szene..lvx"},
        ExtensionCase{"Szene.lvxx", "lvx", "lvxx", "Szene.lvxx.lvx"},
        ExtensionCase{"Szene.lvx ", "lvx", "lvx ", "Szene.lvx .lvx"},
        ExtensionCase{"a.b.lvx", "lvx", "lvx", "a.b.lvx"},
        ExtensionCase{"C:\\Daten.alt\\Szene", "lvx", "", "C:\\Daten.alt\\Szene.lvx"},
        ExtensionCase{"/home/anna/daten.alt/szene", "bmp", "", "/home/anna/daten.alt/szene.bmp"},
        ExtensionCase{"C:\\Daten.alt/Szene", "lvx", "", "C:\\Daten.alt/Szene.lvx"},
        ExtensionCase{"/daten.alt\\Szene", "lvx", "", "/daten.alt\\Szene.lvx"},
        ExtensionCase{"/home/anna/.lvx", "lvx", "lvx", "/home/anna/.lvx"},
        ExtensionCase{"Ordner/", "lvx", "", "Ordner/.lvx"},
        ExtensionCase{"Szene", "", "", "Szene"},
        ExtensionCase{"", "lvx", "", ".lvx"}));

} // namespace
} // namespace lumivex
