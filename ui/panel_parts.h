#pragma once

#include <QColor>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>

namespace tvx {

// Pieces the programs' panels are built from.

// A read-only display the user cannot focus.
QLineEdit* MakeDisplay(QWidget* parent, int minimumWidth);

// A vertical bar for a colour signal, 0 ... top, filled in `colour`.
QProgressBar* MakeColourBar(const QColor& colour, int top, int minimumHeight, QWidget* parent);

// The style-sheet rules of a control coloured `background` ("color: ...; background: ...;"), its
// text in the colour that reads best on it. Every coloured display and button takes its colours
// from here.
QString ColourRules(QRgb background);

// The brand logo: three overlapping colour discs and the name.
QPixmap BrandLogo();

}  // namespace tvx
