#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

namespace tvx {

// The mark of a value that differs from what the sensor holds: a frame in its own colour, drawn
// over whatever colours the control or cell has, and "changed, not sent" added to its accessible
// description.
inline constexpr QRgb kUnsentMarkColour = 0xFF8000;
inline constexpr int kUnsentMarkWidth = 2;
inline constexpr const char* kUnsentDescription = "changed, not sent";

// Draws the mark's frame just inside `area`.
void DrawUnsentFrame(QPainter& painter, const QRect& area);

// The accessible description with the mark's words added or taken away, the rest kept.
QString DescriptionWithUnsent(const QString& description, bool unsent);

// Marks a control or takes its mark: a frame on top of the control, following its size and
// letting every click through; the dynamic property "unsent" for style sheets and tests.
void MarkUnsent(QWidget* control, bool unsent);
bool MarkedUnsent(const QWidget* control);

}  // namespace tvx
