// tvx-bench-live: what the live view costs. Prints figures; asserts nothing.
//
//   the display update of one frame (SetPanelData, the strip-chart histories and ShowGraph, then
//   the repaint they cause) on the real main panel, offscreen, for each SOURCE, against the 50 ms
//   pause between two frames;
//   the live loop against the simulator over TCP loopback: frames per second against the rate the
//   50 ms pause alone allows.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "Tvx3v61.h"
#include "bench_common.h"
#include "scripted_popups.h"
#include "sim_thread.h"

namespace {

using namespace tvx;
using namespace tvx::bench;

constexpr double kPauseSeconds = 0.05;

void DisplayUpdate(int frames) {
    ScriptedPopups popups;
    Tvx3v61 scope(popups, StartOptions{});
    scope.LoadPanels();
    scope.Main().show();
    FillBorderRamps(scope.State().xramp, scope.State().yramp);
    scope.Live().PrepareColourPlane();
    LiveValues& live = scope.State().live;
    const char* names[3] = {"colour plane", "R, G, B strip chart", "intensity strip chart"};
    for (int source = 0; source < 3; ++source) {
        QComboBox* ring = scope.Main().selectSource;
        ring->setCurrentIndex(ring->findData(source));
        scope.Live().DispVis();
        int i = 0;
        const auto samples = TimeRuns(frames, [&] {
            ++i;
            live.dataR = static_cast<std::uint16_t>(1000 + (i * 37) % 2000);
            live.dataG = static_cast<std::uint16_t>(800 + (i * 53) % 1500);
            live.dataB = static_cast<std::uint16_t>(500 + (i * 71) % 1000);
            live.dataX = static_cast<std::uint16_t>(1500 + (i * 13) % 400);
            live.dataY = static_cast<std::uint16_t>(1200 + (i * 17) % 400);
            live.dataINT = static_cast<std::uint16_t>(1300 + (i * 19) % 300);
            live.dataCOL = i % 16;
            scope.Live().SetPanelData();
            FeedHistories(scope.State().rawbuf, scope.State().intbuf, live,
                          scope.Live().IntensityBandInView());
            scope.Live().ShowGraph();
            QCoreApplication::processEvents();  // the queued replot and the repaint
            return true;
        });
        const Figures f = Summarise(samples);
        std::printf(
            "display update, %-22s median %.3f ms (p10 %.3f, p90 %.3f), %.1f%% of the 50 ms "
            "pause\n",
            names[source], f.median * 1e3, f.p10 * 1e3, f.p90 * 1e3,
            100.0 * f.median / kPauseSeconds);
    }
}

void LoopRate(double seconds) {
    sim::SimThread sensor;
    if (!sensor.Start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sensor.Error()));
        std::exit(1);
    }
    ScriptedPopups popups;
    StartOptions options;
    options.address = SensorAddress::Tcp(QStringLiteral("127.0.0.1"), sensor.TcpPort());
    options.programDirectory = QDir::tempPath();
    Tvx3v61 scope(popups, options);
    scope.LoadPanels();
    scope.Main().show();
    scope.InitVars();
    sensor.Server().ClearRequests();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [&] { scope.CBF_ButtonStop(); });
    const double start = SecondsTimer();
    scope.CBF_ButtonGo();
    const double elapsed = SecondsTimer() - start;
    const double rate = static_cast<double>(sensor.Server().RequestCount()) / elapsed;
    std::printf(
        "live loop over TCP: %.1f frames/s for %.1f s, against %.1f/s for the pause alone "
        "(ratio %.3f)\n",
        rate, elapsed, 1.0 / kPauseSeconds, rate * kPauseSeconds);
    if (scope.State().link.tcpcon) scope.Link().DisconnectTCP();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    DisplayUpdate(500);
    LoopRate(3.0);
    return 0;
}
