// The running scope against the simulated sensor: the start-up on both links, the interface
// panel and its address history, the parameter path and the live loop checked from the sensor's
// side; and the scope as a process.
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

// The start-up shows the sensor's version text up to its first zero byte, over TCP and a serial
// line; a start that cannot connect shows TIMEOUT, with the TCP client's box over TCP only.
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
        EXPECT_EQ(Main().dispComPort->isHidden(), !c.serial);
        EXPECT_EQ(scope->Interface().buttonAccept->isEnabled(), !c.version.isEmpty());
        if (c.boxes) EXPECT_EQ(popups.Titles().value(0), "TCP Client");
        if (!c.version.isEmpty()) EXPECT_EQ(Sensor().Requests().front().bytes.size(), 36);
        StopScope();
        sensor.Stop();
        popups.Clear();
    }
}

TEST(ScopeStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3v61>(programDir.path());
}

// The page switch, help on a right click (a dimmed control's too), the function keys (F11 GO,
// F12 STOP); closing the recorder returns to the main panel and ends its polling; closing the
// main panel ends both loops and the program.
TEST_F(ScopeTest, PagesHelpFunctionKeysAndClosing) {
    ASSERT_FALSE(Controls().editDynWinLo->isEnabled());
    tvx::ExpectHelp(popups, Controls().editDynWinLo, info::InfoEditDynWinLoHi);
    Click(Main().switchPara);
    EXPECT_FALSE(Main().parameterPage->isVisible());
    EXPECT_TRUE(Main().teachPage->isVisible());
    tvx::ExpectHelp(popups, scope->RowColourOps().buttonColor, info::InfoButtonColor, "Info");
    QApplication::setActiveWindow(&Main());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    EXPECT_EQ(Main().buttonSend->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_EQ(Main().buttonGet->shortcut(), QKeySequence(Qt::Key_F10));
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

    Main().hide();
    scope->Recorder().show();
    scope->State().flags.pollrecord = 1;
    scope->Recorder().close();
    EXPECT_TRUE(Main().isVisible() && scope->State().flags.pollrecord == 0);
    EXPECT_FALSE(scope->QuitRequested());
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

// CONNECT stops the live loop and opens the interface panel; TRY TO CONNECT makes a new
// conversation; DISCARD puts the old settings back and reconnects. The protocol shows its
// controls and their labels.
TEST_F(ScopeTest, InterfacePanelReconnectsAndDiscards) {
    InterfacePanel& ip = scope->Interface();
    const int firstConversation = scope->State().link.g_hconversation;
    scope->State().flags.poll = 1;
    Click(Main().buttonConnect);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(ip.isVisible() && !ip.buttonAccept->isEnabled());
    Click(ip.buttonTryToConnect);
    EXPECT_NE(scope->State().link.g_hconversation, firstConversation);
    EXPECT_TRUE(ip.buttonAccept->isEnabled());
    ip.stringPortNumber->setText(QString::number(ClosedLocalPort()));
    Click(ip.buttonTryToConnect);
    EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
    EXPECT_FALSE(ip.buttonAccept->isEnabled());
    popups.Clear();
    Click(ip.buttonDiscard);
    EXPECT_EQ(ip.stringPortNumber->text(), QString::number(sensor.TcpPort()));
    EXPECT_EQ(Main().dispStatus->text(), sim::kDefaultVersion);
    EXPECT_FALSE(ip.isVisible());
    EXPECT_EQ(popups.Count(), 0);
    ip.show();
    for (const int protocol : {0, 1}) {
        Choose(ip.editCommunicationProtocol, protocol);
        EXPECT_EQ(scope->State().link.comprotocol, protocol);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ip.editSelectComPort, ip.stringIpAdress, ip.stringPortNumber}) {
            const bool shown = (protocol == 0) == (control == ip.editSelectComPort);
            EXPECT_EQ(control->isVisible(), shown) << protocol;
            EXPECT_EQ(ip.LabelOf(control)->isVisible(), shown) << protocol;
        }
    }
    Click(ip.buttonAccept);
    EXPECT_FALSE(ip.isVisible());
}

QByteArray Record(const QByteArray& text) {
    return text.left(20) + QByteArray(20 - std::min<int>(text.size(), 20), '\0') + '\n';
}

