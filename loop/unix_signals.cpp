#include "unix_signals.h"

#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace tvx {

namespace {

// The pipe each watched signal writes to, by signal number.
int g_signalPipe[NSIG] = {};

void OnWatchedSignal(int number) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[number], &byte, 1);
}

}  // namespace

void StopSignal::Request() {
    if (requested_) return;
    requested_ = true;
    emit requested();
}

void CallOnSignals(std::initializer_list<int> numbers, QObject* context,
                   std::function<void()> call) {
    int pipe[2] = {-1, -1};
    // Non-blocking: a burst of signals the loop has not read yet never blocks the handler.
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [readEnd = pipe[0], call = std::move(call)] {
                         // Several signals before the loop looked: one call answers them.
                         char buffer[16];
                         while (::read(readEnd, buffer, sizeof buffer) > 0) {
                         }
                         call();
                     });
    for (const int number : numbers) {
        g_signalPipe[number] = pipe[1];
        struct sigaction action = {};
        action.sa_handler = OnWatchedSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, nullptr);
    }
}

void StopOnTerminationSignals(StopSignal* stop) {
    CallOnSignals({SIGINT, SIGTERM}, stop, [stop] { stop->Request(); });
}

void ReloadOnHangUp(QObject* context, std::function<void()> reload) {
    CallOnSignals({SIGHUP}, context, std::move(reload));
}

}  // namespace tvx
