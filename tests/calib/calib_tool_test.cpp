// The calibration tool's shell against the simulated sensor: start-up, help, GO and STOP, the
// factor buttons, closing the window.
#include <QFile>

#include "calib_fixture.h"
#include "calib_texts.h"
#include "closed_port.h"
#include "display_checks.h"
#include "failure_reports.h"
#include "info_texts.h"
#include "measurement.h"
#include "quit_request.h"
#include "startup_probe.h"

namespace tvx::calib {
namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

TEST(CalibStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3CalibV61>(programDir.path());
}

TEST_F(CalibToolTest, StartsConnectedWithTheHandshakeOnlyAndTheSharedHistoryFile) {
    // An address history left by an earlier run in the program's directory.
    QFile history(QDir(programDir.path()).filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    QByteArray record("10.0.0.7");
    record.resize(20, '\0');
    history.write(record + '\n');
    history.close();

    sim::SimConfig config;
    config.version = "TRIVEX CALIB TEST V6.1";
    ASSERT_TRUE(sensor.Start(config));
    StartOptions options;
    options.comprotocol = 1;
    options.tcpHost = QStringLiteral("127.0.0.1");
    options.tcpPort = QString::number(sensor.TcpPort());
    options.programDirectory = programDir.path();
    tool = std::make_unique<Tvx3CalibV61>(popups, options);
    tool->LoadPanels();
    Main().show();
    tool->InitVars();

    EXPECT_EQ(Main().windowTitle(), QStringLiteral("TRIVEX-CALIB-Scope V6.1"));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX CALIB TEST V6.1"));
    EXPECT_EQ(tool->Interface().dispConnectStatus->text(),
              QStringLiteral("TRIVEX CALIB TEST V6.1"));
    EXPECT_TRUE(tool->Interface().buttonAccept->isEnabled());
    EXPECT_EQ(State().exchange.version.Text(), QStringLiteral("TRIVEX CALIB TEST V6.1"));
    EXPECT_EQ(State().ipComboBoxFileName, history.fileName());
    EXPECT_GE(tool->Interface().stringIpAdress->findText(QStringLiteral("10.0.0.7")), 0);
    EXPECT_EQ(Main().dispIpAddress->text(), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(Main().dispComPort->isHidden());
    // Unlike the scope, the tool reads no parameters after the handshake.
    EXPECT_EQ(Orders(Sensor().Requests()), std::vector<int>{7});
    EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();
    EXPECT_TRUE(CommandButtonsUsable());
    EXPECT_EQ(State().flags.poll, 0);
}

TEST_F(CalibToolTest, RightClickShowsEveryControlsHelpAndSendsNothing) {
    StartOverTcp();
    using namespace info::calib;
    CalibPanel& p = Main();
    const std::vector<std::pair<QWidget*, const char*>> controls{
        {p.buttonGo, InfoButtonGo},
        {p.buttonStop, InfoButtonStop},
        {p.buttonSendCF, InfoButtonSendCF},
        {p.buttonGetCF, InfoButtonGetCF},
        {p.buttonSendPower, InfoButtonSendPower},
        {p.buttonCalcCF, InfoButtonCalcCF},
        {p.buttonFinishCalib, InfoButtonFinishCalib},
        {p.buttonConnect, InfoButtonConnect},
        {p.editPower, InfoEditPower},
        {p.editCFR, InfoEditCF},
        {p.editCFG, InfoEditCF},
        {p.editCFB, InfoEditCF},
        {p.editSetValue, InfoEditSetValue},
        {p.editMaxDelta, InfoEditMaxDelta},
        {p.dispRaw[0], InfoDispBarsRAW},
        {p.barRaw[2], InfoDispBarsRAW},
        {p.dispCalib[1], InfoDispBars},
        {p.barCalib[0], InfoDispBars},
        {p.dispStatus, InfoStatus},
    };
    for (const auto& [control, text] : controls) {
        popups.Clear();
        RightClick(control);
        ASSERT_EQ(popups.Count(), 1) << text;
        EXPECT_EQ(popups.LastTitle(), QStringLiteral("INFO!"));
        EXPECT_EQ(popups.LastText(), Text(text));
        EXPECT_EQ(control->toolTip(), Text(text));
    }
    EXPECT_EQ(Sensor().RequestCount(), 0u);
    EXPECT_EQ(State().flags.poll, 0);
}

TEST_F(CalibToolTest, GoShowsRawAndCalibratedValuesUntilStop) {
    StartOverTcp();
    sim::SensorState state = Sensor().State();
    state.cf = {1100, 1024, 900};
    Sensor().SetState(state);
    const sim::Sample sample{2000, 1200, 800, 25};
    Sensor().SetSample(sample);
    const sim::Measurement expected = sim::Measure(state, sample);

    WindowSizeWatch window(&Main());
    bool dimmedWhileRunning = false;
    bool stopUsable = false;
    RunSequence(Main().buttonGo, [&] {
        if (Count(5) < 5) return false;
        dimmedWhileRunning = CommandButtonsDimmed();
        stopUsable = Main().buttonStop->isEnabled();
        Click(Main().buttonStop);
        return true;
    });

    EXPECT_TRUE(dimmedWhileRunning);
    EXPECT_TRUE(stopUsable);
    EXPECT_TRUE(CommandButtonsUsable());
    window.Expect("after GO and STOP");
    EXPECT_EQ(State().flags.poll, 0);
    EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();
    const std::uint16_t raw[3] = {expected.rawR, expected.rawG, expected.rawB};
    const std::uint16_t cal[3] = {expected.calR, expected.calG, expected.calB};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Main().dispRaw[c]->text(), QString::number(raw[c])) << c;
        EXPECT_EQ(Main().barRaw[c]->value(), raw[c]) << c;
        EXPECT_EQ(Main().dispCalib[c]->text(), QString::number(cal[c])) << c;
        EXPECT_EQ(Main().barCalib[c]->value(), cal[c]) << c;
    }
    EXPECT_EQ(Main().dispDeltaRaw->text(), QStringLiteral("1200"));
    EXPECT_EQ(Main().dispDeltaCalib->text(), QString::number(expected.calR - expected.calB));
    EXPECT_EQ(State().live.dataX, expected.x);
    EXPECT_EQ(State().live.dataCOL, expected.colour);
    // Every request of the loop is a data request carrying the image words behind the header.
    for (const auto& r : Sensor().Requests()) {
        EXPECT_EQ(r.Order(), 5);
        EXPECT_EQ(r.Word(0), 0x55);
    }

    // STOP while nothing runs changes nothing.
    const std::size_t before = Sensor().RequestCount();
    Click(Main().buttonStop);
    EXPECT_EQ(Sensor().RequestCount(), before);
    EXPECT_TRUE(CommandButtonsUsable());
    EXPECT_EQ(State().flags.poll, 0);
}

TEST_F(CalibToolTest, GoEndsAtTheFirstMissingReplyWithOneReport) {
    sim::SimConfig config;
    sim::Fault silent =
        *sim::Fault::Parse(QStringLiteral("noreply,order=5,skip=3,times=1"), nullptr);
    config.faults = {silent};
    StartOverTcp(config);
    RunSequence(Main().buttonGo, [] { return true; });

    EXPECT_EQ(Count(5), 4u);
    EXPECT_EQ(FailureReports(popups), 0);  // the tool has its own wording
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(popups.LastText(), Text(info::calib::InfoTimeoutVer));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(State().flags.poll, 0);
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibToolTest, GoWithoutASensorReportsOnceWithAnEmptyTitle) {
    StartOptions options;
    options.comprotocol = 1;
    options.tcpHost = QStringLiteral("127.0.0.1");
    options.tcpPort = QString::number(ClosedLocalPort());
    StartTool(options);
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(tool->Interface().dispConnectStatus->text(), QStringLiteral("CONNECTION FAILURE"));
    popups.Clear();

    RunSequence(Main().buttonGo, [] { return true; });
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.LastTitle(), QString());
    EXPECT_EQ(popups.LastText(), Text(info::calib::InfoTimeoutVer));
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibToolTest, FactorButtonsWriteAndReadTheSensorsFactors) {
    StartOverTcp();
    SetFactorBoxes(1111, 999, 888);
    Click(Main().buttonSendCF);
    ASSERT_TRUE(Sensor().WaitForRequests(1, 5000));
    const auto sent = Sensor().Requests();
    ASSERT_EQ(Orders(sent), std::vector<int>{30});
    EXPECT_EQ(sent[0].Word(0), 0x55);
    EXPECT_EQ(sent[0].Word(2), 1111);
    EXPECT_EQ(sent[0].Word(3), 999);
    EXPECT_EQ(sent[0].Word(4), 888);
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1111, 999, 888}));

    sim::SensorState state = Sensor().State();
    state.cf = {1200, 1000, 800};
    Sensor().SetState(state);
    Click(Main().buttonGetCF);
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1200, 1000, 800}));
    EXPECT_EQ(State().calib.factors, (CalibrationFactors{1200, 1000, 800}));
    EXPECT_EQ(Orders(Sensor().Requests()), (std::vector<int>{30, 31}));
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibToolTest, MissingFactorReplyIsReportedAndLeavesTheBoxes) {
    sim::SimConfig config;
    config.faults = {*sim::Fault::Parse(QStringLiteral("noreply,order=31"), nullptr)};
    StartOverTcp(config);
    SetFactorBoxes(1001, 1002, 1003);
    Click(Main().buttonGetCF);
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(popups.LastText(), Text(info::calib::InfoTimeoutVer));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1001, 1002, 1003}));
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibToolTest, ConnectDuringGoEndsTheLoopAndOpensTheInterfacePanel) {
    StartOverTcp();
    bool tryDimmedDuringGo = false;
    RunSequence(Main().buttonGo, [&] {
        if (Count(5) < 3) return false;
        tryDimmedDuringGo = !tool->Interface().buttonTryToConnect->isEnabled();
        Click(Main().buttonConnect);
        return true;
    });
    EXPECT_TRUE(tryDimmedDuringGo);
    EXPECT_EQ(State().flags.poll, 0);
    EXPECT_TRUE(tool->Interface().isVisible());
    EXPECT_TRUE(tool->Interface().buttonTryToConnect->isEnabled());
    EXPECT_FALSE(tool->Interface().buttonAccept->isEnabled());
    EXPECT_TRUE(CommandButtonsUsable());

    // Trying again reconnects and the handshake frees Accept.
    Sensor().ClearRequests();
    Click(tool->Interface().buttonTryToConnect);
    EXPECT_EQ(Orders(Sensor().Requests()), std::vector<int>{7});
    EXPECT_TRUE(tool->Interface().buttonAccept->isEnabled());
}

TEST_F(CalibToolTest, ClosingTheWindowDuringGoEndsTheLoopAndThenTheProgram) {
    StartOverTcp();
    RunSequence(Main().buttonGo, [&] {
        if (Count(5) < 3) return false;
        Main().close();
        return true;
    });
    EXPECT_TRUE(tool->QuitRequested());
    EXPECT_FALSE(Main().isVisible());
    EXPECT_EQ(State().flags.poll, 0);
    const std::size_t after = Sensor().RequestCount();
    Pause(0.2, WaitMode::ServeUserInput);
    EXPECT_EQ(Sensor().RequestCount(), after);
    EXPECT_EQ(popups.Count(), 0);
    ForgetQuitRequest();
}

}  // namespace
}  // namespace tvx::calib
