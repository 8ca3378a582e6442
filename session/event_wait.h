#pragma once

#include <QEventLoop>
#include <QObject>
#include <functional>
#include <initializer_list>
#include <optional>

namespace tvx {

// What a waiting routine lets run while it waits.
enum class WaitMode {
    // Every event: user actions (the STOP button), repaints, timers, sockets, other callbacks.
    ServeUserInput,
    // Everything but user input: the window repaints and the links are served, while clicks and
    // key presses are held back until a later wait or the main loop serves them. For waits that
    // must not let the user start anything, yet must never freeze the window.
    ExcludeUserInput,
};

// The program's seconds timer: a steady clock, as seconds in a double. Only differences between
// two readings mean anything.
double SecondsTimer();

// Milliseconds that take a wait just past what remains of its limit: a wait ends when the elapsed
// time is greater than its limit, never when it only equals it.
int SleepMsFor(double remainingSeconds);

// A signal that makes a waiting routine look at its condition again at once instead of at its
// time limit. Build one from a sender and its signal: WakeSource(&port, &QSerialPort::readyRead).
// A sender living in another thread wakes the wait too (the signal arrives queued).
class WakeSource {
  public:
    template <typename Sender, typename Signal>
    WakeSource(const Sender* sender, Signal signal)
        : connect_([sender, signal](QEventLoop* loop) -> QMetaObject::Connection {
              if (sender == nullptr) return {};
              return QObject::connect(sender, signal, loop, &QEventLoop::quit);
          }) {}

    // Wakes `loop` on the signal for as long as the loop exists.
    void ConnectTo(QEventLoop* loop) const { connect_(loop); }

  private:
    std::function<QMetaObject::Connection(QEventLoop*)> connect_;
};

struct WaitResult {
    bool done = false;            // the condition held when the wait ended
    double elapsedSeconds = 0.0;  // from the start of the wait to its end
};

// Waits until done() is true or more than limitSeconds have passed since startSeconds (a reading
// of SecondsTimer; by default the moment of the call). The condition is checked first, then again
// after each wake-up; between checks the thread sleeps in a local event loop that the wake-up
// signals and a single-shot timer end, so a wait uses no CPU while nothing arrives. Events are
// processed as `mode` says; a callback started by one of them runs to its end before the wait
// goes on, even when that takes longer than the limit. An application that is quitting refuses to
// run event loops: the wait then returns at once with the condition as it is.
WaitResult WaitUntil(const std::function<bool()>& done, double limitSeconds, WaitMode mode,
                     std::initializer_list<WakeSource> wakeUps = {},
                     std::optional<double> startSeconds = std::nullopt);

// A fixed pause that processes events as `mode` says: the 50 ms between two frames of a loop,
// the 0.5 s after a parameter write.
void Pause(double seconds, WaitMode mode);

// Processes the events that are pending now, once, as `mode` says.
// For a loop that serves the user between two steps without pausing.
void ServePendingEvents(WaitMode mode);

}  // namespace tvx
