// The running scope against the simulated sensor: the start-up on both links, the interface
// panel and its address history, the parameter path and the live loop checked from the sensor's
// side, and the scope as a process.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QProcess>

#include "closed_port.h"
#include "failure_reports.h"
#include "measurement.h"
#include "program_process.h"
#include "quit_request.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

using ScopeTest = ScopeWithSensor;

// The start-up connects and shows the sensor's version text up to its first zero byte; a start
// that cannot connect shows TIMEOUT, with the TCP client's box only over TCP.
TEST_F(ScopeTest, StartUpShowsTheVersionOrWhyNoConnectionCameAbout) {
    struct Case {
        const char* what;
        QByteArray version;  // empty: no sensor
        bool pty;
        QString shown;
        int boxes;
    };
    const QByteArray full = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    StopScope();
    sensor.Stop();
    const Case cases[] = {
        {"36 characters", full, false, QString::fromLatin1(full), 0},
        {"a zero byte", QByteArray("V6.1\0GARBAGE", 12), false, "V6.1", 0},
        {"a pseudo-terminal", sim::kDefaultVersion, true, sim::kDefaultVersion, 0},
        {"nothing listening", {}, false, "TIMEOUT", 1},
        {"no serial port", {}, true, "TIMEOUT", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        popups.Clear();
        StartOptions options = TcpStartOptions(ClosedLocalPort());
        if (!c.version.isEmpty()) {
            sim::SimConfig config;
            config.version = c.version;
            config.tcp = !c.pty;
            config.pty = c.pty;
            config.baud = 19200;
            ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
            options = c.pty ? SerialOptions(sensor.PtyPath()) : TcpStartOptions(sensor.TcpPort());
        } else if (c.pty) {
            options = SerialOptions(QStringLiteral("/dev/no-such-serial-port"));
        }
        StartWith(options);
        EXPECT_EQ(Main().dispStatus->text(), c.shown);
        EXPECT_EQ(popups.Count(), c.boxes) << popups.Texts().join('|').toStdString();
        EXPECT_EQ(Main().dispComPort->isHidden(), !c.pty);
        EXPECT_EQ(Main().dispIpAddress->isHidden(), c.pty);
        if (c.version.isEmpty()) {
            EXPECT_EQ(scope->Interface().dispConnectStatus->text(), "CONNECTION FAILURE");
            EXPECT_FALSE(scope->Interface().buttonAccept->isEnabled());
            EXPECT_LT(scope->State().link.ret, 0);
            if (c.boxes) EXPECT_EQ(popups.Titles().value(0), "TCP Client");
            if (c.boxes) EXPECT_EQ(popups.Texts().value(0), scope->State().link.szStatus);
        } else {
            EXPECT_EQ(scope->Interface().dispConnectStatus->text(), c.shown);
            EXPECT_TRUE(scope->Interface().buttonAccept->isEnabled());
            const auto requests = Sensor().Requests();
            ASSERT_GE(requests.size(), 1u);
            EXPECT_EQ(requests.front().Order(), 7);
            EXPECT_EQ(requests.front().bytes.size(), 36);
        }
        StopScope();
        sensor.Stop();
    }
}

TEST(ScopeStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3v61>(programDir.path());
}

TEST_F(ScopeTest, PanelsPagesAndFunctionKeys) {
    // Help comes with a right click, on a dimmed control too; the row-colour button's is "Info".
    ASSERT_FALSE(Controls().editDynWinLo->isEnabled());
    ExpectHelp(Controls().editDynWinLo, info::InfoEditDynWinLoHi);
    Click(Main().switchPara);
    EXPECT_FALSE(Main().parameterPage->isVisible());
    EXPECT_TRUE(Main().teachPage->isVisible());
    ExpectHelp(scope->RowColourOps().buttonColor, info::InfoButtonColor, "Info");

    QApplication::setActiveWindow(&Main());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    const std::pair<QPushButton*, Qt::Key> keys[] = {{Main().buttonSend, Qt::Key_F9},
                                                     {Main().buttonGet, Qt::Key_F10},
                                                     {Main().buttonStop, Qt::Key_F12}};
    for (auto [button, key] : keys) {
        int clicks = 0;
        auto connection = QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(Main().windowHandle(), key);
        EXPECT_TRUE(QTest::qWaitFor([&clicks] { return clicks == 1; }, 5000))
            << button->text().toStdString();
        QObject::disconnect(connection);
    }
    // F11 is GO: the live loop runs, with the commands dimmed, until F12 (STOP) ends it.
    bool sawLoop = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (scope->State().flags.poll != 1 || sawLoop) return;
        sawLoop = !Main().buttonGo->isEnabled() && Main().buttonStop->isEnabled();
        QTest::keyClick(Main().windowHandle(), Qt::Key_F12);
    });
    stopper.start(50);
    QTest::keyClick(Main().windowHandle(), Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sawLoop && Main().buttonGo->isEnabled(); }, 10000));
    stopper.stop();

    // Closing the recorder returns to the main panel and ends the recorder's polling; closing
    // the main panel ends both loops and the program.
    Main().hide();
    scope->Recorder().show();
    scope->State().flags.pollrecord = 1;
    scope->Recorder().close();
    EXPECT_TRUE(Main().isVisible());
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
    EXPECT_FALSE(scope->QuitRequested());
    scope->State().flags.pollrecord = 1;
    RunLoop(Main().buttonGo, [&] {
        if (Sensor().RequestCount() < 2) return false;
        Main().close();
        return true;
    });
    EXPECT_TRUE(scope->QuitRequested());
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
    const std::size_t after = Sensor().RequestCount();
    ForgetQuitRequest();
    EXPECT_EQ(Sensor().RequestCount(), after);
}

