#include "dimming.h"

#include <QWidget>

namespace tvx {

namespace {

// Set on a control whose focus was taken by its dimming and not yet given back.
constexpr const char* kFocusTaken = "tvxFocusTakenByDimming";

}  // namespace

void SetControlsDimmed(const QList<QWidget*>& controls, bool dimmed) {
    for (QWidget* control : controls) {
        if (dimmed) {
            QWidget* focus = control->window()->focusWidget();
            if (control->isEnabled() && focus != nullptr &&
                (focus == control || control->isAncestorOf(focus))) {
                control->setProperty(kFocusTaken, true);
                focus->clearFocus();
            }
            control->setEnabled(false);
            continue;
        }
        control->setEnabled(true);
        if (!control->property(kFocusTaken).toBool()) continue;
        control->setProperty(kFocusTaken, QVariant());
        if (control->window()->focusWidget() == nullptr && control->isVisible())
            control->setFocus(Qt::OtherFocusReason);
    }
}

}  // namespace tvx
