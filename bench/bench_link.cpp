// tvx-bench-link: what the com232 layer costs on top of the bare line, and what a waiting program
// costs in CPU. Prints figures; asserts nothing.
//
//   one exchange over TCP loopback and over the 19200-baud pseudo-terminal, each against the
//   bare round trip of the same 36 bytes to the same simulator (a raw socket / file descriptor
//   without the com232 layer), as medians of N runs and their ratio;
//   CPU seconds used by a 3-second wait that runs out (nothing answers), per kind of wait.

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench_common.h"
#include "com232.h"
#include "fault_plan.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "wait.h"

namespace {

using namespace tvx;
using namespace tvx::bench;

struct Options {
    int tcpRuns = 300;
    int serialRuns = 60;
    int cpuRuns = 3;
    double cpuWaitSeconds = 3.0;
};

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QByteArray DataRequest() {
    FrameBuffers buffers;
    FillTxBuf(buffers, 5, 0);
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

// One program's link, as the programs hold it.
struct Link {
    LinkState state;
    FrameBuffers buffers;
    LoopFlags flags;
    ScriptedPopups popups;
    Com232 com{state, buffers, flags, popups};
};

// --- bare round trips ------------------------------------------------------------------------

// --- the figures -------------------------------------------------------------------------------

void PrintRatio(const char* what, const Figures& layer, const Figures& bare) {
    std::printf(
        "%-34s com232 %8.3f ms (p10 %7.3f, p90 %7.3f)   bare %8.3f ms (p10 %7.3f, p90 %7.3f)   "
        "ratio %.2f\n",
        what, layer.median * 1e3, layer.p10 * 1e3, layer.p90 * 1e3, bare.median * 1e3,
        bare.p10 * 1e3, bare.p90 * 1e3, layer.median / bare.median);
}

void BenchTcp(sim::SimThread& sim, const Options& options) {
    const QByteArray request = DataRequest();
    Figures layer;
    {
        Link link;
        link.state.comprotocol = kTcpIp;
        link.state.ipBuf = QStringLiteral("127.0.0.1");
        link.state.portNum = sim.TcpPort();
        link.com.InitTCP_IP();
        if (link.state.tcpcon != 1) {
            std::fprintf(stderr, "TCP connect failed: %s\n", qPrintable(link.state.szStatus));
            std::exit(1);
        }
        const auto exchange = [&] {
            FillTxBuf(link.buffers, 5, 0);
            return link.com.ExchangeFrame(ScopeReply());
        };
        TimeRuns(20, exchange);  // warm-up
        layer = Summarise(TimeRuns(options.tcpRuns, exchange));
        link.com.DisconnectTCP();
    }
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sim.TcpPort());
    if (!socket.waitForConnected(5000)) {
        std::fprintf(stderr, "raw TCP connect failed\n");
        std::exit(1);
    }
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    const auto raw = [&] { return RawTcpRoundTrip(socket, request); };
    TimeRuns(20, raw);
    const Figures bare = Summarise(TimeRuns(options.tcpRuns, raw));
    PrintRatio("exchange, TCP loopback", layer, bare);
}

void BenchSerial(sim::SimThread& sim, const Options& options) {
    const QByteArray request = DataRequest();
    Figures served;
    Figures withoutUserInput;
    {
        Link link;
        link.state.comprotocol = kRs232;
        link.state.comdevice = sim.PtyPath();
        link.com.InitRS232();
        if (link.state.ret != 0) {
            std::fprintf(stderr, "serial open failed: %s\n", qPrintable(link.state.szStatus));
            std::exit(1);
        }
        const auto exchange = [&](const ExchangeLimits& limits) {
            return [&link, limits] {
                FillTxBuf(link.buffers, 5, 0);
                return link.com.ExchangeFrame(limits);
            };
        };
        TimeRuns(5, exchange(ScopeReply()));
        served = Summarise(TimeRuns(options.serialRuns, exchange(ScopeReply())));
        withoutUserInput =
            Summarise(TimeRuns(options.serialRuns, exchange(ToolReply(kFrameBytes, false, true))));
        link.com.CloseCom();
    }
    const int fd = OpenRawPty(sim.PtyPath());
    if (fd < 0) {
        std::fprintf(stderr, "raw open of %s failed\n", qPrintable(sim.PtyPath()));
        std::exit(1);
    }
    const auto raw = [&] { return RawFdRoundTrip(fd, request); };
    TimeRuns(5, raw);
    const Figures bare = Summarise(TimeRuns(options.serialRuns, raw));
    ::close(fd);
    PrintRatio("exchange, pty 19200, events served", served, bare);
    PrintRatio("exchange, pty 19200, user input held", withoutUserInput, bare);
}

// CPU of the waiting thread and of the whole process (the simulator's thread included) during
// a wait of options.cpuWaitSeconds that runs out.
void PrintCpu(const char* what, const Options& options, const std::function<void()>& wait) {
    std::vector<double> thread;
    std::vector<double> process;
    std::vector<double> wall;
    for (int i = 0; i < options.cpuRuns; ++i) {
        const double t0 = CpuSeconds(RUSAGE_THREAD);
        const double p0 = CpuSeconds(RUSAGE_SELF);
        const double w0 = SecondsTimer();
        wait();
        wall.push_back(SecondsTimer() - w0);
        thread.push_back(CpuSeconds(RUSAGE_THREAD) - t0);
        process.push_back(CpuSeconds(RUSAGE_SELF) - p0);
    }
    std::printf("%-44s wall %6.3f s   CPU waiting thread %8.5f s   CPU process %8.5f s\n", what,
                Median(wall), Median(thread), Median(process));
}

void BenchCpu(sim::SimThread& network, sim::SimThread& line, const Options& options) {
    ExchangeLimits served = ScopeReply();
    served.serialWaitSeconds = served.tcpWaitSeconds = options.cpuWaitSeconds;
    ExchangeLimits withoutUserInput = served;
    withoutUserInput.serialServesUserInput = false;
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    silent.order = 5;
    network.Server().AddFault(silent);
    line.Server().AddFault(silent);

    PrintCpu("Pause, events served", options,
             [&] { Pause(options.cpuWaitSeconds, WaitMode::ServeUserInput); });
    {
        Link link;
        link.state.comprotocol = kTcpIp;
        link.state.ipBuf = QStringLiteral("127.0.0.1");
        link.state.portNum = network.TcpPort();
        link.com.InitTCP_IP();
        PrintCpu("exchange without reply, TCP", options, [&] {
            FillTxBuf(link.buffers, 5, 0);
            link.com.ExchangeFrame(served);
        });
        link.com.DisconnectTCP();
    }
    {
        Link link;
        link.state.comprotocol = kRs232;
        link.state.comdevice = line.PtyPath();
        link.com.InitRS232();
        PrintCpu("exchange without reply, pty, events served", options, [&] {
            FillTxBuf(link.buffers, 5, 0);
            link.com.ExchangeFrame(served);
        });
        PrintCpu("exchange without reply, pty, user input held", options, [&] {
            FillTxBuf(link.buffers, 5, 0);
            link.com.ExchangeFrame(withoutUserInput);
        });
    }
    network.Server().ClearFaults();
    line.Server().ClearFaults();
}

Options ParseOptions(const QStringList& args) {
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& key = args[i];
        const int value = args[i + 1].toInt();
        if (key == "--tcp-runs")
            options.tcpRuns = std::max(1, value);
        else if (key == "--serial-runs")
            options.serialRuns = std::max(1, value);
        else if (key == "--cpu-runs")
            options.cpuRuns = std::max(1, value);
        else if (key == "--cpu-wait")
            options.cpuWaitSeconds = std::max(0.1, args[i + 1].toDouble());
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains("--help")) {
        std::printf(
            "tvx-bench-link [--tcp-runs N] [--serial-runs N] [--cpu-runs N] [--cpu-wait "
            "SECONDS]\n");
        return 0;
    }
    const Options options = ParseOptions(args);

    // The sensor over TCP answers at once; on the pseudo-terminal as a 19200-baud line would.
    sim::SimThread network;
    sim::SimConfig networkConfig;
    sim::SimThread line;
    sim::SimConfig lineConfig;
    lineConfig.tcp = false;
    lineConfig.pty = true;
    lineConfig.baud = kBaudRate;
    if (!network.Start(networkConfig) || !line.Start(lineConfig)) {
        std::fprintf(stderr, "simulator: %s%s\n", qPrintable(network.Error()),
                     qPrintable(line.Error()));
        return 1;
    }
    std::printf("tvx-bench-link: medians of %d TCP runs, %d serial runs, %d CPU runs\n",
                options.tcpRuns, options.serialRuns, options.cpuRuns);
    BenchTcp(network, options);
    BenchSerial(line, options);
    BenchCpu(network, line, options);
    return 0;
}
