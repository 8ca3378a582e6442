#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace tvx {

// A single-shot timer set to a moment of the monotonic clock (CLOCK_MONOTONIC, the clock of
// std::chrono::steady_clock), to the nanosecond: a Linux timer descriptor watched by the event
// loop. A QTimer counts whole milliseconds and its wait rounds up once more, which would cost
// every sensor of a fleet a part of its live rate.
class NanosecondTimer : public QObject {
    Q_OBJECT
  public:
    explicit NanosecondTimer(QObject* parent = nullptr);
    ~NanosecondTimer() override;

    // Goes off at `dueSeconds` unless it is already set for that moment or an earlier one: a
    // later moment never puts it back. A moment already past goes off at once.
    void StartBy(double dueSeconds);

  signals:
    void timeout();

  private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool armed_ = false;
    double due_ = 0.0;
};

}  // namespace tvx