// CONNECT stops the live loop and opens the interface panel; TRY TO CONNECT makes a new
// conversation, DISCARD puts the old settings back and reconnects. The protocol shows its
// controls and their labels.
TEST_F(ScopeTest, InterfacePanelReconnectsAndDiscards) {
    InterfacePanel& ip = scope->Interface();
    const int firstConversation = scope->State().link.g_hconversation;
    scope->State().flags.poll = 1;
    Click(Main().buttonConnect);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(ip.isVisible());
    EXPECT_FALSE(ip.buttonAccept->isEnabled());
    Click(ip.buttonTryToConnect);
    EXPECT_NE(scope->State().link.g_hconversation, firstConversation);
    EXPECT_TRUE(ip.buttonAccept->isEnabled());
    Click(ip.buttonAccept);
    EXPECT_FALSE(ip.isVisible());

    Click(Main().buttonConnect);
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
        SCOPED_TRACE(protocol);
        Choose(ip.editCommunicationProtocol, protocol);
        EXPECT_EQ(scope->State().link.comprotocol, protocol);
        for (QWidget* control :
             {static_cast<QWidget*>(ip.editSelectComPort), static_cast<QWidget*>(ip.stringIpAdress),
              static_cast<QWidget*>(ip.stringPortNumber)}) {
            const bool shown = (protocol == 0) == (control == ip.editSelectComPort);
            EXPECT_EQ(control->isVisible(), shown);
            ASSERT_NE(ip.LabelOf(control), nullptr);
            EXPECT_EQ(ip.LabelOf(control)->isVisible(), shown);
        }
    }
}

QByteArray Record(const QByteArray& text) {
    QByteArray record = text.left(20);
    record.append(QByteArray(20 - record.size(), '\0'));
    record.append('\n');
    return record;
}

