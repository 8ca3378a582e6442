#include "help.h"

#include <QChildEvent>
#include <QEvent>
#include <QWidget>

namespace tvx {

namespace {

// Marks a widget that has help of its own, so that an enclosing control leaves it alone.
constexpr const char* kHelpProperty = "tvxHelp";

// Shows the help of one control. It lives as the control's child and watches the control and its
// parts: parts hand their context-menu events up to the control, which asks for its custom menu.
class HelpHandler : public QObject {
  public:
    HelpHandler(QWidget* control, Popups& popups)
        : QObject(control), control_(control), popups_(&popups) {
        control->setProperty(kHelpProperty, true);
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(control, &QWidget::customContextMenuRequested, this, [this] { Show(); });
        control->installEventFilter(this);
        for (QWidget* part : control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            Adopt(part);
    }

    void Set(Popups& popups, const QString& text, const QString& title) {
        popups_ = &popups;
        text_ = text;
        title_ = title;
        control_->setToolTip(text);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::ContextMenu:
                // A dimmed control drops the event in QWidget::event; the help comes anyway.
                if (watched == control_ && !control_->isEnabled()) {
                    event->accept();
                    Show();
                    return true;
                }
                break;
            case QEvent::ChildPolished: {
                // Parts made later (the line edit of a combo box made editable, a cell editor) are
                // taken once they are complete, which they are when polished before showing.
                QObject* child = static_cast<QChildEvent*>(event)->child();
                if (child && child->isWidgetType()) Adopt(static_cast<QWidget*>(child));
                break;
            }
            default:
                break;
        }
        return false;
    }

  private:
    // A part without a menu of its own ignores the event, which then travels up to the control.
    void Adopt(QWidget* part) {
        if (part->isWindow() || part->property(kHelpProperty).toBool()) return;
        if (part->contextMenuPolicy() == Qt::DefaultContextMenu)
            part->setContextMenuPolicy(Qt::NoContextMenu);
        part->installEventFilter(this);
        for (QWidget* sub : part->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) Adopt(sub);
    }

    void Show() {
        // Copies: the box runs a nested event loop in which the help may be changed.
        const QString title = title_;
        const QString text = text_;
        popups_->MessagePopup(title, text);
    }

    QWidget* control_;
    Popups* popups_;
    QString text_;
    QString title_;
};

}  // namespace

void AttachHelp(QWidget* control, Popups& popups, QString text, QString title) {
    if (!control) return;
    HelpHandler* handler = nullptr;
    for (QObject* child : control->children()) {
        if ((handler = dynamic_cast<HelpHandler*>(child))) break;
    }
    if (!handler) handler = new HelpHandler(control, popups);
    handler->Set(popups, text, title);
}

}  // namespace tvx
