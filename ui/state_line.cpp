#include "state_line.h"

#include <QGraphicsColorizeEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace tvx {

namespace {

const char* const kStaleProperty = "stale";
const char* const kReadoutProperty = "cursorReadout";

StatePart* AddPart(QHBoxLayout* row, const QString& name, int stretch, QWidget* parent) {
    auto* part = new StatePart(parent);
    part->setAccessibleName(name);
    part->setFrameShape(QFrame::StyledPanel);
    part->setFrameShadow(QFrame::Sunken);
    // The parts share the width by their stretch whatever their texts, so that a text changing
    // with every frame (the frame rate) never lays the window out again.
    part->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    part->setMinimumWidth(40);
    row->addWidget(part, stretch);
    return part;
}

void SetIfChanged(QLabel* part, const QString& text) {
    if (part->text() == text) return;
    part->setText(text);
    part->setToolTip(text);
}

}  // namespace

StatePart::StatePart(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

QString StatePart::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width() - 2 * margin());
}

void StatePart::FitText(int characters) {
    fitCharacters_ = characters;
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    updateGeometry();
}

QSize StatePart::sizeHint() const {
    const QSize hint = QLabel::sizeHint();
    if (fitCharacters_ <= 0) return hint;
    const QFontMetrics metrics = fontMetrics();
    const int whole = metrics.horizontalAdvance(text());
    const int shown = std::min(whole, fitCharacters_ * metrics.averageCharWidth());
    // Room for the frame and margins as the label counts them, and a pixel either side so that
    // rounding at a fractional scale never cuts the last character.
    const int around = hint.width() - whole;
    return {shown + std::max(around, 0) + 2, hint.height()};
}

QSize StatePart::minimumSizeHint() const {
    return fitCharacters_ > 0 ? sizeHint() : QLabel::minimumSizeHint();
}

void StatePart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().marginsRemoved(QMargins(margin(), 0, margin(), 0));
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), ShownText(), foregroundRole());
}

StateLine::StateLine(QWidget* parent) : QFrame(parent) {
    setAccessibleName(QStringLiteral("state line"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);
    // The whole endpoint where there is room: "127.0.0.1:5001" reads as another port.
    endpoint = AddPart(row, QStringLiteral("endpoint"), 0, this);
    endpoint->FitText(28);
    link = AddPart(row, QStringLiteral("link"), 4, this);
    activity = AddPart(row, QStringLiteral("activity"), 2, this);
    lastTransfer = AddPart(row, QStringLiteral("last transfer"), 2, this);
    unsent = AddPart(row, QStringLiteral("unsent changes"), 1, this);
    unsent->hide();
}

void StateLine::SetTexts(const StateLineTexts& texts) {
    SetIfChanged(endpoint, texts.endpoint);
    SetIfChanged(link, texts.link);
    SetIfChanged(activity, texts.activity);
    SetIfChanged(lastTransfer, texts.lastTransfer);
    SetIfChanged(unsent, texts.unsent);
    unsent->setVisible(!texts.unsent.isEmpty());
}

void ShowStale(QWidget* display, bool stale) {
    if (ShownStale(display) == stale) return;
    display->setProperty(kStaleProperty, stale);
    if (stale) {
        auto* grey = new QGraphicsColorizeEffect(display);
        grey->setColor(QColor(0x90, 0x90, 0x90));
        grey->setStrength(0.85);
        display->setGraphicsEffect(grey);
        display->setAccessibleDescription(
            QStringLiteral("stale: shown before the last failure of the link"));
    } else {
        display->setGraphicsEffect(nullptr);
        display->setAccessibleDescription({});
    }
}

bool ShownStale(const QWidget* display) {
    return display->property(kStaleProperty).toBool();
}

void ShowCursorReadout(QWidget* display, bool readout) {
    if (ShownAsCursorReadout(display) == readout) return;
    display->setProperty(kReadoutProperty, readout);
    QFont font = display->font();
    font.setItalic(readout);
    display->setFont(font);
    display->setAccessibleDescription(readout ? QStringLiteral("cursor position, not a measurement")
                                              : QString());
}

bool ShownAsCursorReadout(const QWidget* display) {
    return display->property(kReadoutProperty).toBool();
}

}  // namespace tvx
