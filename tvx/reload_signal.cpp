#include "reload_signal.h"

#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace tvx::cli {

namespace {

int g_hangUpPipe[2] = {-1, -1};

void OnHangUp(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_hangUpPipe[1], &byte, 1);
}

}  // namespace

void ReloadOnHangUp(QObject* context, std::function<void()> reload) {
    if (g_hangUpPipe[0] < 0 && ::pipe(g_hangUpPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_hangUpPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [reload = std::move(reload)] {
        // Several signals before the loop looked: one reload reads the file.
        char buffer[16];
        [[maybe_unused]] const auto got = ::read(g_hangUpPipe[0], buffer, sizeof buffer);
        reload();
    });
    struct sigaction action = {};
    action.sa_handler = OnHangUp;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace tvx::cli
