#include "wait.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QTimer>
#include <QWidget>

#include "queued_input.h"

namespace tvx {
namespace {

// A window that counts what reaches it.
class CountingWidget : public QWidget {
  public:
    int keyPresses = 0;
    int paints = 0;

  protected:
    void keyPressEvent(QKeyEvent*) override { ++keyPresses; }
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// A shown, focused window that receives the keys queued for it.
class FocusedWindow {
  public:
    FocusedWindow() {
        widget.resize(120, 80);
        widget.setFocusPolicy(Qt::StrongFocus);
        widget.show();
        widget.activateWindow();
        widget.setFocus();
        QCoreApplication::processEvents();
        widget.keyPresses = 0;
        widget.paints = 0;
    }
    QWindow* Window() { return widget.windowHandle(); }
    CountingWidget widget;
};

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// --- ending a wait -------------------------------------------------------------------------

TEST(WaitUntil, EndsWhenAWakeUpSignalMakesTheConditionTrue) {
    bool arrived = false;
    QTimer sender;
    sender.setSingleShot(true);
    QObject::connect(&sender, &QTimer::timeout, [&] { arrived = true; });
    sender.start(50);

    const WaitResult result = WaitUntil([&] { return arrived; }, 20.0, WaitMode::ServeUserInput,
                                        {WakeSource(&sender, &QTimer::timeout)});
    EXPECT_TRUE(result.done);
    // Woken by the signal, not by the limit.
    EXPECT_LT(result.elapsedSeconds, 20.0);
}

TEST(WaitUntil, RunsOutOnlyAfterMoreThanTheLimit) {
    const double start = SecondsTimer();
    const WaitResult result = WaitUntil([] { return false; }, 0.2, WaitMode::ServeUserInput);
    EXPECT_FALSE(result.done);
    EXPECT_GT(result.elapsedSeconds, 0.2);
    EXPECT_GT(SecondsTimer() - start, 0.2);
}

TEST(WaitUntil, CountsFromTheGivenStart) {
    // A wait whose start lies before the call has less left to wait.
    const double start = SecondsTimer() - 10.0;
    const WaitResult result =
        WaitUntil([] { return false; }, 9.0, WaitMode::ServeUserInput, {}, start);
    EXPECT_FALSE(result.done);
    EXPECT_GT(result.elapsedSeconds, 9.0);
    EXPECT_LT(SecondsTimer() - start, 19.0);
}

TEST(WaitUntil, AConditionAlreadyTrueEndsItBeforeAnyEventIsProcessed) {
    bool served = false;
    QObject scope;
    QMetaObject::invokeMethod(
        &scope, [&] { served = true; }, Qt::QueuedConnection);
    const WaitResult result = WaitUntil([] { return true; }, 5.0, WaitMode::ServeUserInput);
    EXPECT_TRUE(result.done);
    EXPECT_FALSE(served);
    QCoreApplication::processEvents();
    EXPECT_TRUE(served);
}

TEST(WaitUntil, AConditionMetWithoutWakeUpCountsAtTheLimit) {
    // Nothing wakes the wait; the check after its last sleep still sees the condition, as an
    // exchange sees the last bytes that came in during its final event processing.
    bool arrived = false;
    QObject scope;
    QTimer::singleShot(20, &scope, [&] { arrived = true; });
    const WaitResult result = WaitUntil([&] { return arrived; }, 0.3, WaitMode::ServeUserInput);
    EXPECT_TRUE(result.done);
    EXPECT_GT(result.elapsedSeconds, 0.3);
}

TEST(WaitUntil, EndsAtOnceWhenTheApplicationQuits) {
    WaitResult result;
    double spent = 0.0;
    // The wait runs inside the application's own loop, which the quit ends as well.
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
        const double start = SecondsTimer();
        result = WaitUntil([] { return false; }, 10.0, WaitMode::ServeUserInput);
        // A second wait after the quit must not run on either.
        Pause(10.0, WaitMode::ServeUserInput);
        spent = SecondsTimer() - start;
    });
    QCoreApplication::exec();
    EXPECT_FALSE(result.done);
    EXPECT_LT(spent, 10.0);
}

// --- what runs during a wait -----------------------------------------------------------------

TEST(WaitModes, ServeUserInputDeliversAKeyPressDuringTheWait) {
    FocusedWindow window;
    test::QueueUserKeyPress(window.Window(), Qt::Key_A);
    Pause(0.1, WaitMode::ServeUserInput);
    EXPECT_EQ(window.widget.keyPresses, 1);
}

TEST(WaitModes, ExcludeUserInputHoldsTheKeyPressBackButRepaints) {
    FocusedWindow window;
    bool timerRan = false;
    QObject scope;
    QTimer::singleShot(10, &scope, [&] { timerRan = true; });
    window.widget.update();
    test::QueueUserKeyPress(window.Window(), Qt::Key_A);

    Pause(0.2, WaitMode::ExcludeUserInput);
    EXPECT_EQ(window.widget.keyPresses, 0);
    EXPECT_GT(window.widget.paints, 0);
    EXPECT_TRUE(timerRan);

    // The held key press is not lost: the next wait that serves the user delivers it.
    ServePendingEvents(WaitMode::ServeUserInput);
    EXPECT_EQ(window.widget.keyPresses, 1);
}

TEST(WaitModes, PauseServesEventsForItsWholeLength) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    const double start = SecondsTimer();
    Pause(0.15, WaitMode::ServeUserInput);
    ticker.stop();
    EXPECT_GT(SecondsTimer() - start, 0.15);
    EXPECT_GE(ticks, 2);
}

TEST(WaitModes, ACallbackStartedFromAWaitRunsToItsEndFirst) {
    // The outer wait's limit passes while a callback it served runs a longer wait of its own;
    // the inner wait is not cut short, and the outer one ends only after the callback returned.
    bool innerFinished = false;
    double innerSpent = 0.0;
    QObject scope;
    QTimer::singleShot(10, &scope, [&] {
        const double start = SecondsTimer();
        Pause(0.4, WaitMode::ServeUserInput);
        innerSpent = SecondsTimer() - start;
        innerFinished = true;
    });
    bool finishedWhenOuterEnded = false;
    const WaitResult outer = WaitUntil([] { return false; }, 0.1, WaitMode::ServeUserInput);
    finishedWhenOuterEnded = innerFinished;
    EXPECT_FALSE(outer.done);
    EXPECT_TRUE(finishedWhenOuterEnded);
    EXPECT_GT(innerSpent, 0.4);
    EXPECT_GT(outer.elapsedSeconds, 0.4);
}

TEST(WaitModes, AWaitingThreadUsesNoCpu) {
    // A spinning wait would use close to the whole second; a sleeping one next to nothing.
    for (WaitMode mode : {WaitMode::ServeUserInput, WaitMode::ExcludeUserInput}) {
        const double before = ThreadCpuSeconds();
        WaitUntil([] { return false; }, 1.0, mode);
        EXPECT_LT(ThreadCpuSeconds() - before, 0.1) << "mode " << static_cast<int>(mode);
    }
}

// --- the wait cursor -------------------------------------------------------------------------

TEST(WaitCursor, ShowsTheWaitCursorWhileItLives) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        WaitCursor cursor;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tvx
