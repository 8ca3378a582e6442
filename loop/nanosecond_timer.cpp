#include "nanosecond_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>
#include <cstdint>

namespace tvx {

NanosecondTimer::NanosecondTimer(QObject* parent) : QObject(parent) {
    fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto got = ::read(fd_, &expirations, sizeof expirations);
        armed_ = false;
        emit timeout();
    });
}

NanosecondTimer::~NanosecondTimer() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
}

void NanosecondTimer::StartBy(double dueSeconds) {
    if (armed_ && due_ <= dueSeconds) return;
    armed_ = true;
    due_ = dueSeconds;
    const auto ns = static_cast<long long>(dueSeconds * 1e9) + 1;
    itimerspec at{};
    at.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    at.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &at, nullptr);
}

}  // namespace tvx
