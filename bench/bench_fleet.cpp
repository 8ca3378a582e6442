// tvx record against a fleet of simulated sensors over TCP, served by one simulator process, with
// dead sensors among them (half on refused ports, half on ports that accept and never answer):
// frames per second of each answering sensor against the live rate (one bare exchange plus the
// 50 ms pause), and the CPU and peak memory of the recorder.
//
//   tvx-bench-fleet --sensors N [--seconds S] [--tvx PATH]
#include <unistd.h>

#include <QCommandLineParser>
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
#include "closed_port.h"
#include "sim_thread.h"

namespace {

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

// The peak resident memory of a process (VmHWM), in MB.
double PeakMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024.0;
    return 0.0;
}

// The lines of each answering sensor's CSV file, counted from where the last count stopped.
struct LineCounter {
    QStringList paths;
    std::vector<qint64> offsets = std::vector<qint64>(paths.size(), 0);
    std::vector<long> lines = std::vector<long>(paths.size(), 0);

    std::vector<long> Count() {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QFile file(paths[i]);
            if (!file.open(QIODevice::ReadOnly) || !file.seek(offsets[i])) continue;
            const QByteArray added = file.readAll();
            // A line still being written is counted next time.
            const qsizetype complete = added.lastIndexOf('\n') + 1;
            lines[i] += static_cast<long>(added.left(complete).count('\n'));
            offsets[i] += complete;
        }
        return lines;
    }
};

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "tvx-bench-fleet: %s\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace tvx;

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"sensors", "Sensors in all, dead ones included.", "N", "20"});
    parser.addOption(
        {"seconds", "Seconds measured after the warm-up.", "S", QString::number(kMeasureSeconds)});
    parser.addOption({"tvx", "The tvx program to measure.", "PATH", QStringLiteral(TVX_EXE)});
    parser.process(app);
    const int total = parser.value("sensors").toInt();
    const double seconds = parser.value("seconds").toDouble();
    if (total < 1 || seconds <= 0.0) Fail("--sensors and --seconds expect numbers above 0");
    const int dead = std::min(20, total / 10);
    const int answering = total - dead;

    // The bare exchange: one order-5 round trip on a plain socket, no link layer.
    sim::SimThread reference;
    if (!reference.Start()) Fail("the reference simulator did not start");
    QTcpSocket raw;
    raw.connectToHost(QStringLiteral("127.0.0.1"), reference.TcpPort());
    if (!raw.waitForConnected(5000)) Fail("no connection to the reference simulator");
    raw.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray request(kFrameBytes, '\0');
    request[1] = 0x55;
    request[3] = 5;
    const double bare =
        bench::Median(bench::TimeRuns(200, [&] { return bench::RawTcpRoundTrip(raw, request); }));
    raw.close();
    reference.Stop();

    // The answering sensors: one simulator process, one port each.
    QProcess simulator;
    simulator.setStandardErrorFile(QProcess::nullDevice());
    simulator.start(QStringLiteral(SIM_EXE),
                    {QStringLiteral("--tcp-count"), QString::number(answering)});
    QStringList ports;
    while (ports.size() < answering) {
        if (!simulator.canReadLine() && !simulator.waitForReadyRead(30000))
            Fail("the simulator did not list its ports");
        const QByteArray line = simulator.readLine().trimmed();
        if (line.startsWith("tcp ")) ports << QString::fromLatin1(line.mid(4));
    }

    QTemporaryDir dir;
    QStringList arguments = {QStringLiteral("record"), QStringLiteral("--csv"), dir.path()};
    LineCounter counter;
    for (int i = 0; i < answering; ++i) {
        const QString name = QStringLiteral("s%1").arg(i, 4, 10, QLatin1Char('0'));
        arguments << QStringLiteral("--sensor") << name + QStringLiteral("=tcp://") + ports[i];
        counter.paths << QDir(dir.path()).filePath(name + QStringLiteral(".csv"));
    }
    counter.offsets.assign(answering, 0);
    counter.lines.assign(answering, 0);
    // Silent sensors: the connection is taken, nothing ever answers. Refused: nothing listens.
    std::vector<std::unique_ptr<QTcpServer>> silent;
    for (int i = 0; i < dead; ++i) {
        quint16 port = ClosedLocalPort();
        if (i % 2 == 0) {
            silent.push_back(std::make_unique<QTcpServer>());
            silent.back()->setMaxPendingConnections(1000);
            if (!silent.back()->listen(QHostAddress::LocalHost, 0)) Fail("no port to listen on");
            port = silent.back()->serverPort();
        }
        arguments << QStringLiteral("--sensor")
                  << QStringLiteral("dead%1=tcp://127.0.0.1:%2").arg(i).arg(port);
    }

    QProcess recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    recorder.setStandardErrorFile(QProcess::nullDevice());
    recorder.start(parser.value("tvx"), arguments);
    if (!recorder.waitForStarted(10000)) Fail("tvx did not start");

    // Warm-up: every sensor connected and through its parameter read.
    const double warmUp = 3.0 + static_cast<double>(total) / 100.0;
    Pause(warmUp, WaitMode::ServeUserInput);
    const std::vector<long> before = counter.Count();
    const double cpuBefore = CpuSeconds(recorder.processId());
    const double simCpuBefore = CpuSeconds(simulator.processId());
    const double start = SecondsTimer();
    Pause(seconds, WaitMode::ServeUserInput);
    const std::vector<long> after = counter.Count();
    const double cpuAfter = CpuSeconds(recorder.processId());
    const double simCpuAfter = CpuSeconds(simulator.processId());
    const double wall = SecondsTimer() - start;
    const double memory = PeakMegabytes(recorder.processId());
    ::kill(static_cast<pid_t>(recorder.processId()), SIGINT);
    recorder.waitForFinished(60000);
    simulator.terminate();
    simulator.waitForFinished(10000);

    std::vector<double> rates;
    for (int i = 0; i < answering; ++i)
        rates.push_back(static_cast<double>(after[i] - before[i]) / wall);
    std::sort(rates.begin(), rates.end());
    const double slowest = rates.front();
    const double median = bench::Median(rates);
    const double live = 1.0 / (0.05 + bare);
    const double cpu = (cpuAfter - cpuBefore) / wall * 100.0;
    long frames = 0;
    for (int i = 0; i < answering; ++i) frames += after[i] - before[i];
    // The CPU a frame costs does not depend on how much of the machine others take.
    std::printf(
        "bare exchange %.3f ms, live rate %.2f frames/s, fastest sensor %.2f frames/s, "
        "%d dead sensors, recorder CPU per frame %.1f us, simulator CPU %.0f %% of one core\n",
        bare * 1000.0, live, rates.back(), dead,
        frames > 0 ? (cpuAfter - cpuBefore) / static_cast<double>(frames) * 1e6 : 0.0,
        (simCpuAfter - simCpuBefore) / wall * 100.0);
    std::printf(
        "fleet: %d sensors, frames/s per sensor min %.1f median %.1f, ratio to live rate %.3f, "
        "CPU %.0f %% of one core, memory %.0f MB\n",
        total, slowest, median, slowest / live, cpu, memory);
    return 0;
}
