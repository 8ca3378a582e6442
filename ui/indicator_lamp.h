#pragma once

#include <QColor>
#include <QLabel>

#include "panel_parts.h"

namespace tvx {

// A round lamp that is on (lit in its colour) or off (dark).
class IndicatorLamp : public QLabel {
  public:
    explicit IndicatorLamp(const QString& caption, QColor colour = QColor(0xFF, 0x30, 0x30),
                           QWidget* parent = nullptr)
        : QLabel(caption, parent), colour_(colour) {
        setAlignment(Qt::AlignCenter);
        setFixedSize(24, 24);
        Paint(false);
    }

    // Frame after frame mostly repeats the state: only a change restyles the lamp.
    void SetOn(bool on) {
        if (on != on_) Paint(on);
    }
    bool IsOn() const { return on_; }

  private:
    void Paint(bool on) {
        on_ = on;
        const QColor fill = on ? colour_ : QColor(0x40, 0x10, 0x10);
        setStyleSheet(QStringLiteral("QLabel { border-radius: 12px; border: 1px solid #202020; "
                                     "font-size: 9px; %1 }")
                          .arg(ColourRules(fill.rgb())));
    }

    QColor colour_;
    bool on_ = false;
};

}  // namespace tvx
