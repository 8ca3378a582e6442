#include "panel.h"

#include <QShortcut>

#include "accessible_interfaces.h"
#include "panel_parts.h"

namespace tvx {

Panel::Panel(const QString& title, QWidget* parent) : QWidget(parent, Qt::Window) {
    InstallAccessibleInterfaces();
    setWindowTitle(title);
}

void Panel::showEvent(QShowEvent* event) {
    if (!tabsOrdered_) {
        OrderTabsByLayout(this);
        tabsOrdered_ = true;
    }
    QWidget::showEvent(event);
}

void Panel::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    // A check box keeps Space for its tick, as in a dialog; a push button is pressed by either.
    auto* focused = qobject_cast<QPushButton*>(focusWidget());
    QPushButton* button = focused != nullptr ? focused : defaultButton_.data();
    if (button != nullptr && button->isEnabled() && button->isVisible())
        button->click();
    else
        event->ignore();
}

void Panel::SetDefaultButton(QPushButton* button) {
    if (defaultButton_) defaultButton_->setDefault(false);
    defaultButton_ = button;
    if (button) button->setDefault(true);
}

void Panel::CloseOnEscape() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Panel::closeRequested);
}

}  // namespace tvx
