#include "epoll_dispatcher.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>

namespace tvx {

namespace {

qint64 NowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

}  // namespace

EpollDispatcher::EpollDispatcher(QObject* parent) : QAbstractEventDispatcher(parent) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wake_;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
}

EpollDispatcher::~EpollDispatcher() {
    ::close(wake_);
    ::close(epoll_);
}

void EpollDispatcher::Watch(int fd, const Watched& watched, bool known) {
    epoll_event event{};
    event.data.fd = fd;
    if (watched.read) event.events |= EPOLLIN;
    if (watched.write) event.events |= EPOLLOUT;
    if (watched.exception) event.events |= EPOLLPRI;
    if (event.events == 0) {
        // A descriptor closed before its notifier went is no longer in the set: nothing to undo.
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        watched_.remove(fd);
        return;
    }
    // A number that was closed without a word and given out again may still be in the set.
    if (::epoll_ctl(epoll_, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &event) != 0) {
        if (errno == EEXIST) ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
        if (errno == ENOENT) ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }
    watched_[fd] = watched;
}

void EpollDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    const bool known = watched_.contains(fd);
    Watched watched = watched_.value(fd);
    switch (notifier->type()) {
        case QSocketNotifier::Read:
            watched.read = notifier;
            break;
        case QSocketNotifier::Write:
            watched.write = notifier;
            break;
        case QSocketNotifier::Exception:
            watched.exception = notifier;
            break;
    }
    Watch(fd, watched, known);
}

void EpollDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    const int fd = static_cast<int>(notifier->socket());
    const auto it = watched_.find(fd);
    if (it == watched_.end()) return;
    Watched watched = *it;
    if (watched.read == notifier) watched.read = nullptr;
    if (watched.write == notifier) watched.write = nullptr;
    if (watched.exception == notifier) watched.exception = nullptr;
    Watch(fd, watched, true);
}

void EpollDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                    QObject* object) {
    unregisterTimer(timerId);
    const qint64 due = NowMs() + interval;
    timers_[timerId] = {interval, timerType, object, due};
    due_.emplace(due, timerId);
}

bool EpollDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return false;
    const auto [first, last] = due_.equal_range(it->second.dueMs);
    for (auto d = first; d != last; ++d) {
        if (d->second != timerId) continue;
        due_.erase(d);
        break;
    }
    timers_.erase(it);
    return true;
}

bool EpollDispatcher::unregisterTimers(QObject* object) {
    std::vector<int> ids;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object) ids.push_back(id);
    for (const int id : ids) unregisterTimer(id);
    return !ids.empty();
}

QList<QAbstractEventDispatcher::TimerInfo> EpollDispatcher::registeredTimers(
    QObject* object) const {
    QList<TimerInfo> list;
    for (const auto& [id, timer] : timers_)
        if (timer.object == object) list.append(TimerInfo(id, int(timer.interval), timer.type));
    return list;
}

int EpollDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return -1;
    return static_cast<int>(qMax<qint64>(0, it->second.dueMs - NowMs()));
}

void EpollDispatcher::wakeUp() {
    const quint64 one = 1;
    [[maybe_unused]] const auto written = ::write(wake_, &one, sizeof one);
}

void EpollDispatcher::interrupt() {
    interrupted_ = true;
    wakeUp();
}

int EpollDispatcher::MsToFirstTimer() const {
    if (due_.empty()) return -1;
    return static_cast<int>(qMax<qint64>(0, due_.begin()->first - NowMs()));
}

bool EpollDispatcher::FireDueTimers() {
    // Only the timers due now: one that fires again at once waits for the next pass.
    const qint64 now = NowMs();
    std::vector<int> due;
    for (auto it = due_.begin(); it != due_.end() && it->first <= now; ++it)
        due.push_back(it->second);
    for (const int id : due) {
        const auto it = timers_.find(id);
        if (it == timers_.end()) continue;  // stopped by an earlier one
        Timer& timer = it->second;
        const auto [first, last] = due_.equal_range(timer.dueMs);
        for (auto d = first; d != last; ++d) {
            if (d->second != id) continue;
            due_.erase(d);
            break;
        }
        // The next time counts from now, so a late pass does not fire a burst.
        timer.dueMs = now + qMax<qint64>(timer.interval, 0);
        due_.emplace(timer.dueMs, id);
        QTimerEvent event(id);
        QCoreApplication::sendEvent(timer.object, &event);
    }
    return !due.empty();
}

bool EpollDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_ = false;
    emit awake();
    QCoreApplication::sendPostedEvents();
    if (interrupted_) return false;

    const bool mayWait = flags.testFlag(QEventLoop::WaitForMoreEvents);
    int timeout = 0;
    if (mayWait) {
        emit aboutToBlock();
        timeout = MsToFirstTimer();
    }
    epoll_event ready[256];
    int count = 0;
    do {
        count = ::epoll_wait(epoll_, ready, 256, timeout);
    } while (count < 0 && errno == EINTR);
    if (mayWait) emit awake();

    struct Activation {
        QPointer<QSocketNotifier> notifier;
    };
    std::vector<Activation> activations;
    bool woken = false;
    for (int i = 0; i < count; ++i) {
        const int fd = ready[i].data.fd;
        if (fd == wake_) {
            quint64 value = 0;
            [[maybe_unused]] const auto got = ::read(wake_, &value, sizeof value);
            woken = true;
            continue;
        }
        const auto it = watched_.constFind(fd);
        if (it == watched_.constEnd()) continue;
        const auto events = ready[i].events;
        // As poll() tells it: a hang-up or an error wakes the reader and the writer.
        if (it->read && (events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
            activations.push_back({it->read});
        if (it->write && (events & (EPOLLOUT | EPOLLERR))) activations.push_back({it->write});
        if (it->exception && (events & EPOLLPRI)) activations.push_back({it->exception});
    }
    // A caller that excludes socket notices gets them on a later pass: epoll reports a ready
    // descriptor again until it is served.
    if (flags.testFlag(QEventLoop::ExcludeSocketNotifiers)) activations.clear();
    for (const Activation& activation : activations) {
        if (interrupted_) break;
        // An earlier notice may have closed or disabled this one.
        if (!activation.notifier || !activation.notifier->isEnabled()) continue;
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(activation.notifier, &event);
    }
    const bool fired = !interrupted_ && FireDueTimers();
    return woken || fired || !activations.empty();
}

}  // namespace tvx
