#include "wait.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "window_placement.h"

namespace tvx {

namespace {

// Tells when the window system has exposed (or hidden) a window.
class ExposeWatch : public QObject {
    Q_OBJECT
  public:
    explicit ExposeWatch(QWindow* window) : window_(window) { window_->installEventFilter(this); }
    ~ExposeWatch() override { window_->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Expose) emit exposed();
        return false;
    }

  signals:
    void exposed();

  private:
    QWindow* window_;
};

}  // namespace

bool ShowExposed(QWidget& window, double limitSeconds) {
    ShowPanel(window, nullptr);
    QWindow* handle = window.windowHandle();
    if (handle == nullptr) return false;
    ExposeWatch watch(handle);
    return WaitUntil([handle] { return handle->isExposed(); }, limitSeconds,
                     WaitMode::ExcludeUserInput, {WakeSource(&watch, &ExposeWatch::exposed)})
        .done;
}

WaitCursor::WaitCursor() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        shown_ = true;
    }
}

WaitCursor::~WaitCursor() {
    if (shown_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace tvx

#include "wait.moc"
