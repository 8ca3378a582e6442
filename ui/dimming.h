#pragma once

#include <QList>

class QWidget;

namespace tvx {

// Dims (dimmed = true) or undims the controls that must not be used while a wait runs. The window
// system would hand the keyboard focus of a dimmed control to the next control in the tab chain,
// where the next Space or Return presses whatever lies there (DISCARD, RESET TABLE). So the focus
// goes nowhere while the wait runs and comes back to the control when it is undimmed, unless the
// user has put it somewhere meanwhile.
void SetControlsDimmed(const QList<QWidget*>& controls, bool dimmed);

}  // namespace tvx
