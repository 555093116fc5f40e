// What the four windows share around their forms: the program icon, and a form that scrolls
// when the window is smaller than the form's natural size, so that a window always fits its
// screen (a small screen, or a large scale factor).
#pragma once

#include <QIcon>
#include <QSize>

class QLabel;
class QScrollArea;
class QWidget;

namespace vortan {

// The icon of the programs (the desktop menu's vortan-transform.svg drawn in Qt): the ellipsoid
// with its graticule over the 2 km grid, and the arrow of the transformation.
QIcon ProgramIcon();

// Makes form the scrolling content of window, which gets the icon and a layout with the scroll
// area alone. The form grows with the window; below its natural size it scrolls.
QScrollArea* PutInScrollArea(QWidget* window, QWidget* form);

// The size at which the window shows its form whole, without scroll bars.
QSize NaturalWindowSize(const QScrollArea* area);

// Resizes the window to its natural size, within the available area of its screen.
void FitToScreen(QWidget* window, const QScrollArea* area);

// A box that the initial step disables stays legible: its text dark grey, not the faint grey
// of a disabled box.
void KeepLegibleWhenDisabled(QWidget* box);

// A label that warns, in bold red: TEST DATA beside the grid header.
void ShowAsWarning(QLabel* label);

}  // namespace vortan
