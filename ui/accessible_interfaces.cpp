#include "accessible_interfaces.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

#include "panel.h"
#include "state_line.h"

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

// A part of the state line reads out as its name ("endpoint") with its whole text as value and
// as text, also where the line shows it cut.
class StatePartAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit StatePartAccessible(StatePart* part)
        : QAccessibleWidget(part, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Whole();
        return QAccessibleWidget::text(t);
    }

    // The text interface, read only.
    QString text(int startOffset, int endOffset) const override {
        return Whole().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Whole().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    int selectionCount() const override { return 0; }
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = offset;
        return {};
    }

  private:
    QString Whole() const { return static_cast<StatePart*>(widget())->text(); }
};

QAccessibleInterface* PanelAccessible(const QString&, QObject* object) {
    // Without this a panel reports itself as a plain client area ("filler" to AT-SPI), so a
    // screen reader cannot tell the program's windows from the groups inside them.
    if (auto* panel = qobject_cast<Panel*>(object))
        return new QAccessibleWidget(panel, QAccessible::Window);
    // A screen reader's "read the status bar" looks for this role.
    if (auto* line = qobject_cast<StateLine*>(object))
        return new QAccessibleWidget(line, QAccessible::StatusBar);
    if (auto* part = qobject_cast<StatePart*>(object)) return new StatePartAccessible(part);
    // Only the panels' rings: a combo box of Qt's own dialogs (the file dialog's "Look in")
    // keeps the interface Qt gives it.
    if (auto* ring = qobject_cast<QComboBox*>(object);
        ring != nullptr && qobject_cast<Panel*>(ring->window()) != nullptr)
        return new RingAccessible(ring);
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
