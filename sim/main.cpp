// tvx-sensor-sim: a simulated TRIVEX colour sensor for tests and demonstrations.

#include <sys/resource.h>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "epoll_dispatcher.h"
#include "sim_options.h"
#include "sim_server.h"
#include "unix_signals.h"

namespace {

// Lines that scripts parse: written whole and flushed at once.
void PrintLine(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Many sensors need two descriptors each (listening and client): the soft limit of open files,
// often 1024, goes up to the hard one.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int main(int argc, char** argv) {
    // A thousand simulated sensors in one process: the loop must not cost what is open.
    QCoreApplication::setEventDispatcher(new tvx::EpollDispatcher);
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = tvx::sim::ParseSimOptions(app.arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "tvx-sensor-sim: %s\nTry --help.\n", qPrintable(error));
        return 2;
    }
    if (options->help) {
        std::fputs(qPrintable(tvx::sim::SimUsage()), stdout);
        return 0;
    }
    std::optional<tvx::sim::Replay> replay;
    if (!options->replayPath.isEmpty()) {
        replay = tvx::sim::Replay::Load(options->replayPath, &error);
        if (!replay) {
            std::fprintf(stderr, "tvx-sensor-sim: %s\n", qPrintable(error));
            return 2;
        }
        replay->SetHold(options->replayHold);
    }

    // SIGTERM and SIGINT end the event loop, so shut-down runs normally.
    tvx::CallOnSignals({SIGTERM, SIGINT}, &app, [] { QCoreApplication::quit(); });

    if (options->tcpCount > 1) RaiseOpenFileLimit();
    // One sensor per TCP port; each has a model of its own, with noise seeded apart.
    std::vector<std::unique_ptr<tvx::sim::SimServer>> sensors;
    for (int i = 0; i < options->tcpCount; ++i) {
        auto sensor = std::make_unique<tvx::sim::SimServer>();
        if (!options->version.isEmpty()) sensor->SetVersion(options->version);
        if (options->scenario) sensor->SetScenario(*options->scenario);
        if (options->sample) sensor->SetSample(*options->sample);
        if (replay) sensor->SetReplay(*replay);  // every sensor plays the same recording
        sensor->SetAgeing(options->ageing);
        sensor->SetNoise(options->noise, options->noiseSeed + static_cast<std::uint32_t>(i));
        sensor->SetFaults(options->faults);
        sensor->SetBaud(options->baud);
        sensors.push_back(std::move(sensor));
    }
    tvx::sim::SimServer& server = *sensors.front();

    if (options->tcp) {
        for (std::size_t i = 0; i < sensors.size(); ++i) {
            const quint16 port =
                options->tcpPort == 0 ? 0 : static_cast<quint16>(options->tcpPort + i);
            if (!sensors[i]->ListenTcp(port)) {
                std::fprintf(stderr, "tvx-sensor-sim: %s\n", qPrintable(sensors[i]->LastError()));
                return 1;
            }
            PrintLine(QStringLiteral("tcp 127.0.0.1:%1").arg(sensors[i]->TcpPort()));
        }
    }
    if (options->pty) {
        if (!server.OpenPty(options->ptyLink)) {
            std::fprintf(stderr, "tvx-sensor-sim: %s\n", qPrintable(server.LastError()));
            return 1;
        }
        PrintLine(QStringLiteral("pty %1").arg(server.PtyPath()));
        QObject::connect(&server, &tvx::sim::SimServer::ptyReopened, &app, [](const QString& path) {
            PrintLine(QStringLiteral("pty %1").arg(path));
        });
    }
    PrintLine(QStringLiteral("ready"));
    const int code = app.exec();
    return code;
}
