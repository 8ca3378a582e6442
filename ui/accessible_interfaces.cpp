#include "accessible_interfaces.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

#include "panel.h"

namespace tvx {

namespace {

// Qt names a combo box on Linux by its current text and leaves the label to a relation, so a
// screen reader announcing "STAT" cannot say which setting that is. Here the name comes as for
// any control (accessible name, else the label whose buddy it is) and the text is the value.
class RingAccessible : public QAccessibleWidget {
  public:
    explicit RingAccessible(QComboBox* ring) : QAccessibleWidget(ring, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Ring()->currentText();
        return QAccessibleWidget::text(t);
    }
    // The item list and, where the text can be typed, its field, as Qt's own interface has them.
    int childCount() const override { return static_cast<int>(Parts().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> parts = Parts();
        return index >= 0 && index < parts.size()
                   ? QAccessible::queryAccessibleInterface(parts[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child ? static_cast<int>(Parts().indexOf(qobject_cast<QWidget*>(child->object())))
                     : -1;
    }
    QStringList actionNames() const override {
        return {showMenuAction(), pressAction(), setFocusAction()};
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction())
            Ring()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

  private:
    QComboBox* Ring() const { return static_cast<QComboBox*>(widget()); }
    QList<QWidget*> Parts() const {
        QList<QWidget*> parts{Ring()->view()};
        if (Ring()->lineEdit()) parts << Ring()->lineEdit();
        return parts;
    }
};

QAccessibleInterface* PanelAccessible(const QString&, QObject* object) {
    // Without this a panel reports itself as a plain client area ("filler" to AT-SPI), so a
    // screen reader cannot tell the program's windows from the groups inside them.
    if (auto* panel = qobject_cast<Panel*>(object))
        return new QAccessibleWidget(panel, QAccessible::Window);
    if (auto* ring = qobject_cast<QComboBox*>(object)) return new RingAccessible(ring);
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(PanelAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace tvx
