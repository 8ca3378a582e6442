#include "fleet.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <memory>

#include "event_wait.h"

namespace tvx::cli {

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

constexpr double kFirstRetrySeconds = 1.0;
constexpr double kLongestRetrySeconds = 30.0;
constexpr double kLivePauseSeconds = 0.05;

// Runs `job(index)` in one thread per index and serves the calling thread's events until all
// threads have ended.
void RunThreads(std::size_t count, const std::function<void(std::size_t)>& job) {
    std::vector<std::unique_ptr<QThread>> threads;
    QEventLoop loop;
    std::size_t finished = 0;
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back(QThread::create([&job, i] {
            job(i);
            // Sockets handed to deleteLater go before the thread's loop is gone.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&] {
            if (++finished == count) loop.quit();
        });
    }
    for (auto& thread : threads) thread->start();
    if (count > 0) loop.exec();
    for (auto& thread : threads) thread->wait();
}

}  // namespace

void StopSignal::Request() {
    if (!requested_.exchange(true)) emit requested();
}

void StopOnTerminationSignals(StopSignal* stop) {
    if (g_signalPipe[0] < 0 && ::pipe(g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, stop);
    QObject::connect(notifier, &QSocketNotifier::activated, stop, [stop] {
        char buffer[16];
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], buffer, sizeof buffer);
        stop->Request();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool PauseUnlessStopped(double seconds, const StopSignal& stop) {
    if (seconds > 0.0) {
        WaitUntil([&stop] { return stop.Requested(); }, seconds, WaitMode::ServeUserInput,
                  {WakeSource(&stop, &StopSignal::requested)});
    }
    return !stop.Requested();
}

void RunEachSensor(const std::vector<SensorAddress>& sensors,
                   const std::function<void(SensorLink&, std::size_t)>& job) {
    RunThreads(sensors.size(), [&](std::size_t i) {
        SensorLink link(sensors[i]);
        job(link, i);
    });
}

void RecordSensors(const std::vector<SensorAddress>& sensors, const RecordPace& pace,
                   const StopSignal& stop, const RecordEvents& events) {
    QObject receiver;  // lives in the calling thread: the events are delivered there
    const auto post = [&receiver](std::function<void()> call) {
        QMetaObject::invokeMethod(&receiver, std::move(call), Qt::QueuedConnection);
    };
    RunThreads(sensors.size(), [&](std::size_t i) {
        SensorLink link(sensors[i]);
        double retry = kFirstRetrySeconds;
        long long frames = 0;
        bool online = false;
        double due = 0.0;
        const auto goOffline = [&] {
            link.Close();
            online = false;
            post(
                [&events, i, text = link.Error(), retry] { events.status(i, false, text, retry); });
            const bool going = PauseUnlessStopped(retry, stop);
            retry = std::min(retry * 2.0, kLongestRetrySeconds);
            return going;
        };
        while (!stop.Requested()) {
            if (!online) {
                ParameterImage image;
                // The parameter read tells the calculation mode, hence the value names.
                if (!link.Connect() || !link.ReadParameters(false, image)) {
                    if (!goOffline()) break;
                    continue;
                }
                online = true;
                retry = kFirstRetrySeconds;
                due = SecondsTimer();
                post([&events, i, text = link.Version()] { events.status(i, true, text, 0.0); });
            }
            StampedFrame frame;
            if (!link.FetchFrame(frame.values)) {
                if (!goOffline()) break;
                continue;
            }
            frame.time = QDateTime::currentDateTime();
            frame.siMode = link.SiMode();
            post([&events, i, frame] { events.frame(i, frame); });
            if (pace.count && ++frames >= *pace.count) break;
            if (pace.interval > 0.0) {
                due += pace.interval;
                const double now = SecondsTimer();
                if (due < now) due = now;  // a slow exchange does not make up for lost time
                PauseUnlessStopped(due - now, stop);
            } else {
                PauseUnlessStopped(kLivePauseSeconds, stop);
            }
        }
        link.Close();
    });
    // Deliver what the threads posted last, before the caller closes its sinks.
    QCoreApplication::sendPostedEvents(&receiver);
}

}  // namespace tvx::cli
