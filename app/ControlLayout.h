#pragma once
// The menu and the tabbed controls of the control window, as data.
//
// Every control carries a fixed number, its identity in control events; geometry is in
// pixels relative to the top-left corner of the page it stands on (the tab control's own
// is relative to the window's client area below the menu bar). Captions are UTF-8 and
// kept exactly, blanks included.

#include <array>

namespace lumivex {

enum class ControlKind { TabControl, Frame, HexField, TextField, Swatch, Button, Label, Slider };

// Pages in the order of the tab row.
enum class Page { None = -1, Background = 0, Reflection = 1, Text = 2 };

struct ControlEntry {
    int number;
    Page page;
    ControlKind kind;
    int x, y, w, h;
    const char* caption; // frames, buttons, labels; nullptr for the others
    int minimum = 0;     // sliders only
    int maximum = 0;
};

struct MenuItemSpec {
    int number;
    const char* caption;
};

struct PageSpec {
    Page page;
    const char* caption;
};

inline constexpr const char* kMenuCaption = "Datei";
inline constexpr int kMenuLoadSettings = 2;
inline constexpr int kMenuSaveSettings = 3;
inline constexpr int kMenuSaveImage = 4;

inline constexpr auto kMenuItems = std::to_array<MenuItemSpec>({
    { kMenuLoadSettings, "Bilddaten laden" },
    { kMenuSaveSettings, "Bilddaten speichern" },
    { kMenuSaveImage, "Bild speichern" },
});

// Tab row, left to right.
inline constexpr auto kPages = std::to_array<PageSpec>({
    { Page::Background, "Hintergrund" },
    { Page::Reflection, "Spiegelung" },
    { Page::Text, "Text" },
});

inline constexpr int kTabControl = 1;

// Controls of the pages, in the order in which they are created: the background page,
// then the text page, then the reflection page (whose tab is inserted before "Text").
inline constexpr auto kControls = std::to_array<ControlEntry>({
    { 2, Page::Background, ControlKind::Frame, 5, 5, 210, 60, " Hintergrund (oben) " },
    { 3, Page::Background, ControlKind::HexField, 15, 30, 60, 20, nullptr },
    { 4, Page::Background, ControlKind::Swatch, 85, 25, 30, 30, nullptr },
    { 5, Page::Background, ControlKind::Button, 125, 30, 80, 20, "Farbe ändern" },
    { 12, Page::Background, ControlKind::Frame, 5, 75, 210, 60, " Hintergrund (unten) " },
    { 13, Page::Background, ControlKind::HexField, 15, 100, 60, 20, nullptr },
    { 14, Page::Background, ControlKind::Swatch, 85, 95, 30, 30, nullptr },
    { 15, Page::Background, ControlKind::Button, 125, 100, 80, 20, "Farbe ändern" },
    { 22, Page::Background, ControlKind::Frame, 225, 5, 210, 130, " Hintergrundbild " },
    { 23, Page::Background, ControlKind::TextField, 235, 30, 190, 20, nullptr },
    { 24, Page::Background, ControlKind::Button, 235, 60, 100, 20, "Durchsuchen" },
    { 32, Page::Text, ControlKind::Frame, 5, 5, 210, 130, " Text " },
    { 33, Page::Text, ControlKind::TextField, 15, 30, 190, 20, nullptr },
    { 34, Page::Text, ControlKind::Button, 15, 60, 100, 20, "Fontstyle ändern" },
    { 35, Page::Text, ControlKind::Label, 15, 89, 190, 16, "Höhe des Textes über dem Boden" },
    { 36, Page::Text, ControlKind::Slider, 15, 105, 190, 20, nullptr, 0, 400 },
    { 42, Page::Text, ControlKind::Frame, 225, 5, 210, 130, " Textfarbe " },
    { 43, Page::Text, ControlKind::HexField, 235, 30, 60, 20, nullptr },
    { 44, Page::Text, ControlKind::Swatch, 305, 25, 30, 30, nullptr },
    { 45, Page::Text, ControlKind::Button, 345, 30, 80, 20, "Farbe ändern" },
    { 46, Page::Text, ControlKind::Label, 235, 64, 190, 16, "Helligkeit nach oben bzw unten" },
    { 47, Page::Text, ControlKind::Slider, 235, 80, 190, 20, nullptr, 0, 100 },
    { 48, Page::Text, ControlKind::Slider, 235, 105, 190, 20, nullptr, 0, 100 },
    { 52, Page::Reflection, ControlKind::Frame, 5, 5, 210, 130, " Spiegelung " },
    { 55, Page::Reflection, ControlKind::Label, 15, 89, 190, 16, "Spiegelungstiefe" },
    { 56, Page::Reflection, ControlKind::Slider, 15, 105, 190, 20, nullptr, 0, 150 },
});

} // namespace lumivex
