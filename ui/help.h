#pragma once

#include <QString>

#include "popups.h"

class QWidget;

namespace tvx {

// Title of the help box; the row-colour button alone uses kInfoTitleRowColor.
inline constexpr const char* kInfoTitle = "INFO!";
inline constexpr const char* kInfoTitleRowColor = "Info";

// The right-click help convention: the control's tool tip becomes the text, and a right click on
// the control (or the keyboard's context-menu key) shows popups.MessagePopup(title, text).
//
// Works for every kind of control: the built-in context menu of a control and of its parts (the
// text field inside a spin box or an editable combo box, a table's viewport and cell editors,
// parts created later) is replaced by the help. The help also comes on a dimmed control, since
// the box is shown whatever state the program is in. Parts that carry their own help keep it.
//
// Calling it again on the same control replaces text and title. The control owns the handler;
// popups must outlive the control.
void AttachHelp(QWidget* control, Popups& popups, QString text, QString title = kInfoTitle);

}  // namespace tvx