// The address history: 21-byte records, newest first; empty records and a short tail are not
// entries; a committed address goes to the top of list and file (at most 10, 20 bytes each).
TEST_F(ScopeTest, AddressHistoryKeepsTheCommittedAddressesNewestFirst) {
    const QString path = programDir.filePath(QStringLiteral("IPComboBoxTvx3v61.ipa"));
    auto file = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    StopScope();
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Record("second") + Record("") + Record("12345678901234567890") + "xyz");
    }
    StartScope();
    QComboBox* field = scope->Interface().stringIpAdress;
    auto entries = [field] {
        QStringList list;
        for (int i = 0; i < field->count(); ++i) list << field->itemText(i);
        return list;
    };
    EXPECT_EQ(entries(), (QStringList{"second", "12345678901234567890"}));
    EXPECT_EQ(field->currentText(), "127.0.0.1") << "the command line's address stays";
    scope->Interface().show();
    auto enter = [field](const QString& address) {
        field->lineEdit()->selectAll();
        QTest::keyClick(field->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(field->lineEdit(), address);
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
    };
    enter("12345678901234567890");
    EXPECT_EQ(entries(), (QStringList{"12345678901234567890", "second"}));
    EXPECT_EQ(file(), Record("12345678901234567890") + Record("second"));
    EXPECT_EQ(scope->State().link.ipBuf, "12345678901234567890");
    EXPECT_FALSE(scope->Interface().buttonAccept->isEnabled());
    for (int i = 0; i < 10; ++i) enter(QStringLiteral("192.168.7.%1").arg(i));
    ASSERT_EQ(file().size(), 210);
    EXPECT_EQ(file().right(21), Record("192.168.7.0"));
    EXPECT_EQ(entries().size(), 10);
    enter("an-address-of-25-chars-xx");
    EXPECT_EQ(file().left(21), Record("an-address-of-25-cha"));
    enter(QString());
    EXPECT_EQ(file().left(21), Record(""));

    struct Port {
        const char* text;
        int number;
    };
    for (const Port& p : {Port{"10001", 10001}, Port{"502abc", 502}, Port{"abc", 0}, Port{"", 0},
                          Port{" 80", 0}, Port{"99999999999999", 2147483647}})
        EXPECT_EQ(ConnectionProcedure::PortNumberFromText(p.text), p.number) << p.text;
}

// The start-up reads RAM into the panels; SEND and GET carry the panel values to and from RAM,
// the EEPROM and a parameter file; a new calculation mode goes to RAM at once.
TEST_F(ScopeTest, ParametersTravelBetweenPanelsSensorAndFile) {
    std::vector<int> expected = {7};
    for (int o : ReadOrders(false)) expected.push_back(o);
    EXPECT_EQ(SensorOrders(), expected);
    auto ram = Sensor().State().ram;
    EXPECT_EQ(Controls().slidePower->value(), ram[0]);
    EXPECT_EQ(Controls().gridTeach->Value(3, 4), ram[16 + 6 * 3 + 4]);
    EXPECT_EQ(scope->ColourGroups().Group(2), ram[16 + 6 * 2 + 5]);

    Sensor().ClearRequests();
    Controls().slidePower->setValue(321);
    Controls().gridTeach->SetValue(14, 3, 0xFEDC);
    scope->ColourGroups().SetGroup(14, 9);
    Click(Main().buttonSend);
    auto requests = Sensor().Requests();
    ASSERT_EQ(requests.size(), 16u);
    EXPECT_EQ(requests[0].Order(), 1);
    EXPECT_EQ(requests[0].Word(2), 321);
    EXPECT_EQ(requests[15].Order(), 2);
    EXPECT_EQ(requests[15].Word(2), 14);
    EXPECT_EQ(requests[15].Word(3 + 3), 0xFEDC);
    EXPECT_EQ(Sensor().State().ram[105], 9);

    Click(Main().selectEEPROM);
    Controls().slidePower->setValue(999);
    Sensor().ClearRequests();
    Click(Main().buttonSend);
    EXPECT_EQ(SensorOrders().size(), 17u);
    EXPECT_EQ(SensorOrders().back(), 6);
    EXPECT_EQ(Sensor().State().eeprom[0], 999);
    Controls().slidePower->setValue(5);
    Sensor().ClearRequests();
    Click(Main().buttonGet);
    EXPECT_EQ(SensorOrders(), ReadOrders(true));
    EXPECT_EQ(Controls().slidePower->value(), 999);

    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    Click(Main().selectFILE);
    Controls().slidePower->setValue(640);
    Controls().gridTeach->SetValue(5, 1, 65535);
    Sensor().ClearRequests();
    popups.QueueFileSelection(path);
    Click(Main().buttonSend);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 107);  // 106 lines, each ended by a line feed
    EXPECT_EQ(lines[0], "       640");
    EXPECT_EQ(lines[16 + 6 * 5 + 1], "     65535");
    Controls().slidePower->setValue(2);
    popups.QueueFileSelection(path);
    Click(Main().buttonGet);
    EXPECT_EQ(Controls().slidePower->value(), 640);
    EXPECT_EQ(Sensor().RequestCount(), 0u);

    Click(Main().selectEEPROM);
    Choose(Controls().editCalcmode, 1);
    EXPECT_EQ(Sensor().RequestCount(), 16u);
    EXPECT_EQ(Sensor().State().ram[10], 1);
    EXPECT_EQ(Sensor().State().ram[0], 640);
    EXPECT_TRUE(Main().selectRAM->isChecked());
    EXPECT_EQ(popups.Count(PopupKind::Message), 0) << popups.Texts().join('|').toStdString();
}

