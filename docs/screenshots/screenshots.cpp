// The guide's screenshots: the three programs' real panels, run in one process against the
// simulated sensor, operated through their buttons and grabbed in each main state.
//   tvx-screenshots OUTPUT_DIR
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "Tvx3v61.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "wait.h"

namespace tvx {
namespace {

QString g_outDir;
int g_failures = 0;

void Step(const char* what) {
    std::fprintf(stderr, "screenshots: %s\n", what);
}

// The whole panel, or the part `area` of it.
void Save(QWidget& panel, const char* name,
          const QRect& area = QRect(QPoint(0, 0), QSize(-1, -1))) {
    panel.raise();
    QCoreApplication::processEvents();
    const QString path = QDir(g_outDir).filePath(QString::fromLatin1(name) + ".png");
    if (panel.grab(area).save(path)) {
        std::printf("%s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

// Clicks a button whose callback runs a loop; `step` is called every 50 ms while it runs and ends
// it (by STOP or the like) when it returns true. A loop that outlives 60 s is abandoned.
void RunLoop(QAbstractButton* button, const std::function<bool()>& step, std::uint16_t& poll) {
    QTimer user;
    bool done = false;
    const double start = SecondsTimer();
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!done) done = step();
        if (SecondsTimer() - start > 60.0) {
            std::fprintf(stderr, "screenshots: a loop did not end\n");
            ++g_failures;
            poll = 0;
        }
    });
    user.start(50);
    button->click();
    user.stop();
}

StartOptions Connected(quint16 port, const QString& dir) {
    StartOptions options;
    options.address = SensorAddress::Tcp(QStringLiteral("127.0.0.1"), port);
    options.programDirectory = dir;
    return options;
}

// Waits (serving events) until the sensor has answered `more` further requests.
std::function<bool()> After(sim::SimServer& sensor, std::size_t more,
                            const std::function<void()>& then) {
    const std::size_t until = sensor.RequestCount() + more;
    return [&sensor, until, then] {
        if (sensor.RequestCount() < until) return false;
        then();
        return true;
    };
}

void ScopeShots(sim::SimServer& sensor, quint16 port, const QString& dir) {
    ScriptedPopups popups;
    popups.SetDefaultConfirm(true);
    Tvx3v61 scope(popups, Connected(port, dir));
    scope.LoadPanels();
    MainPanel& main = scope.Main();
    main.show();
    scope.InitVars();
    std::uint16_t& poll = scope.State().flags.poll;
    auto stop = [&] { main.buttonStop->click(); };

    sensor.SetSample({2600, 1500, 700, 27});
    RunLoop(main.buttonGo,
            After(sensor, 40,
                  [&] {
                      Save(main, "scope-live");
                      stop();
                  }),
            poll);

    // Teach page: three colours taught into rows 0 to 2, then the live point among them.
    Step("teach page");
    main.switchPara->click();
    const sim::Sample colours[] = {
        {2600, 1500, 700, 27}, {900, 2200, 1100, 27}, {1000, 1200, 2600, 27}};
    for (int row = 0; row < 3; ++row) {
        sensor.SetSample(colours[row]);
        RunLoop(main.buttonGo, After(sensor, 6, stop), poll);
        Step("teach a row");
        scope.Controls().editNo->setValue(row);
        scope.Controls().buttonTeachDataTo->click();
    }
    // AUTO ADJUST sizes the circles and shows the zoom of the table, live.
    Step("auto adjust and zoom");
    sensor.SetSample({2500, 1550, 760, 27});
    RunLoop(scope.Teach().buttonAutoAdjust,
            After(sensor, 30,
                  [&] {
                      Save(main, "scope-zoom");
                      stop();
                  }),
            poll);
    // APPLY FROM ALL draws every row's circle on the colour plane.
    scope.Teach().buttonApplyFromAll->click();
    Save(main, "scope-teach");
    // The pieces the guide's concepts explain, each on its own.
    Save(*main.graphData1, "concept-colour-plane");
    Save(*main.teachPage, "concept-teach-page");

    // Colour groups: the first two colours form group 0, the third group 1.
    Step("colour groups");
    ParameterControls& controls = scope.Controls();
    controls.buttonColorGroups->click();
    GroupPanel& groups = scope.ColourGroups();
    for (int row = 0; row < 3; ++row) groups.SetGroup(row, row < 2 ? 0 : 1);
    groups.switchColorGroups->setChecked(true);
    controls.CBF_EditColorGroups();
    Save(groups, "concept-colour-groups");
    groups.hide();

    // The parameter page, then evaluation mode 3 with what it changes on the main panel.
    Step("evaluation modes");
    main.switchPara->click();
    Save(*main.parameterPage, "concept-parameters");
    const auto evaluationMode = [&](int mode) {
        controls.editEvalmode->setCurrentIndex(controls.editEvalmode->findData(mode));
        controls.CBF_Evalmode();
    };
    evaluationMode(3);
    Save(main, "concept-evalmode-3");
    evaluationMode(0);

    Step("mean-value teach");
    MeanTeachPanel& teach = scope.MeanValueTeach();
    int captures = 0;
    RunLoop(
        scope.MeanTeach().buttonTeachMeanVal,
        [&] {
            if (!teach.isVisible()) return false;
            teach.buttonTpCapture->click();
            if (++captures < 12) return false;
            Save(teach, "scope-mean-teach");
            stop();
            return true;
        },
        poll);
    teach.hide();

    // Recorder: frames polled by hand into a record file, then the signal graph of them.
    Step("recorder");
    scope.Recording().buttonOpenRecorder->click();
    RecorderPanel& recorder = scope.Recorder();
    popups.QueueFileSelection(QDir(dir).filePath(QStringLiteral("record.dat")));
    recorder.buttonSelRecFile->click();
    recorder.editSelectDataRec->setCurrentIndex(recorder.editSelectDataRec->findData(1));
    scope.Recording().CBF_EditSelectDataRec();
    // START POLLING shows the live frames; MANUAL RECORD writes one line each.
    int recorded = 0;
    RunLoop(
        recorder.buttonStartPolling,
        [&] {
            const int i = recorded;
            sensor.SetSample(
                {2000.0 + 12 * i, 1400.0 - 6 * i, 800.0 + 9 * (i % 20), 27.0 + i / 20});
            recorder.buttonManualRecord->click();
            if (++recorded < 60) return false;
            Save(recorder, "scope-recorder");
            recorder.buttonStopPolling->click();
            return true;
        },
        scope.State().flags.pollrecord);
    recorder.buttonCloseRecorder->click();
    scope.SignalGraphOps().buttonShowGraph->click();
    Save(scope.SignalGraph(), "scope-signal-graph");
    scope.SignalGraph().hide();

    // The recognition margin: the taught table sent to the sensor, then the point placed 85 % of
    // row 0's radius out from its centre, where the display turns yellow.
    Step("recognition margin");
    main.buttonSend->click();
    const WordTable* table = controls.gridTeach;
    const double sum = 3.0 * table->Value(0, kColumnInt);
    const double x = table->Value(0, kColumnX) + 0.85 * table->Value(0, kColumnCto);
    const double red = x * sum / 4095, green = table->Value(0, kColumnY) * sum / 4095;
    sensor.SetSample({red, green, sum - red - green, 27});
    RunLoop(main.buttonGo,
            After(sensor, 10,
                  [&] {
                      const QRect numbers = main.planeDisplays->geometry().united(
                          main.dispTemp->parentWidget()->geometry());
                      Save(main, "scope-margin", numbers.adjusted(-8, -6, 8, 6));
                      stop();
                  }),
            poll);

    scope.Link().CloseCom();
    if (scope.State().link.tcpcon) scope.Link().DisconnectTCP();
}

void CalibShots(sim::SimServer& sensor, quint16 port, const QString& dir) {
    ScriptedPopups popups;
    popups.SetDefaultConfirm(true);
    calib::Tvx3CalibV61 tool(popups, Connected(port, dir));
    tool.LoadPanels();
    tool.Main().show();
    tool.InitVars();
    sensor.SetSample({3100, 2900, 2700, 27});
    // The calculation averages 100 frames, sends the factors and goes on in GO mode.
    RunLoop(tool.Main().buttonCalcCF,
            After(sensor, 140,
                  [&] {
                      Save(tool.Main(), "calib-run");
                      tool.Main().buttonStop->click();
                  }),
            tool.State().flags.poll);
    tool.Link().CloseCom();
    if (tool.State().link.tcpcon) tool.Link().DisconnectTCP();
}

void TempCompShots(quint16 port, const QString& dir) {
    ScriptedPopups popups;
    tempcomp::Tvx3TempCompV61 tool(popups, Connected(port, dir));
    tool.LoadPanels();
    tool.Main().show();
    tool.InitVars();
    // An example sensor: each channel loses a little with the temperature, red the most.
    const double slopes[3][3] = {{0.004, -1.2, 1060}, {0.002, -0.7, 1035}, {0.001, -0.4, 1020}};
    for (int channel = 0; channel < 3; ++channel)
        for (int k = 0; k < 3; ++k)
            tool.Main().editCoefficient[static_cast<std::size_t>(channel * 5 + 2 + k)]->setValue(
                slopes[channel][k]);
    tool.Main().buttonCalcCurves->click();
    tool.Main().buttonCalcCalib->click();
    Save(tool.Main(), "tempcomp-curves");
    tool.Link().CloseCom();
    if (tool.State().link.tcpcon) tool.Link().DisconnectTCP();
}

}  // namespace
}  // namespace tvx

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tvx-screenshots OUTPUT_DIR\n");
        return 2;
    }
    tvx::g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(tvx::g_outDir);
    QTemporaryDir programDir;
    tvx::sim::SimThread sensor;
    if (!sensor.Start()) {
        std::fprintf(stderr, "screenshots: %s\n", qPrintable(sensor.Error()));
        return 1;
    }
    sensor.Server().SetNoise(10);
    tvx::ScopeShots(sensor.Server(), sensor.TcpPort(), programDir.path());
    tvx::CalibShots(sensor.Server(), sensor.TcpPort(), programDir.path());
    tvx::TempCompShots(sensor.TcpPort(), programDir.path());
    return tvx::g_failures == 0 ? 0 : 1;
}
