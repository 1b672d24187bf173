#pragma once
// Keyboard focus: the dialogs are used from the keyboard like any desktop dialog, the palette
// never takes the focus.
#include <QWidget>

namespace controls {

// Orders the window's tab chain by where its controls stand. A window is read column by column
// where clear vertical gaps split it into columns (the settings dialog's three), each column
// top to bottom; inside a frame the controls are read row by row, top to bottom and left to
// right; a frame is entered where it stands. Windows call this when they are first shown.
void orderTabsByPlace(QWidget* window);

// Keeps the window (or a single control) and everything on it out of the keyboard focus, so
// that clicking it leaves the focus with the window the user works in.
void keepOutOfFocus(QWidget* window);

} // namespace controls
