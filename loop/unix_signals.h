#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>

namespace tvx {

// The request to end: set from SIGINT/SIGTERM or a timer. Its signal wakes a pause at once.
class StopSignal : public QObject {
    Q_OBJECT
  public:
    void Request();
    bool Requested() const { return requested_; }

  signals:
    void requested();

  private:
    bool requested_ = false;
};

// Calls `call` in the calling thread when one of `numbers` arrives: the handler only writes a
// byte to a pipe that this thread's event loop watches. The watch ends with `context`.
void CallOnSignals(std::initializer_list<int> numbers, QObject* context,
                   std::function<void()> call);

// SIGINT and SIGTERM request `stop`. Call once, from the main thread.
void StopOnTerminationSignals(StopSignal* stop);

// SIGHUP calls `reload` in the calling thread (the main thread). The watch ends with `context`;
// call once.
void ReloadOnHangUp(QObject* context, std::function<void()> reload);

}  // namespace tvx
