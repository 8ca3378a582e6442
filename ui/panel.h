#pragma once

#include <QCloseEvent>
#include <QWidget>

namespace tvx {

// A top-level panel. Closing it by the window frame does not hide it by itself: the panel's own
// callback, connected to closeRequested, decides (hide it, go back to another panel, or quit).
class Panel : public QWidget {
    Q_OBJECT
  public:
    explicit Panel(const QString& title, QWidget* parent = nullptr) : QWidget(parent, Qt::Window) {
        setWindowTitle(title);
    }

  signals:
    void closeRequested();

  protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        emit closeRequested();
    }
};

}  // namespace tvx
