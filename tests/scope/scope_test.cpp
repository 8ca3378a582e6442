// The running scope against the simulated sensor, and the scope as a process.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include "closed_port.h"
#include "measurement.h"
#include "program_process.h"
#include "quit_request.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

using ScopeTest = ScopeWithSensor;

TEST_F(ScopeTest, StartUpShowsTheVersionOrWhyNoConnectionCameAbout) {
    StopScope();
    sensor.Stop();
    struct Case {
        QByteArray version;  // empty: no sensor
        bool serial;
        const char* shown;
        int boxes;
    };
    for (const Case& c : {Case{QByteArray("V6.1\0GARBAGE", 12), false, "V6.1", 0},
                          Case{sim::kDefaultVersion, true, sim::kDefaultVersion, 0},
                          Case{{}, false, "TIMEOUT", 1}, Case{{}, true, "TIMEOUT", 0}}) {
        SCOPED_TRACE(c.shown);
        sim::SimConfig config;
        config.version = c.version;
        config.tcp = !c.serial;
        config.pty = c.serial;
        config.baud = 19200;
        ASSERT_TRUE(c.version.isEmpty() || sensor.Start(config));
        const quint16 port = c.version.isEmpty() ? ClosedLocalPort() : sensor.TcpPort();
        const QString device = c.version.isEmpty() ? "/dev/no-such-port" : sensor.PtyPath();
        StartWith(c.serial ? SerialOptions(device) : TcpStartOptions(port));
        EXPECT_EQ(Main().dispStatus->text(), c.shown);
        EXPECT_EQ(popups.Count(), c.boxes) << popups.Texts().join('|').toStdString();
        EXPECT_EQ(popups.Titles().value(0), c.boxes ? "TCP Client" : "");
        StopScope();
        sensor.Stop();
        popups.Clear();
    }
}

TEST(ScopeStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3v61>(programDir.path());
}

TEST_F(ScopeTest, PagesHelpFunctionKeysAndClosing) {
    // The help as the user reads it: blanks at both ends, line breaks and the degree sign kept.
    const std::pair<QWidget*, const char*> helps[] = {
        {Main().buttonStop, " Stops data transfer from sensor to PC.\n Shortcut Key: F12. "},
        {Main().dispTemp, " Displays in \u00B0C the actual temperature in the sensor."},
    };
    for (const auto& [control, text] : helps) tvx::ExpectHelp(popups, control, text);
    Click(Main().switchPara);
    EXPECT_FALSE(Main().parameterPage->isVisible());
    EXPECT_TRUE(Main().teachPage->isVisible());
    tvx::ExpectHelp(popups, scope->RowColourOps().buttonColor, info::InfoButtonColor, "Info");
    QApplication::setActiveWindow(&Main());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    bool sawLoop = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (scope->State().flags.poll != 1 || sawLoop) return;
        sawLoop = !Main().buttonGo->isEnabled();
        QTest::keyClick(Main().windowHandle(), Qt::Key_F12);
    });
    stopper.start(50);
    QTest::keyClick(Main().windowHandle(), Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sawLoop && Main().buttonGo->isEnabled(); }, 10000));
    stopper.stop();

    scope->State().flags.pollrecord = 1;
    RunLoop(Main().buttonGo, [&] {
        Main().close();
        return true;
    });
    EXPECT_TRUE(scope->QuitRequested());
    EXPECT_EQ(scope->State().flags.poll + scope->State().flags.pollrecord, 0);
    const std::size_t after = Sensor().RequestCount();
    ForgetQuitRequest();
    EXPECT_EQ(Sensor().RequestCount(), after);
}

