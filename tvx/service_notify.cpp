#include "service_notify.h"

#include <systemd/sd-daemon.h>
#include <time.h>
#include <algorithm>

namespace tvx::cli {

ServiceNotifier::ServiceNotifier(QObject* parent)
    : QObject(parent), enabled_(qEnvironmentVariableIsSet("NOTIFY_SOCKET")) {
    uint64_t usec = 0;
    if (!enabled_ || sd_watchdog_enabled(0, &usec) <= 0 || usec == 0) return;
    connect(&watchdog_, &QTimer::timeout, this, [this] { Send(QStringLiteral("WATCHDOG=1")); });
    watchdog_.start(static_cast<int>(std::max<uint64_t>(usec / 2000, 1)));
    Send(QStringLiteral("WATCHDOG=1"));
}

void ServiceNotifier::Ready(const QString& status) {
    Send(status.isEmpty() ? QStringLiteral("READY=1")
                          : QStringLiteral("READY=1\nSTATUS=") + status);
}

void ServiceNotifier::Status(const QString& status) {
    Send(QStringLiteral("STATUS=") + status);
}

void ServiceNotifier::Reloading() {
    // MONOTONIC_USEC lets a newer systemd tell this reload from an earlier one.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const qulonglong usec = qulonglong(now.tv_sec) * 1000000ULL + qulonglong(now.tv_nsec) / 1000ULL;
    Send(QStringLiteral("RELOADING=1\nMONOTONIC_USEC=%1").arg(usec));
}

void ServiceNotifier::Stopping() {
    if (stopping_) return;
    stopping_ = true;
    Send(QStringLiteral("STOPPING=1"));
}

void ServiceNotifier::Send(const QString& state) {
    if (enabled_) sd_notify(0, state.toUtf8().constData());
}

}  // namespace tvx::cli
