#include "wait.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace tvx {

namespace {

// A single sleep never exceeds an hour, so a huge limit cannot overflow the timer's int.
constexpr double kLongestSleepSeconds = 3600.0;

QEventLoop::ProcessEventsFlags FlagsFor(WaitMode mode) {
    return mode == WaitMode::ExcludeUserInput ? QEventLoop::ExcludeUserInputEvents
                                              : QEventLoop::AllEvents;
}

// Milliseconds that take a wait just past its limit: it ends when the elapsed time is greater
// than the limit, never when it only equals it.
int SleepMsFor(double remainingSeconds) {
    const double seconds = std::clamp(remainingSeconds, 0.0, kLongestSleepSeconds);
    return static_cast<int>(std::floor(seconds * 1000.0)) + 1;
}

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

double SecondsTimer() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

WaitResult WaitUntil(const std::function<bool()>& done, double limitSeconds, WaitMode mode,
                     std::initializer_list<WakeSource> wakeUps,
                     std::optional<double> startSeconds) {
    const double start = startSeconds.value_or(SecondsTimer());
    for (;;) {
        if (done && done()) return {true, SecondsTimer() - start};
        const double elapsed = SecondsTimer() - start;
        if (elapsed > limitSeconds) return {false, elapsed};
        const int sleepMs = SleepMsFor(limitSeconds - elapsed);

        // A fresh loop per sleep: a wake-up that arrives while a callback of this wait runs a
        // nested wait of its own ends this sleep once that callback has returned.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        for (const WakeSource& wakeUp : wakeUps) wakeUp.ConnectTo(&loop);
        timer.start(sleepMs);
        // exec() returns -1 without running when the application is quitting; waiting on would
        // only burn the rest of the limit.
        if (loop.exec(FlagsFor(mode)) == -1 || QCoreApplication::closingDown()) {
            return {done && done(), SecondsTimer() - start};
        }
    }
}

void Pause(double seconds, WaitMode mode) {
    WaitUntil({}, seconds, mode);
}

void ServePendingEvents(WaitMode mode) {
    QCoreApplication::processEvents(FlagsFor(mode));
}

bool ShowExposed(QWidget& window, double limitSeconds) {
    window.show();
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
