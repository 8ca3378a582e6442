#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace tvx::cli {

// Tells systemd how a `Type=notify` service is doing, through the socket in NOTIFY_SOCKET: ready,
// reloading, stopping, a status line, and the watchdog's pings. Without NOTIFY_SOCKET it does
// nothing, so the same program runs by hand.
class ServiceNotifier : public QObject {
    Q_OBJECT
  public:
    // With WATCHDOG_USEC (and WATCHDOG_PID, when given, naming this process) it pings every half
    // of that time from a timer of the calling thread's event loop: a loop that hangs stops the
    // pings, and systemd restarts the service.
    explicit ServiceNotifier(QObject* parent = nullptr);

    // READY=1, with a STATUS line when `status` is not empty.
    void Ready(const QString& status = {});
    void Status(const QString& status);
    // Around a reload: READY=1 follows when it is done.
    void Reloading();
    // Once, however often it is called.
    void Stopping();

  private:
    void Send(const QString& state);

    bool enabled_ = false;
    bool stopping_ = false;
    QTimer watchdog_;
};

}  // namespace tvx::cli