TEST_F(ScopeTest, InterfacePanelReconnectsAndDiscards) {
    InterfacePanel& ip = scope->Interface();
    const int firstConversation = scope->State().link.g_hconversation;
    scope->State().flags.poll = 1;
    Click(Main().buttonConnect);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(ip.isVisible() && !ip.buttonAccept->isEnabled());
    Click(ip.buttonTryToConnect);
    EXPECT_NE(scope->State().link.g_hconversation, firstConversation);
    ip.stringPortNumber->setText(QString::number(ClosedLocalPort()));
    Click(ip.buttonTryToConnect);
    EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
    popups.Clear();
    Click(ip.buttonDiscard);
    EXPECT_EQ(ip.stringPortNumber->text(), QString::number(sensor.TcpPort()));
    EXPECT_EQ(Main().dispStatus->text(), sim::kDefaultVersion);
    EXPECT_FALSE(ip.isVisible());
    EXPECT_EQ(popups.Count(), 0);
}

QByteArray Record(const QByteArray& text) {
    return text.left(20) + QByteArray(20 - std::min<int>(text.size(), 20), '\0') + '\n';
}

TEST_F(ScopeTest, AddressHistoryKeepsTheCommittedAddressesNewestFirst) {
    StopScope();
    QFile file(programDir.filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Record("second") + Record("") + Record("12345678901234567890") + "xyz");
    file.close();
    StartScope();
    QComboBox* field = scope->Interface().stringIpAdress;
    auto enter = [&](const QString& address) {
        field->lineEdit()->selectAll();
        QTest::keyClick(field->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(field->lineEdit(), address);
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        file.close();
        return content;
    };
    EXPECT_EQ(field->count(), 2);
    EXPECT_EQ(field->itemText(1), "12345678901234567890");
    scope->Interface().show();
    EXPECT_EQ(enter("12345678901234567890"), Record("12345678901234567890") + Record("second"));
    EXPECT_EQ(field->itemText(0), "12345678901234567890");
    for (int i = 0; i < 9; ++i) enter(QStringLiteral("192.168.7.%1").arg(i));
    const QByteArray content = enter("an-address-of-25-chars-xx");
    EXPECT_EQ(content.size(), 210);
    EXPECT_EQ(content.left(21), Record("an-address-of-25-cha"));
    EXPECT_EQ(content.right(21), Record("192.168.7.0"));
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText("502abc"), 502);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText("99999999999999"), 2147483647);
}

TEST_F(ScopeTest, ParametersTravelBetweenPanelsSensorAndFile) {
    EXPECT_EQ(Controls().gridTeach->Value(3, 4), Sensor().State().ram[16 + 6 * 3 + 4]);
    EXPECT_EQ(scope->ColourGroups().Group(2), Sensor().State().ram[16 + 6 * 2 + 5]);
    Sensor().ClearRequests();
    Controls().slidePower->setValue(321);
    Controls().gridTeach->SetValue(14, 3, 0xFEDC);
    Click(Main().buttonSend);
    const auto requests = Sensor().Requests();
    ASSERT_EQ(requests.size(), 16u);
    EXPECT_EQ(requests[0].Word(2), 321);
    EXPECT_EQ(requests[15].Word(2), 14);
    EXPECT_EQ(requests[15].Word(3 + 3), 0xFEDC);

    Click(Main().selectEEPROM);
    Controls().slidePower->setValue(999);
    Click(Main().buttonSend);
    EXPECT_EQ(Sensor().State().eeprom[0], 999);
    Controls().slidePower->setValue(5);
    Sensor().ClearRequests();
    popups.QueueConfirm(true);
    Click(Main().buttonGet);
    EXPECT_EQ(SensorOrders(), ReadOrders(true));
    EXPECT_EQ(Controls().slidePower->value(), 999);

    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    Click(Main().selectFILE);
    Controls().gridTeach->SetValue(5, 1, 65535);
    popups.QueueFileSelection(path);
    Click(Main().buttonSend);
    Controls().slidePower->setValue(2);
    popups.QueueConfirm(true);
    popups.QueueFileSelection(path);
    Click(Main().buttonGet);
    EXPECT_EQ(Controls().slidePower->value(), 999);
    EXPECT_EQ(Sensor().RequestCount(), ReadOrders(true).size());
}

