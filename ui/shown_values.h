#pragma once

#include <QList>

#include "popups.h"

class QWidget;

namespace tvx {

// Title of the box that names a box whose text is no value.
inline constexpr const char* kInvalidValueTitle = "INVALID VALUE";

// Makes each box hold the value its text shows before an action reads it. A box's text can
// change without a commit (Return or leaving the box): typed and then an action started by
// keyboard shortcut, or set by assistive technology or a script. A spin box then takes its
// text as its value; a line edit with a validator is read from its text by its owner and only
// checked here. When a text is no valid value, a box names the box, its text and what it takes,
// and the result is false: the action must not run on the value the box held before.
bool TakeShownValues(const QList<QWidget*>& boxes, Popups& popups);

// The name a user knows a control by: its accessible name, else its label's text.
QString VisibleNameOf(QWidget* control);

}  // namespace tvx
