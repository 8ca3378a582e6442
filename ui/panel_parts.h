#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>

namespace tvx {

// Pieces the programs' panels are built from.

// A read-only display the user cannot focus.
QLineEdit* MakeDisplay(QWidget* parent, int minimumWidth);

// A label beside `control` that names it (its buddy): assistive technology reads the label's
// text, also when the program relabels it, as the control's name.
QLabel* LabelFor(QWidget* control, const QString& text);

// A vertical bar for a colour signal, 0 ... top, filled in `colour`.
QProgressBar* MakeColourBar(const QColor& colour, int top, int minimumHeight, QWidget* parent);

// The style-sheet rules of a control coloured `background` ("color: ...; background: ...;"), its
// text in the colour that reads best on it. Every coloured display and button takes its colours
// from here.
QString ColourRules(QRgb background);

// The style sheet of a push button coloured `background`: ColourRules, and greyed colours while
// it is dimmed, so that a dimmed button never looks usable whatever its colour. A button coloured
// to show that its own sequence runs (`running`, red) keeps that colour while the sequence dims it.
QString ButtonColourSheet(QRgb background, bool running = false);

// Tab goes through the panel's controls in the order its layouts show them: a box layout's items
// in turn, a grid row by row and left to right, into the layouts of group boxes and containers.
void OrderTabsByLayout(QWidget* panel);

// The brand logo: three overlapping colour discs and the name.
QPixmap BrandLogo();

}  // namespace tvx
