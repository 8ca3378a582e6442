// tvx-bench-parameters: what a whole parameter write plus read costs. Prints figures; asserts
// nothing.
//
//   over TCP loopback: SEND (orders 1 and 2 x 15) plus GET (order 3 and order 4 x 15), against 16
//   bare round trips of the same frames on a raw socket to the same simulator;
//   over the 19200-baud pseudo-terminal: the same write plus read against its wire time.

#include <QCoreApplication>
#include <cstdio>

#include "bench_common.h"
#include "scope_commands.h"
#include "scripted_popups.h"
#include "sim_thread.h"

namespace {

using namespace tvx;
using namespace tvx::bench;

// The scope's state for the exchanges, without panels.
struct Scope {
    LinkState link;
    FrameBuffers buffers;
    ParameterSet params;
    LiveValues live;
    LoopFlags flags;
    ExchangeState exchange;
    ProgramFiles files;
    ScriptedPopups popups;
    Com232 com{link, buffers, flags, popups};
    ScopeCommands commands{com,  link,  exchange, buffers, params,
                           live, flags, files,    popups,  Hooks()};

    static ExchangePanelHooks Hooks() {
        ExchangePanelHooks h;
        h.showMainStatus = h.showInterfaceStatus = [](const QString&) {};
        h.enableAccept = h.showParameters = h.showLiveFrame = [] {};
        h.getPanelValues = [] { return true; };
        h.setButtonsDimmed = [](bool) {};
        return h;
    }

    // One SEND plus one GET; true when nothing was reported.
    bool WriteAndRead() {
        commands.SendPara();
        commands.GetPara();
        return popups.Count() == 0;
    }
};

QByteArray ReadRequest(std::uint16_t order, std::uint16_t row) {
    FrameBuffers buffers;
    FillTxBuf(buffers, order, row);
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

void Tcp(int runs) {
    sim::SimThread sensor;
    if (!sensor.Start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sensor.Error()));
        std::exit(1);
    }
    Scope scope;
    scope.link.comprotocol = kTcpIp;
    scope.link.ipBuf = QStringLiteral("127.0.0.1");
    scope.link.portNum = sensor.TcpPort();
    scope.com.InitTCP_IP();
    const Figures layer = Summarise(TimeRuns(runs, [&] { return scope.WriteAndRead(); }));

    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sensor.TcpPort());
    if (!socket.waitForConnected(5000)) std::exit(1);
    const Figures bare = Summarise(TimeRuns(runs, [&] {
        if (!RawTcpRoundTrip(socket, ReadRequest(3, 0))) return false;
        for (std::uint16_t row = 0; row < kTeachRows; ++row)
            if (!RawTcpRoundTrip(socket, ReadRequest(4, row))) return false;
        return true;
    }));
    std::printf("TCP loopback, %d runs\n", runs);
    std::printf("  write + read (31 frames)   median %8.3f ms (p10 %.3f, p90 %.3f)\n",
                layer.median * 1e3, layer.p10 * 1e3, layer.p90 * 1e3);
    std::printf("  16 bare round trips        median %8.3f ms (p10 %.3f, p90 %.3f)\n",
                bare.median * 1e3, bare.p10 * 1e3, bare.p90 * 1e3);
    std::printf("  ratio                      %8.2f\n", layer.median / bare.median);
}

void Serial(int runs) {
    sim::SimConfig config;
    config.tcp = false;
    config.pty = true;
    config.baud = 19200;
    sim::SimThread sensor;
    if (!sensor.Start(config)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sensor.Error()));
        std::exit(1);
    }
    Scope scope;
    scope.link.comprotocol = kRs232;
    scope.link.comdevice = sensor.PtyPath();
    scope.com.InitRS232();
    const Figures layer = Summarise(TimeRuns(runs, [&] { return scope.WriteAndRead(); }));

    // 8N1: ten bits a byte. The simulator paces what it sends (16 replies); a real line also
    // carries the 31 requests at the same speed.
    const double byteSeconds = 10.0 / 19200.0;
    const double repliesOnly = 16 * kFrameBytes * byteSeconds;
    const double bothWays = (31 + 16) * kFrameBytes * byteSeconds;
    std::printf("pseudo-terminal at 19200 baud, %d runs\n", runs);
    std::printf("  write + read (31 frames)   median %8.3f ms (p10 %.3f, p90 %.3f)\n",
                layer.median * 1e3, layer.p10 * 1e3, layer.p90 * 1e3);
    std::printf("  wire time of the replies   %8.3f ms   ratio %.2f\n", repliesOnly * 1e3,
                layer.median / repliesOnly);
    std::printf("  wire time both ways        %8.3f ms   ratio %.2f (on a real line)\n",
                bothWays * 1e3, layer.median / bothWays);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int tcpRuns = 200;
    int serialRuns = 15;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (option == "--tcp-runs")
            tcpRuns = std::max(1, value);
        else if (option == "--serial-runs")
            serialRuns = std::max(1, value);
    }
    Tcp(tcpRuns);
    Serial(serialRuns);
    return 0;
}
