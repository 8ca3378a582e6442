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

void Panel::CloseOnEscape() {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Panel::closeRequested);
}

}  // namespace tvx
