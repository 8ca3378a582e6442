#include "unsent_mark.h"

#include <QEvent>
#include <QPainter>
#include <QString>
#include <QStyle>
#include <QWidget>

namespace tvx {

namespace {

constexpr const char* kUnsentProperty = "unsent";
constexpr const char* kFrameName = "unsentFrame";

// A frame laid over its control, the same size, transparent to the mouse.
class UnsentFrame : public QWidget {
  public:
    explicit UnsentFrame(QWidget* control) : QWidget(control) {
        setObjectName(QString::fromLatin1(kFrameName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        control->installEventFilter(this);
        setGeometry(control->rect());
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        DrawUnsentFrame(painter, rect());
    }
};

UnsentFrame* FrameOf(const QWidget* control) {
    return control->findChild<UnsentFrame*>(QString::fromLatin1(kFrameName),
                                            Qt::FindDirectChildrenOnly);
}

}  // namespace

void DrawUnsentFrame(QPainter& painter, const QRect& area) {
    painter.save();
    QPen pen{QColor(kUnsentMarkColour)};
    pen.setWidth(kUnsentMarkWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int inset = kUnsentMarkWidth / 2;
    painter.drawRect(area.adjusted(inset, inset, -inset, -inset));
    painter.restore();
}

QString DescriptionWithUnsent(const QString& description, bool unsent) {
    const QString words = QString::fromLatin1(kUnsentDescription);
    const QString separator = QStringLiteral("; ");
    QString rest = description;
    if (rest == words)
        rest.clear();
    else if (rest.endsWith(separator + words))
        rest.chop(separator.size() + words.size());
    if (!unsent) return rest;
    return rest.isEmpty() ? words : rest + separator + words;
}

void MarkUnsent(QWidget* control, bool unsent) {
    if (!control || MarkedUnsent(control) == unsent) return;
    control->setProperty(kUnsentProperty, unsent);
    // Without a description of its own a control is described by its tool tip (the help text),
    // which the mark must not hide.
    QString description = DescriptionWithUnsent(control->accessibleDescription(), false);
    if (description.isEmpty()) description = control->toolTip();
    if (!unsent && description == control->toolTip()) description.clear();
    control->setAccessibleDescription(DescriptionWithUnsent(description, unsent));
    UnsentFrame* frame = FrameOf(control);
    if (!frame) frame = new UnsentFrame(control);
    frame->setVisible(unsent);
    frame->raise();
    // A style sheet may select on the property; it is read again only when the style is.
    control->style()->unpolish(control);
    control->style()->polish(control);
}

bool MarkedUnsent(const QWidget* control) {
    return control && control->property(kUnsentProperty).toBool();
}

}  // namespace tvx
