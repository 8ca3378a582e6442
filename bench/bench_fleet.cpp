// tvx record against 20 simulated sensors over TCP and one that never answers: frames per second
// of each sensor against the live rate (one bare exchange plus the 50 ms pause), and the CPU the
// recorder uses.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_common.h"
#include "sim_thread.h"

namespace {

constexpr int kSensors = 20;
constexpr double kWarmUpSeconds = 3.0;
constexpr double kMeasureSeconds = 20.0;

// User plus system CPU time of a process, in seconds.
double CpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0.0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::vector<long> LineCounts(const QString& folder) {
    std::vector<long> counts;
    for (int i = 0; i < kSensors; ++i) {
        QFile file(
            QDir(folder).filePath(QStringLiteral("s%1.csv").arg(i, 2, 10, QLatin1Char('0'))));
        counts.push_back(file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0);
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace tvx;

    // The bare exchange: one order-5 round trip on a plain socket, no link layer.
    sim::SimThread reference;
    if (!reference.Start()) return 1;
    QTcpSocket raw;
    raw.connectToHost(QStringLiteral("127.0.0.1"), reference.TcpPort());
    if (!raw.waitForConnected(5000)) return 1;
    raw.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray request(kFrameBytes, '\0');
    request[1] = 0x55;
    request[3] = 5;
    const double bare =
        bench::Median(bench::TimeRuns(200, [&] { return bench::RawTcpRoundTrip(raw, request); }));
    raw.close();
    reference.Stop();

    std::vector<std::unique_ptr<sim::SimThread>> sensors;
    QStringList arguments = {QStringLiteral("record")};
    for (int i = 0; i < kSensors; ++i) {
        sensors.push_back(std::make_unique<sim::SimThread>());
        if (!sensors.back()->Start()) return 1;
        arguments << QStringLiteral("--sensor")
                  << QStringLiteral("s%1=tcp://127.0.0.1:%2")
                         .arg(i, 2, 10, QLatin1Char('0'))
                         .arg(sensors.back()->TcpPort());
    }
    // The dead sensor: the connection is taken by the system's backlog, nothing ever answers.
    QTcpServer dead;
    if (!dead.listen(QHostAddress::LocalHost, 0)) return 1;
    arguments << QStringLiteral("--sensor")
              << QStringLiteral("dead=tcp://127.0.0.1:%1").arg(dead.serverPort());

    QTemporaryDir dir;
    arguments << QStringLiteral("--csv") << dir.path();
    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    recorder.setStandardErrorFile(QProcess::nullDevice());
    recorder.start(QStringLiteral(TVX_EXE), arguments);
    if (!recorder.waitForStarted(10000)) return 1;

    Pause(kWarmUpSeconds, WaitMode::ServeUserInput);
    const std::vector<long> before = LineCounts(dir.path());
    const double cpuBefore = CpuSeconds(recorder.processId());
    const double start = SecondsTimer();
    Pause(kMeasureSeconds, WaitMode::ServeUserInput);
    const std::vector<long> after = LineCounts(dir.path());
    const double cpuAfter = CpuSeconds(recorder.processId());
    const double wall = SecondsTimer() - start;
    ::kill(static_cast<pid_t>(recorder.processId()), SIGINT);
    recorder.waitForFinished(30000);

    std::vector<double> rates;
    for (int i = 0; i < kSensors; ++i)
        rates.push_back(static_cast<double>(after[i] - before[i]) / wall);
    std::sort(rates.begin(), rates.end());
    const double slowest = rates.front();
    const double median = bench::Median(rates);
    const double live = 1.0 / (0.05 + bare);
    const double cpu = (cpuAfter - cpuBefore) / wall * 100.0;
    std::printf("bare exchange %.3f ms, live rate %.2f frames/s, fastest sensor %.2f frames/s\n",
                bare * 1000.0, live, rates.back());
    std::printf(
        "fleet: %d sensors, frames/s per sensor min %.2f median %.2f, ratio to live rate "
        "%.3f, CPU %.1f %% of one core\n",
        kSensors, slowest, median, slowest / live, cpu);
    return 0;
}
