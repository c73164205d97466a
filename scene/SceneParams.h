#pragma once
// The one record of everything the user can adjust about the image.
// Strings hold UTF-8; the settings file converts them to Windows-1252 at its boundary.
// The render path never reads this record while another thread writes it: the worker
// takes a copy when a render starts.

#include "Color.h"

#include <cstdint>
#include <string>

namespace lumivex {

enum FontStyleFlag : std::int32_t {
    FontStyleUnderline = 0x4,
    FontStyleStrikeOut = 0x8,
    FontStyleHighQuality = 0x10,
    FontStyleBold = 0x100,
    FontStyleItalic = 0x200,
};

struct SceneParams {
    std::int32_t width = 800;
    std::int32_t height = 200;
    PackedColor backgroundTop = 0xF0F0F0;
    PackedColor backgroundBottom = 0x707070;
    std::string text = "Lumivex";
    PackedColor textColor = 0x202090;
    float brightnessUp = 0.6f;
    float brightnessDown = 0.8f;
    std::string fontName = "Arial Black";
    std::int32_t fontSize = 30;
    std::int32_t fontStyle = 0;
    float reflectionFadeStep = 0.007f;
    float textElevation = 0.8f;
    std::string backgroundImagePath;

    bool operator==(const SceneParams&) const = default;
};

} // namespace lumivex
