#pragma once
// Both program windows: caption, system menu and close box; no minimise or maximise box.

#include <Qt>

namespace lumivex {

inline constexpr Qt::WindowFlags kProgramWindowFlags = Qt::Window | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;

inline constexpr const char* kWindowTitle = "Lumivex";

} // namespace lumivex
