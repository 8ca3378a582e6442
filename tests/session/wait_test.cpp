// The waits of a step-by-step routine: how they end and what they let run meanwhile.
#include "event_wait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

// A key press is queued the way a platform plugin queues it, through QtGui's window-system
// interface (exported, its header not shipped), where a wait that excludes user input leaves it.
class QWindowSystemInterface {
  public:
    struct AsynchronousDelivery {};
    template <typename Delivery>
    static bool handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                               Qt::KeyboardModifiers modifiers, const QString& text,
                               bool autorepeat, ushort count);
};

inline void QueueUserKeyPress(QWindow* window, Qt::Key key) {
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, QEvent::KeyPress, key, Qt::NoModifier, QString(), false, 1);
}

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
    QueueUserKeyPress(widget.windowHandle(), Qt::Key_A);

    Pause(0.2, WaitMode::ExcludeUserInput);
    EXPECT_EQ(widget.keyPresses, 0);
    EXPECT_GT(widget.paints, 0);
    EXPECT_GE(ticks, 2);
    Pause(0.1, WaitMode::ServeUserInput);
    EXPECT_EQ(widget.keyPresses, 1);
    QueueUserKeyPress(widget.windowHandle(), Qt::Key_B);
    ServePendingEvents(WaitMode::ServeUserInput);
    EXPECT_EQ(widget.keyPresses, 2);
}

}  // namespace
}  // namespace tvx
