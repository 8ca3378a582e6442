// The loop's own pieces on a real event loop: the timer to the nanosecond and signals that
// arrive as calls in the loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <csignal>

#include "nanosecond_timer.h"
#include "unix_signals.h"

namespace tvx {
namespace {

double MonotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs the loop until `quit` fires or 10 s have passed; true when it fired.
template <typename Sender, typename Signal>
bool ServeUntil(const Sender* sender, Signal signal) {
    QEventLoop loop;
    bool fired = false;
    QObject::connect(sender, signal, &loop, [&] {
        fired = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return fired;
}

TEST(NanosecondTimer, GoesOffAtTheEarliestMomentItWasSetFor) {
    NanosecondTimer timer;
    const double start = MonotonicSeconds();
    timer.StartBy(start + 0.05);
    timer.StartBy(start + 600.0);  // later: leaves it be
    ASSERT_TRUE(ServeUntil(&timer, &NanosecondTimer::timeout));
    EXPECT_GE(MonotonicSeconds(), start + 0.05);
    // Once gone off it takes any moment again, one already past at once.
    timer.StartBy(start);
    EXPECT_TRUE(ServeUntil(&timer, &NanosecondTimer::timeout));
}

TEST(UnixSignals, ArriveAsCallsInTheLoop) {
    StopSignal stop;
    StopOnTerminationSignals(&stop);
    int reloads = 0;
    QObject context;
    ReloadOnHangUp(&context, [&reloads] { ++reloads; });

    ::raise(SIGHUP);
    ::raise(SIGHUP);  // before the loop looked: one call answers both
    QTimer settle;
    settle.setSingleShot(true);
    settle.start(100);
    ASSERT_TRUE(ServeUntil(&settle, &QTimer::timeout));
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(stop.Requested());

    ::raise(SIGTERM);
    ASSERT_TRUE(ServeUntil(&stop, &StopSignal::requested));
    EXPECT_TRUE(stop.Requested());
}

}  // namespace
}  // namespace tvx
