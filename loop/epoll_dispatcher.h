#pragma once

#include <QAbstractEventDispatcher>
#include <QHash>
#include <atomic>
#include <map>
#include <vector>

namespace tvx {

// An event dispatcher for one thread that serves a thousand sockets: the kernel keeps the set of
// watched descriptors (epoll), so a pass of the loop costs what is ready, not what is open. Qt's
// own dispatcher hands every descriptor to poll() on every pass, which at a thousand sensors is
// most of the recorder's time. Timers are kept to the millisecond in a queue ordered by due time.
// Install it before the application object: QCoreApplication::setEventDispatcher.
class EpollDispatcher : public QAbstractEventDispatcher {
    Q_OBJECT
  public:
    explicit EpollDispatcher(QObject* parent = nullptr);
    ~EpollDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

  private:
    struct Watched {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        QSocketNotifier* exception = nullptr;
    };
    struct Timer {
        qint64 interval = 0;
        Qt::TimerType type = Qt::CoarseTimer;
        QObject* object = nullptr;
        qint64 dueMs = 0;
    };

    void Watch(int fd, const Watched& watched, bool known);
    // Milliseconds until the first timer is due; -1 with none.
    int MsToFirstTimer() const;
    bool FireDueTimers();

    int epoll_ = -1;
    int wake_ = -1;  // an eventfd: posted events and interrupt() wake the wait
    std::atomic<bool> interrupted_{false};
    QHash<int, Watched> watched_;
    std::map<int, Timer> timers_;
    std::multimap<qint64, int> due_;  // due time (ms of a monotonic clock) -> timer id
};

}  // namespace tvx
