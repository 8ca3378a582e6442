#include "wait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include "queued_input.h"

namespace tvx {
namespace {

TEST(WaitUntil, EndsOnItsConditionOrAfterMoreThanItsLimit) {
    struct Case {
        const char* what;
        double limit;
        double startedAgo;  // the wait's start lies that far before the call
        int setAfterMs;     // the condition becomes true then (-1: never)
        bool wake;          // and a signal says so
        bool done;
    };
    for (const Case& c :
         {Case{"woken by a signal", 20.0, 0.0, 50, true, true},
          Case{"runs out", 0.2, 0.0, -1, false, false},
          Case{"counted from an earlier start", 9.0, 10.0, -1, false, false},
          Case{"met without a wake-up, seen at the limit", 0.3, 0.0, 20, false, true}}) {
        SCOPED_TRACE(c.what);
        bool arrived = false;
        QTimer sender;
        sender.setSingleShot(true);
        QObject::connect(&sender, &QTimer::timeout, [&] { arrived = true; });
        if (c.setAfterMs >= 0) sender.start(c.setAfterMs);
        const WaitResult result =
            c.wake ? WaitUntil([&] { return arrived; }, c.limit, WaitMode::ServeUserInput,
                               {WakeSource(&sender, &QTimer::timeout)})
                   : WaitUntil([&] { return arrived; }, c.limit, WaitMode::ServeUserInput, {},
                               SecondsTimer() - c.startedAgo);
        EXPECT_EQ(result.done, c.done);
        // A wait that is woken ends before its limit; one that is not, only after it.
        EXPECT_EQ(result.elapsedSeconds < c.limit, c.wake);
    }
}

TEST(WaitUntil, AConditionAlreadyTrueEndsItBeforeAnyEventIsProcessed) {
    bool served = false;
    QObject scope;
    QMetaObject::invokeMethod(
        &scope, [&] { served = true; }, Qt::QueuedConnection);
    EXPECT_TRUE(WaitUntil([] { return true; }, 5.0, WaitMode::ServeUserInput).done);
    EXPECT_FALSE(served);
    QCoreApplication::processEvents();
    EXPECT_TRUE(served);
}

TEST(WaitUntil, EndsAtOnceWhenTheApplicationQuits) {
    WaitResult result{true, 0.0};
    bool returned = false;
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        QTimer::singleShot(50, [] { QCoreApplication::exit(0); });
        result = WaitUntil([] { return false; }, 600.0, WaitMode::ServeUserInput);
        // A second wait after the quit must not run on either.
        Pause(600.0, WaitMode::ServeUserInput);
        returned = true;
    });
    QCoreApplication::exec();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(result.done);
}

// A shown, focused window that counts the key presses and paints that reach it.
class CountingWidget : public QWidget {
  public:
    int keyPresses = 0;
    int paints = 0;

  protected:
    void keyPressEvent(QKeyEvent*) override { ++keyPresses; }
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(WaitModes, UserInputWaitsForAWaitThatServesItAndNothingElseDoes) {
    CountingWidget widget;
    widget.setFocusPolicy(Qt::StrongFocus);
    widget.show();
    widget.activateWindow();
    widget.setFocus();
    QCoreApplication::processEvents();
    widget.paints = 0;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    widget.update();
    test::QueueUserKeyPress(widget.windowHandle(), Qt::Key_A);

    Pause(0.2, WaitMode::ExcludeUserInput);
    EXPECT_EQ(widget.keyPresses, 0);
    EXPECT_GT(widget.paints, 0);
    EXPECT_GE(ticks, 2);
    Pause(0.1, WaitMode::ServeUserInput);
    EXPECT_EQ(widget.keyPresses, 1);
    test::QueueUserKeyPress(widget.windowHandle(), Qt::Key_B);
    ServePendingEvents(WaitMode::ServeUserInput);
    EXPECT_EQ(widget.keyPresses, 2);
}

TEST(WaitModes, ACallbackStartedFromAWaitRunsToItsEndFirst) {
    // The outer wait's limit passes while a callback it served runs a longer wait of its own;
    // the outer wait ends only after that callback returned.
    bool innerFinished = false;
    QObject scope;
    QTimer::singleShot(10, &scope, [&] {
        Pause(0.4, WaitMode::ServeUserInput);
        innerFinished = true;
    });
    EXPECT_FALSE(WaitUntil([] { return false; }, 0.1, WaitMode::ServeUserInput).done);
    EXPECT_TRUE(innerFinished);
}

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
