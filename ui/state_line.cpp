#include "state_line.h"

#include <QGraphicsColorizeEffect>
#include <QHBoxLayout>

namespace tvx {

namespace {

const char* const kStaleProperty = "stale";
const char* const kReadoutProperty = "cursorReadout";

QLabel* AddPart(QHBoxLayout* row, const QString& name, int stretch, QWidget* parent) {
    auto* part = new QLabel(parent);
    part->setAccessibleName(name);
    part->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    if (part->text() != text) part->setText(text);
}

}  // namespace

StateLine::StateLine(QWidget* parent) : QFrame(parent) {
    setAccessibleName(QStringLiteral("state line"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);
    endpoint = AddPart(row, QStringLiteral("endpoint"), 1, this);
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
    // A long cause may not fit: the whole of it is a hover away.
    link->setToolTip(texts.link);
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
