#include "event_wait.h"

#include <QCoreApplication>
#include <QTimer>
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

}  // namespace

int SleepMsFor(double remainingSeconds) {
    const double seconds = std::clamp(remainingSeconds, 0.0, kLongestSleepSeconds);
    return static_cast<int>(std::floor(seconds * 1000.0)) + 1;
}

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

}  // namespace tvx