// A read broken at row 5 takes nothing: neither the panels nor the parameter set (which a later
// SEND would carry) hold a row of it; the next whole read takes everything.
TEST_F(ScopeTest, ABrokenParameterReadLeavesPanelsAndSetAsTheyWere) {
    Sensor().WithModel([](sim::SensorModel& m) {
        m.state().ram[0] = 999;
        m.state().ram[16] = 1111;
    });
    sim::Fault wrong;
    wrong.kind = sim::FaultKind::WrongOrder;
    wrong.order = 4;
    wrong.skip = 5;
    wrong.times = 1;
    Sensor().AddFault(wrong);
    Controls().slidePower->setValue(1);
    const ParameterSet before = scope->State().params;
    Click(Main().buttonGet);
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(Controls().slidePower->value(), 1);
    EXPECT_NE(Controls().gridTeach->Value(0, 0), 1111);
    EXPECT_EQ(scope->State().params, before);
    popups.Clear();
    Click(Main().buttonGet);
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(Controls().slidePower->value(), 999);
    EXPECT_EQ(Controls().gridTeach->Value(0, 0), 1111);
}

// GO asks for data frames only and shows each until STOP, with the commands dimmed meanwhile;
// SOURCE changed during the loop takes effect with the next frame.
TEST_F(ScopeTest, GoShowsEveryFrameUntilStop) {
    const sim::Sample sample{3000, 1600, 480, 27};
    Sensor().WithModel([&](sim::SensorModel& model) { model.SetSample(sample); });
    Sensor().ClearRequests();
    const sim::Measurement expected = sim::Measure(Sensor().State(), sample);
    bool dimmed = false;
    std::size_t changedAt = 0;
    RunLoop(Main().buttonGo, [&] {
        if (changedAt == 0 && Sensor().RequestCount() >= 3) {
            dimmed = !Main().buttonSend->isEnabled() && !Main().buttonGet->isEnabled() &&
                     !Main().buttonConnect->isEnabled() && !Controls().editCalcmode->isEnabled() &&
                     Main().buttonStop->isEnabled();
            Choose(Main().selectSource, 1);
            changedAt = Sensor().RequestCount();
        }
        if (changedAt == 0 || Sensor().RequestCount() < changedAt + 3) return false;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(dimmed);
    EXPECT_TRUE(Main().buttonGo->isEnabled());
    EXPECT_TRUE(Main().buttonSend->isEnabled());
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 5));
    const std::pair<QLineEdit*, int> shown[] = {
        {Main().dispRed, expected.calR},   {Main().dispGreen, expected.calG},
        {Main().dispBlue, expected.calB},  {Main().dispX, expected.x},
        {Main().dispY, expected.y},        {Main().dispINT, expected.intensity},
        {Main().dispCOL, expected.colour}, {Main().dispTemp, 27}};
    for (auto [display, value] : shown) EXPECT_EQ(display->text(), QString::number(value));
    EXPECT_EQ(Main().graphData1->CursorPosition(), QPointF(expected.x, expected.y));
    EXPECT_EQ(Main().graphData1->PlotCount(), 1) << "the X/Y border was drawn for the loop";
    // One history sample per frame, none before the first.
    const StripChartHistory& raw = scope->State().rawbuf;
    const std::size_t frames = std::min<std::size_t>(orders.size(), kHistorySamples);
    for (std::size_t s = kHistorySamples - frames; s < kHistorySamples; ++s)
        EXPECT_EQ(raw[3 * s], expected.calR) << "sample " << s;
    EXPECT_EQ(raw[3 * (kHistorySamples - frames) - 3], 0);
    EXPECT_TRUE(Main().graphRGB->isVisible());
    EXPECT_EQ(Main().graphRGB->TraceValues(0).back(), expected.calR);
}

