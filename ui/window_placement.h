#pragma once

#include <QRect>

class QWidget;

namespace tvx {

// Where a window's frame goes on a screen. `available` is the screen's available geometry (without
// the desktop's panels), `wanted` the frame as the window would have it (its own or remembered
// place and size), `over` the frame of the window it opens over, or an empty rectangle when it
// keeps its own place. The frame keeps wanted's size as far as the screen allows, is centred on
// `over` when one is given, and is then moved the shortest way wholly onto the screen.
QRect PlaceWindow(const QRect& available, const QRect& wanted, const QRect& over);

// Shows a top-level panel wholly on screen. The first time (and whenever it has no place of its
// own yet) it opens over `over`, or in the middle of the screen when `over` is null; later it
// keeps the place the user left it in, brought back onto the screen if that is gone.
void ShowPanel(QWidget& panel, const QWidget* over);

}  // namespace tvx