// The address history: 21-byte records, newest first; empty records and a short tail are no
// entries; a committed address goes to the top of list and file (at most 10, of 20 bytes). The
// port is the value of the leading digits.
TEST_F(ScopeTest, AddressHistoryKeepsTheCommittedAddressesNewestFirst) {
    StopScope();
    QFile file(programDir.filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Record("second") + Record("") + Record("12345678901234567890") + "xyz");
    file.close();
    StartScope();
    QComboBox* field = scope->Interface().stringIpAdress;
    auto entries = [field] {
        QStringList list;
        for (int i = 0; i < field->count(); ++i) list << field->itemText(i);
        return list;
    };
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
    EXPECT_EQ(entries(), (QStringList{"second", "12345678901234567890"}));
    EXPECT_EQ(field->currentText(), "127.0.0.1") << "the command line's address stays";
    scope->Interface().show();
    EXPECT_EQ(enter("12345678901234567890"), Record("12345678901234567890") + Record("second"));
    EXPECT_EQ(entries(), (QStringList{"12345678901234567890", "second"}));
    EXPECT_EQ(scope->State().link.ipBuf, "12345678901234567890");
    for (int i = 0; i < 9; ++i) enter(QStringLiteral("192.168.7.%1").arg(i));
    const QByteArray content = enter("an-address-of-25-chars-xx");
    EXPECT_EQ(content.size(), 210);
    EXPECT_EQ(content.left(21), Record("an-address-of-25-cha"));
    EXPECT_EQ(content.right(21), Record("192.168.7.0"));
    EXPECT_EQ(enter(QString()).left(21), Record(""));
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText("502abc"), 502);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText("99999999999999"), 2147483647);
}

// The start-up reads RAM into the panels; SEND and GET carry the panel values to and from RAM,
// the EEPROM and a parameter file.
TEST_F(ScopeTest, ParametersTravelBetweenPanelsSensorAndFile) {
    EXPECT_EQ(SensorOrders().size(), 1 + ReadOrders(false).size());
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
    EXPECT_EQ(Sensor().State().ram[0], 321);

    Click(Main().selectEEPROM);
    Controls().slidePower->setValue(999);
    Click(Main().buttonSend);
    EXPECT_EQ(Sensor().State().eeprom[0], 999);
    Controls().slidePower->setValue(5);
    Sensor().ClearRequests();
    Click(Main().buttonGet);
    EXPECT_EQ(SensorOrders(), ReadOrders(true));
    EXPECT_EQ(Controls().slidePower->value(), 999);

    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    Click(Main().selectFILE);
    Controls().gridTeach->SetValue(5, 1, 65535);
    popups.QueueFileSelection(path);
    Click(Main().buttonSend);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 107);  // 106 lines, each ended by a line feed
    EXPECT_EQ(lines[0], "       999");
    EXPECT_EQ(lines[16 + 6 * 5 + 1], "     65535");
    Controls().slidePower->setValue(2);
    popups.QueueFileSelection(path);
    Click(Main().buttonGet);
    EXPECT_EQ(Controls().slidePower->value(), 999);
    EXPECT_EQ(Sensor().RequestCount(), ReadOrders(true).size());
    EXPECT_EQ(popups.Count(PopupKind::Message), 0) << popups.Texts().join('|').toStdString();
}

// A read broken at row 5 takes nothing: neither the panels nor the parameter set (which a later
// SEND would carry) hold a row of it; the next whole read takes everything.
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

// GO asks for data frames only and shows each until STOP, with the commands dimmed meanwhile;
// SOURCE changed during the loop takes effect with the next frame.
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
    EXPECT_TRUE(Main().buttonGo->isEnabled() && Main().buttonSend->isEnabled());
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 5));
    EXPECT_EQ(Main().dispRed->text(), QString::number(m.calR));
    EXPECT_EQ(Main().dispINT->text(), QString::number(m.intensity));
    EXPECT_EQ(Main().dispCOL->text(), QString::number(m.colour));
    EXPECT_EQ(Main().dispTemp->text(), "27");
    EXPECT_EQ(Main().graphData1->CursorPosition(), QPointF(m.x, m.y));
    EXPECT_EQ(Main().graphData1->PlotCount(), 1) << "the X/Y border was drawn for the loop";
    const QVector<double> red = Main().graphRGB->TraceValues(0);  // one sample per frame
    EXPECT_EQ(red.mid(kHistorySamples - int(orders.size())),
              QVector<double>(int(orders.size()), m.calR));
    EXPECT_EQ(red[kHistorySamples - int(orders.size()) - 1], 0);
}

// A sensor that stops answering ends a loop with one report; what the loop showed stays: the
// last frame of GO, the zoom graph in front.
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
        EXPECT_EQ(scope->State().flags.poll, 0) << zoom;
        EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
        EXPECT_EQ(FailureReports(popups), popups.Count());
        EXPECT_EQ(popups.Count(), 1);
        EXPECT_FALSE(Main().dispRed->text().isEmpty()) << "the last good frame stays";
        EXPECT_EQ(scope->Live().ZoomGraphInFront(), zoom);
        EXPECT_TRUE(button->isEnabled());
    }
}

// Ended by the system (SIGTERM) with nothing listening or a box open, the program exits with
// code 0; without a window system it ends with the start failure code.
TEST(ScopeProgram, ATerminationRequestEndsItWithExitCodeZero) {
    const QString exe = QStringLiteral(TVX_SCOPE_EXE);
    QProcess scope;
    StartProgram(scope, exe, TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(Terminate(scope), 0) << silent;
}
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
