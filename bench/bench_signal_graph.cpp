// tvx-bench-signal-graph: what one recorded sample costs the signal graph. Prints figures;
// asserts nothing.
//
//   The real signal-graph panel of the scope, offscreen, takes sample after sample through the
//   call the recorder makes for each recorded frame; one sample is timed together with the
//   repaint it causes (events are processed until the visible graph has painted). Figures are
//   medians over 50 samples around two sample counts, for the panel shown and for the panel
//   hidden, and the growth of the process's resident memory between the two counts. Also timed:
//   choosing another SIGNAL at the end, which draws that graph's whole trace at once.
//
//   tvx-bench-signal-graph [LATE]   LATE: the later count (default 60000)

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "Tvx3v61.h"
#include "bench_common.h"
#include "paint_counter.h"
#include "scripted_popups.h"

namespace {

using namespace tvx;
using namespace tvx::bench;

constexpr int kEarly = 100;
constexpr int kAround = 25;  // samples timed on each side of a count

double ResidentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0.0;
}

struct Run {
    double early = 0.0;  // median seconds around kEarly
    double late = 0.0;   // median seconds around the later count
    double memoryGrowth = 0.0;
    double wholeTrace = 0.0;  // seconds to show another graph at the end
};

Run Feed(bool shown, int late) {
    ScriptedPopups popups;
    Tvx3v61 scope(popups, StartOptions{});
    scope.LoadPanels();
    auto& panel = scope.SignalGraph();
    if (shown) scope.SignalGraphOps().CBF_ButtonShowGraph();
    QCoreApplication::processEvents();
    PaintCounter counter;
    panel.VisibleGraph()->installEventFilter(&counter);

    LiveValues& live = scope.State().live;
    std::vector<double> early, later;
    double memoryEarly = 0.0;
    Run run;
    for (int i = 0; i <= late + kAround; ++i) {
        live.dataR = static_cast<std::uint16_t>(1000 + (i * 37) % 2000);
        live.dataG = static_cast<std::uint16_t>(800 + (i * 53) % 1500);
        live.dataB = static_cast<std::uint16_t>(500 + (i * 71) % 1000);
        live.dataX = static_cast<std::uint16_t>(1500 + (i * 13) % 400);
        live.dataY = static_cast<std::uint16_t>(1200 + (i * 17) % 400);
        live.dataINT = static_cast<std::uint16_t>(1300 + (i * 19) % 300);
        live.dataTemp = static_cast<std::uint16_t>(20 + i % 10);
        const int paints = counter.paints;
        const double start = SecondsTimer();
        scope.SignalGraphOps().SetPanelGraphData();
        // The repaint the sample causes; a hidden panel paints nothing.
        for (int pass = 0; pass < 3 && counter.paints == paints; ++pass)
            QCoreApplication::processEvents();
        const double elapsed = SecondsTimer() - start;
        if (std::abs(i - kEarly) < kAround || i == kEarly + kAround) early.push_back(elapsed);
        if (std::abs(i - late) < kAround || i == late + kAround) later.push_back(elapsed);
        if (i == kEarly) memoryEarly = ResidentMegabytes();
        if (i == late) run.memoryGrowth = ResidentMegabytes() - memoryEarly;
    }
    run.early = Median(early);
    run.late = Median(later);
    if (shown) {
        PaintCounter other;
        TracePlot* temperature = panel.graphs.back();
        temperature->installEventFilter(&other);
        const double start = SecondsTimer();
        panel.editSignal->setCurrentIndex(panel.editSignal->findData(kSignalCount - 1));
        scope.SignalGraphOps().CBF_EditSignal();
        for (int pass = 0; pass < 3 && other.paints == 0; ++pass) QCoreApplication::processEvents();
        run.wholeTrace = SecondsTimer() - start;
    }
    return run;
}

void Print(const char* what, const Run& run, int late) {
    std::printf("%s: sample %d %.3f ms, sample %d %.3f ms, ratio %.2f, memory growth %.1f MB\n",
                what, kEarly, run.early * 1e3, late, run.late * 1e3, run.late / run.early,
                run.memoryGrowth);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int late = argc > 1 ? std::atoi(argv[1]) : 60000;
    if (late <= kEarly + 2 * kAround) {
        std::fprintf(stderr, "the later count must lie beyond %d\n", kEarly + 2 * kAround);
        return 2;
    }
    // The shown panel first, so that its memory growth is not hidden by memory the other run
    // gave back.
    const Run shown = Feed(true, late);
    const Run hidden = Feed(false, late);
    std::printf(
        "signal graph: another SIGNAL chosen after %d samples draws its whole trace in "
        "%.1f ms\n",
        late + kAround + 1, shown.wholeTrace * 1e3);
    Print("signal graph hidden", hidden, late);
    Print("signal graph", shown, late);
    return 0;
}
