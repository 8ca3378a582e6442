#pragma once

#include <QEvent>
#include <QObject>

namespace tvx {

// Counts the paint events a widget receives; install it with installEventFilter.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace tvx