// A sensor that stops answering ends a loop with one report; what the loop showed stays: the
// last frame of GO, the zoom graph in front.
TEST_F(ScopeTest, ASilentSensorEndsEachLoopAndLeavesItsView) {
    struct Case {
        const char* what;
        QAbstractButton* button;
        bool zoomInFront;
    };
    StopScope();
    sensor.Stop();
    const Case cases[] = {{"GO", Main().buttonGo, false},
                          {"ZOOM", scope->Teach().buttonZoom, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sensor().ClearFaults();
        Sensor().ClearRequests();
        if (c.zoomInFront) Controls().ParaInVis();
        popups.Clear();
        RunLoop(c.button, [&] {
            if (Sensor().RequestCount() < 2) return false;
            sim::Fault silent;
            silent.kind = sim::FaultKind::NoReply;
            Sensor().AddFault(silent);
            return true;
        });
        EXPECT_EQ(scope->State().flags.poll, 0);
        EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
        EXPECT_EQ(FailureReports(popups), 1);
        EXPECT_EQ(popups.Count(), 1);
        EXPECT_FALSE(Main().dispRed->text().isEmpty()) << "the last good frame stays";
        EXPECT_EQ(scope->Live().ZoomGraphInFront(), c.zoomInFront);
        EXPECT_TRUE(c.button->isEnabled());
    }
}

void StartProcess(QProcess& scope, quint16 port) {
    StartProgram(scope, QStringLiteral(TVX_SCOPE_EXE), TcpArguments(port));
}

// Ended by the system (SIGTERM) with a sensor that answers, one that is silent during the
// handshake, or nothing listening, the program exits with code 0.
TEST(ScopeProgram, ATerminationRequestEndsItWithExitCodeZero) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent);
        sim::SimConfig config;
        sim::Fault fault;
        fault.kind = sim::FaultKind::NoReply;
        if (silent) config.faults = {fault};
        sim::SimThread sensor;
        ASSERT_TRUE(sensor.Start(config));
        QProcess scope;
        StartProcess(scope, sensor.TcpPort());
        ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
        EXPECT_EQ(sensor.Server().Requests().front().Order(), 7);
        EXPECT_EQ(Terminate(scope), 0);
    }
    QProcess scope;
    StartProcess(scope, ClosedLocalPort());
    // Give the failed connection attempt time to be made before the program is asked to end.
    scope.waitForFinished(1500);
    ASSERT_EQ(scope.state(), QProcess::Running) << scope.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(scope), 0);
    ExpectTerminationEndsAProgramWithABoxOpen(QStringLiteral(TVX_SCOPE_EXE));
}

TEST(ScopeProgram, WithoutAWindowSystemEndsWithTheStartFailureCode) {
    ExpectNoWindowSystemEndsTheStart(QStringLiteral(TVX_SCOPE_EXE));
}

}  // namespace
}  // namespace tvx
