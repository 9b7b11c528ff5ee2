// PanelTheme: whether the desktop shows a light or a dark palette. The panel follows the palette
// Qt takes from the desktop and tells the controller which one it is (icons and colours differ).
#pragma once

#include <QPalette>

enum class PanelThemeKind { kLight, kDark };

// Dark when the window background is darker than the window text. Never fails.
[[nodiscard]] PanelThemeKind ThemeOfPalette(const QPalette& palette);
