#include "PanelTheme.h"

#include <QColor>

PanelThemeKind ThemeOfPalette(const QPalette& palette)
{
  const QColor window = palette.color(QPalette::Window);
  const QColor text = palette.color(QPalette::WindowText);
  return window.lightness() < text.lightness() ? PanelThemeKind::kDark : PanelThemeKind::kLight;
}
