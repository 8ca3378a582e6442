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
        // Outside a dialog a push button takes only Space; as in a dialog, Return presses the
        // focused one too (a check box keeps Return for the default button).
        for (QPushButton* button : findChildren<QPushButton*>())
            if (button != defaultButton_) button->setAutoDefault(true);
        tabsOrdered_ = true;
    }
    QWidget::showEvent(event);
}

void Panel::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && defaultButton_ &&
        defaultButton_->isEnabled() && defaultButton_->isVisible()) {
        defaultButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Panel::SetDefaultButton(QPushButton* button) {
    if (defaultButton_) {
        defaultButton_->setDefault(false);
        defaultButton_->setAutoDefault(tabsOrdered_);
    }
    defaultButton_ = button;
    if (!button) return;
    // Not also an auto-default: losing the focus would take its default mark away.
    button->setAutoDefault(false);
    button->setDefault(true);
}

void Panel::CloseOnEscape() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Panel::closeRequested);
}

}  // namespace tvx