TEST_F(ScopeTest, ABrokenParameterReadLeavesPanelsAndSetAsTheyWere) {
    Sensor().WithModel([](sim::SensorModel& m) { m.state().ram[16] = 1111; });
    sim::Fault wrong;
    wrong.kind = sim::FaultKind::WrongOrder;
    wrong.order = 4;
    wrong.skip = 5;
    wrong.times = 1;
    Sensor().AddFault(wrong);
    const ParameterSet before = scope->State().params;
    Click(Main().buttonGet);
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_NE(Controls().gridTeach->Value(0, 0), 1111);
    EXPECT_EQ(scope->State().params, before);
    Click(Main().buttonGet);
    EXPECT_EQ(Controls().gridTeach->Value(0, 0), 1111);
    EXPECT_EQ(popups.Count(), 1);
}

TEST_F(ScopeTest, GoShowsEveryFrameUntilStop) {
    const sim::Sample sample{3000, 1600, 480, 27};
    Sensor().WithModel([&](sim::SensorModel& model) { model.SetSample(sample); });
    Sensor().ClearRequests();
    const sim::Measurement m = sim::Measure(Sensor().State(), sample);
    bool dimmed = false;
    std::size_t changedAt = 0;
    RunLoop(Main().buttonGo, [&] {
        if (changedAt == 0 && Sensor().RequestCount() >= 3) {
            dimmed = !Main().buttonSend->isEnabled() && !Main().buttonConnect->isEnabled() &&
                     !Controls().editCalcmode->isEnabled() && Main().buttonStop->isEnabled();
            Choose(Main().selectSource, 1);
            changedAt = Sensor().RequestCount();
        }
        if (changedAt == 0 || Sensor().RequestCount() < changedAt + 3) return false;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(dimmed);
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 5));
    EXPECT_EQ(Main().dispRed->text(), QString::number(m.calR));
    EXPECT_EQ(Main().dispINT->text(), QString::number(m.intensity));
    EXPECT_EQ(Main().dispTemp->text(), "27");
    EXPECT_EQ(Main().graphData1->PlotCount(), 1) << "the X/Y border was drawn for the loop";
    const QVector<double> red = Main().graphRGB->TraceValues(0);  // one sample per frame
    EXPECT_EQ(red.mid(kHistorySamples - int(orders.size())),
              QVector<double>(int(orders.size()), m.calR));
    EXPECT_EQ(red[kHistorySamples - int(orders.size()) - 1], 0);
}

TEST_F(ScopeTest, ASilentSensorEndsEachLoopAndLeavesItsView) {
    for (QAbstractButton* button : {static_cast<QAbstractButton*>(Main().buttonGo),
                                    static_cast<QAbstractButton*>(scope->Teach().buttonZoom)}) {
        const bool zoom = button != Main().buttonGo;
        Sensor().ClearFaults();
        Sensor().ClearRequests();
        if (zoom) Controls().ParaInVis();
        popups.Clear();
        RunLoop(button, [&] {
            if (Sensor().RequestCount() < 2) return false;
            sim::Fault silent;
            silent.kind = sim::FaultKind::NoReply;
            Sensor().AddFault(silent);
            return true;
        });
        EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
        EXPECT_TRUE(popups.Count() == 1 && FailureReports(popups) == 1);
        EXPECT_EQ(scope->Live().ZoomGraphInFront(), zoom);
    }
}

TEST(ScopeProgram, ATerminationRequestEndsItWithExitCodeZero) {
    const QString exe = QStringLiteral(TVX_SCOPE_EXE);
    QProcess scope;
    StartProgram(scope, exe, TcpArguments(ClosedLocalPort()));
    // Give the failed connection attempt time to be made before the program is asked to end.
    scope.waitForFinished(1500);
    ASSERT_EQ(scope.state(), QProcess::Running) << scope.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(scope), 0);
    ExpectTerminationEndsAProgramWithABoxOpen(exe);
    ExpectNoWindowSystemEndsTheStart(exe);
}

}  // namespace
}  // namespace tvx
