#include "shown_values.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QLineEdit>
#include <QSpinBox>
#include <QValidator>

namespace tvx {

namespace {

// What the box takes, for the message; empty where the text alone says it.
QString AcceptedRange(const QWidget* box) {
    if (const auto* spin = qobject_cast<const QSpinBox*>(box))
        return QStringLiteral(" \n Enter a whole number from %1 to %2.")
            .arg(spin->minimum())
            .arg(spin->maximum());
    return QStringLiteral(" \n Enter a number.");
}

bool ShowsValidValue(QWidget* box) {
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(box)) {
        QString text = spin->text();
        int position = 0;
        if (spin->validate(text, position) != QValidator::Acceptable) return false;
        // Takes the text as the value (and emits valueChanged as a commit would).
        spin->interpretText();
        return true;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(box)) return edit->hasAcceptableInput();
    return true;
}

QString ShownText(const QWidget* box) {
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(box)) return spin->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(box)) return edit->text();
    return {};
}

}  // namespace

QString VisibleNameOf(QWidget* control) {
    if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control))
        return accessible->text(QAccessible::Name);
    return control->accessibleName();
}

bool TakeShownValues(const QList<QWidget*>& boxes, Popups& popups) {
    for (QWidget* box : boxes) {
        if (ShowsValidValue(box)) continue;
        popups.MessagePopup(QString::fromLatin1(kInvalidValueTitle),
                            QStringLiteral(" %1: \"%2\" is no valid value.%3 \n Nothing was done. ")
                                .arg(VisibleNameOf(box), ShownText(box), AcceptedRange(box)));
        box->setFocus();
        return false;
    }
    return true;
}

}  // namespace tvx
