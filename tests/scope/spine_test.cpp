#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Tvx3v61.h"
#include "closed_port.h"
#include "info_texts.h"
#include "quit_request.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "startup_probe.h"
#include "user_actions.h"

namespace tvx {
namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// A port on 127.0.0.1 where nobody listens.
StartOptions TcpOptions(quint16 port) {
    StartOptions options;
    options.comprotocol = 1;
    options.tcpHost = QStringLiteral("127.0.0.1");
    options.tcpPort = QString::number(port);
    return options;
}

class ScopeSpine : public ::testing::Test {
  protected:
    void Start(StartOptions options) {
        options.programDirectory = programDir.path();
        scope = std::make_unique<Tvx3v61>(popups, std::move(options));
        scope->LoadPanels();
        scope->Main().show();
        scope->InitVars();
    }
    // Most tests want a sensor that answers: the start-up then needs no time limit to pass.
    void StartWithSensor() {
        ASSERT_TRUE(sensor.Start()) << sensor.Error().toStdString();
        Start(TcpOptions(sensor.TcpPort()));
    }
    void TearDown() override {
        if (scope) {
            scope->Link().CloseCom();
            if (scope->State().link.tcpcon) scope->Link().DisconnectTCP();
        }
    }

    QTemporaryDir programDir;
    ScriptedPopups popups;
    sim::SimThread sensor;
    std::unique_ptr<Tvx3v61> scope;
};

TEST_F(ScopeSpine, StartsConnectedAndShowsTheSensorVersion) {
    sim::SimConfig config;
    config.version = "TRIVEX TEST SENSOR V6.1";
    ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
    Start(TcpOptions(sensor.TcpPort()));

    EXPECT_EQ(scope->Main().windowTitle(), QStringLiteral("TRIVEX-Scope V6.1"));
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TRIVEX TEST SENSOR V6.1"));
    EXPECT_EQ(scope->Interface().dispConnectStatus->text(),
              QStringLiteral("TRIVEX TEST SENSOR V6.1"));
    EXPECT_TRUE(scope->Interface().buttonAccept->isEnabled());
    EXPECT_EQ(scope->State().link.tcpcon, 1);
    EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();

    const auto requests = sensor.Server().Requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests.front().Order(), 7);
    EXPECT_EQ(requests.front().bytes.size(), 36);
    // The main panel shows the link in use.
    EXPECT_EQ(scope->Main().dispIpAddress->text(), QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(scope->Main().dispIpAddress->isHidden());
    EXPECT_TRUE(scope->Main().dispComPort->isHidden());
}

TEST_F(ScopeSpine, VersionTextEndsAtItsFirstZeroByte) {
    sim::SimConfig config;
    config.version = QByteArray("V6.1\0GARBAGE", 12);
    ASSERT_TRUE(sensor.Start(config));
    Start(TcpOptions(sensor.TcpPort()));
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("V6.1"));
}

TEST_F(ScopeSpine, VersionOfThirtySixCharactersIsShownWhole) {
    const QByteArray full = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    ASSERT_EQ(full.size(), 36);
    sim::SimConfig config;
    config.version = full;
    ASSERT_TRUE(sensor.Start(config));
    Start(TcpOptions(sensor.TcpPort()));
    EXPECT_EQ(scope->Main().dispStatus->text(), QString::fromLatin1(full));
}

TEST_F(ScopeSpine, NothingListeningGivesTimeoutAndTheConnectFailureBox) {
    Start(TcpOptions(ClosedLocalPort()));

    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(scope->Interface().dispConnectStatus->text(), QStringLiteral("CONNECTION FAILURE"));
    EXPECT_FALSE(scope->Interface().buttonAccept->isEnabled());
    EXPECT_EQ(scope->State().link.tcpcon, 0);
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.Records()[0].title, QStringLiteral("TCP Client"));
    EXPECT_EQ(popups.Records()[0].text, scope->State().link.szStatus);
    EXPECT_LT(scope->State().link.ret, 0);
}

TEST_F(ScopeSpine, SerialPortThatCannotBeOpenedEndsInTimeoutWithoutABox) {
    StartOptions options;
    options.comprotocol = 0;
    options.serialDevice = QStringLiteral("/dev/no-such-serial-port");
    Start(options);

    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(scope->Interface().dispConnectStatus->text(), QStringLiteral("CONNECTION FAILURE"));
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_LT(scope->State().link.ret, 0);
    EXPECT_FALSE(scope->State().link.szStatus.isEmpty());
    EXPECT_FALSE(scope->Main().dispComPort->isHidden());
    EXPECT_EQ(scope->Main().dispComPort->text(), QStringLiteral("/dev/no-such-serial-port"));
}

TEST(ScopeStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3v61>(programDir.path());
}

TEST_F(ScopeSpine, StartsOverAPseudoTerminal) {
    sim::SimConfig config;
    config.tcp = false;
    config.pty = true;
    config.baud = 19200;
    ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
    StartOptions options;
    options.comprotocol = 0;
    options.serialDevice = sensor.PtyPath();
    Start(options);
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ScopeSpine, StartValuesAndPanels) {
    StartWithSensor();
    const ScopeState& s = scope->State();
    EXPECT_EQ(s.exchange.target, RAM);
    EXPECT_EQ(s.flags.poll, 0);
    EXPECT_EQ(s.flags.pollrecord, 0);
    EXPECT_EQ(s.xramp[0], 0);
    EXPECT_EQ(s.yramp[0], 4095);
    EXPECT_EQ(s.xramp[4095], 4095);
    EXPECT_EQ(s.yramp[4095], 0);
    EXPECT_TRUE(s.ipComboBoxFileName.endsWith(QStringLiteral("/IPComboBoxTvx3v61.ipa")));
    EXPECT_TRUE(s.colorArrayStartupFileName.endsWith(QStringLiteral("/StartupPath.sup")));

    // Only the main panel shows; it starts on the parameter page.
    EXPECT_TRUE(scope->Main().isVisible());
    for (Panel* p : std::initializer_list<Panel*>{&scope->Recorder(), &scope->RowColours(),
                                                  &scope->SignalGraph(), &scope->MeanValueTeach(),
                                                  &scope->Interface(), &scope->ColourGroups()})
        EXPECT_FALSE(p->isVisible()) << p->windowTitle().toStdString();
    EXPECT_TRUE(scope->Main().switchPara->isChecked());
    EXPECT_TRUE(scope->Main().parameterPage->isVisible());
    EXPECT_FALSE(scope->Main().teachPage->isVisible());
}

TEST_F(ScopeSpine, PageSwitchShowsOnePageAtATime) {
    StartWithSensor();
    MainPanel& main = scope->Main();
    QTest::mouseClick(main.switchPara, Qt::LeftButton);
    EXPECT_FALSE(main.parameterPage->isVisible());
    EXPECT_TRUE(main.teachPage->isVisible());
    QTest::mouseClick(main.switchPara, Qt::LeftButton);
    EXPECT_TRUE(main.parameterPage->isVisible());
    EXPECT_FALSE(main.teachPage->isVisible());
}

TEST_F(ScopeSpine, ClosingPanels) {
    StartWithSensor();
    for (Panel* p : std::initializer_list<Panel*>{&scope->RowColours(), &scope->SignalGraph(),
                                                  &scope->MeanValueTeach(), &scope->Interface(),
                                                  &scope->ColourGroups()}) {
        p->show();
        p->close();
        EXPECT_FALSE(p->isVisible()) << p->windowTitle().toStdString();
    }
    EXPECT_TRUE(scope->Main().isVisible());

    // Closing the recorder goes back to the main panel and stops the recorder's polling.
    scope->Main().hide();
    scope->Recorder().show();
    scope->State().flags.pollrecord = 1;
    scope->Recorder().close();
    EXPECT_FALSE(scope->Recorder().isVisible());
    EXPECT_TRUE(scope->Main().isVisible());
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
    EXPECT_FALSE(scope->QuitRequested());

    // Closing the main panel ends both loops and the program.
    scope->State().flags.poll = 1;
    scope->State().flags.pollrecord = 1;
    scope->Main().close();
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
    EXPECT_TRUE(scope->QuitRequested());
    ForgetQuitRequest();
}

TEST_F(ScopeSpine, FunctionKeysActOnTheCommandButtons) {
    StartWithSensor();
    MainPanel& main = scope->Main();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    const std::pair<QPushButton*, Qt::Key> keys[] = {{main.buttonSend, Qt::Key_F9},
                                                     {main.buttonGet, Qt::Key_F10},
                                                     {main.buttonStop, Qt::Key_F12}};
    for (auto [button, key] : keys) {
        EXPECT_EQ(button->shortcut(), QKeySequence(key));
        int clicks = 0;
        auto connection = QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        QTest::keyClick(main.windowHandle(), key);
        // A shortcut clicks its button the way a mouse would, pressed for a moment.
        EXPECT_TRUE(QTest::qWaitFor([&clicks] { return clicks == 1; }, 5000))
            << button->text().toStdString();
        QObject::disconnect(connection);
    }

    // F11 is GO: the live loop runs, with the command buttons dimmed, until F12 (STOP) ends it.
    EXPECT_EQ(main.buttonGo->shortcut(), QKeySequence(Qt::Key_F11));
    bool sawLoop = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (scope->State().flags.poll != 1 || sawLoop) return;
        sawLoop = !main.buttonGo->isEnabled() && main.buttonStop->isEnabled();
        QTest::keyClick(main.windowHandle(), Qt::Key_F12);
    });
    stopper.start(50);
    QTest::keyClick(main.windowHandle(), Qt::Key_F11);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return sawLoop && scope->State().flags.poll == 0 && main.buttonGo->isEnabled(); },
        10000));
}

TEST_F(ScopeSpine, RightClickShowsTheHelpOfEveryControl) {
    StartWithSensor();
    popups.Clear();
    MainPanel& main = scope->Main();
    InterfacePanel& ip = scope->Interface();
    const std::pair<QWidget*, const char*> controls[] = {
        {main.buttonSend, info::InfoButtonSend},
        {main.buttonGet, info::InfoButtonGet},
        {main.buttonGo, info::InfoButtonGo},
        {main.buttonStop, info::InfoButtonStop},
        {main.buttonConnect, info::InfoButtonConnect},
        {main.dispStatus, info::InfoStatus},
        {main.switchPara, info::InfoSwitchPara},
        {ip.editCommunicationProtocol, info::InfoEditCommunicationProtocol},
        {ip.stringIpAdress, info::InfoStringIpAdress},
        {ip.stringPortNumber, info::InfoStringPortNumber},
        {ip.buttonTryToConnect, info::InfoButtonTryToConnect},
        {ip.buttonAccept, info::InfoButtonAccept},
        {ip.buttonDiscard, info::InfoButtonDiscard},
    };
    ip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ip));
    for (auto [widget, text] : controls) {
        RightClick(widget);
        ASSERT_GE(popups.Count(), 1) << text;
        EXPECT_EQ(popups.LastTitle(), QStringLiteral("INFO!"));
        EXPECT_EQ(popups.LastText(), Text(text));
        EXPECT_EQ(widget->toolTip(), Text(text));
        popups.Clear();
    }
    // The COM port selector shows with RS232 only.
    ip.editCommunicationProtocol->setCurrentIndex(0);
    emit ip.editCommunicationProtocol->activated(0);
    RightClick(ip.editSelectComPort);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("INFO!"));
    EXPECT_EQ(popups.LastText(), Text(info::InfoEditConnect));
}

TEST_F(ScopeSpine, ConnectButtonStopsTheLiveLoopAndOpensTheInterfacePanel) {
    StartWithSensor();
    scope->State().flags.poll = 1;
    QTest::mouseClick(scope->Main().buttonConnect, Qt::LeftButton);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(scope->Interface().isVisible());
    EXPECT_FALSE(scope->Interface().buttonAccept->isEnabled());
}

TEST_F(ScopeSpine, ReconnectingFromTheInterfacePanelClosesTheOldConversation) {
    ASSERT_TRUE(sensor.Start());
    Start(TcpOptions(sensor.TcpPort()));
    ASSERT_EQ(scope->State().link.tcpcon, 1);
    const int firstConversation = scope->State().link.g_hconversation;
    QTest::mouseClick(scope->Main().buttonConnect, Qt::LeftButton);
    QTest::mouseClick(scope->Interface().buttonTryToConnect, Qt::LeftButton);
    EXPECT_EQ(scope->State().link.tcpcon, 1);
    EXPECT_NE(scope->State().link.g_hconversation, firstConversation);
    EXPECT_TRUE(scope->Interface().buttonAccept->isEnabled());
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    QTest::mouseClick(scope->Interface().buttonAccept, Qt::LeftButton);
    EXPECT_FALSE(scope->Interface().isVisible());
}

TEST_F(ScopeSpine, DiscardPutsTheOldSettingsBackAndReconnects) {
    ASSERT_TRUE(sensor.Start());
    Start(TcpOptions(sensor.TcpPort()));
    InterfacePanel& ip = scope->Interface();
    QTest::mouseClick(scope->Main().buttonConnect, Qt::LeftButton);
    ip.stringPortNumber->setText(QString::number(ClosedLocalPort()));
    QTest::mouseClick(ip.buttonTryToConnect, Qt::LeftButton);
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_FALSE(ip.buttonAccept->isEnabled());
    popups.Clear();

    QTest::mouseClick(ip.buttonDiscard, Qt::LeftButton);
    EXPECT_EQ(ip.stringPortNumber->text(), QString::number(sensor.TcpPort()));
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_FALSE(ip.isVisible());
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ScopeSpine, SwitchingTheProtocolShowsItsControlsAndTheirLabelsAtOnce) {
    StartWithSensor();
    InterfacePanel& ip = scope->Interface();
    ip.show();
    for (const int protocol : {0, 1}) {
        SCOPED_TRACE(protocol);
        ip.editCommunicationProtocol->setCurrentIndex(protocol);
        emit ip.editCommunicationProtocol->activated(protocol);
        EXPECT_EQ(scope->State().link.comprotocol, protocol);
        const bool rs232 = protocol == 0;
        for (QWidget* control :
             {static_cast<QWidget*>(ip.editSelectComPort), static_cast<QWidget*>(ip.stringIpAdress),
              static_cast<QWidget*>(ip.stringPortNumber)}) {
            const bool shown = rs232 == (control == ip.editSelectComPort);
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

class AddressHistory : public ScopeSpine {
  protected:
    QString HistoryPath() const {
        return programDir.filePath(QStringLiteral("IPComboBoxTvx3v61.ipa"));
    }
    void WriteHistory(const QByteArray& bytes) {
        QFile file(HistoryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadHistory() const {
        QFile file(HistoryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Entries() const {
        QStringList list;
        for (int i = 0; i < scope->Interface().stringIpAdress->count(); ++i)
            list << scope->Interface().stringIpAdress->itemText(i);
        return list;
    }
    // The user types an address and presses Return.
    void Enter(const QString& address) {
        QLineEdit* field = scope->Interface().stringIpAdress->lineEdit();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, address);
        QTest::keyClick(field, Qt::Key_Return);
    }
};

TEST_F(AddressHistory, LoadedAtStartNewestFirstWithoutEmptyRecords) {
    WriteHistory(Record("10.0.0.7") + Record("") + Record("12345678901234567890") +
                 Record("sensor-b") + "xyz");
    StartWithSensor();
    EXPECT_EQ(Entries(), (QStringList{"10.0.0.7", "12345678901234567890", "sensor-b"}));
    // The address given on the command line stays in the field.
    EXPECT_EQ(scope->Interface().stringIpAdress->currentText(), QStringLiteral("127.0.0.1"));
}

TEST_F(AddressHistory, FiftyByteFileHoldsTwoEntries) {
    WriteHistory(Record("a") + Record("b") + QByteArray(8, 'c'));
    StartWithSensor();
    EXPECT_EQ(Entries(), (QStringList{"a", "b"}));
}

TEST_F(AddressHistory, CommittedAddressGoesToTheTopOfListAndFile) {
    WriteHistory(Record("first") + Record("second"));
    StartWithSensor();
    scope->Interface().show();
    Enter(QStringLiteral("second"));
    EXPECT_EQ(Entries(), (QStringList{"second", "first"}));
    EXPECT_EQ(ReadHistory(), Record("second") + Record("first"));
    EXPECT_EQ(scope->State().link.ipBuf, QStringLiteral("second"));
    EXPECT_FALSE(scope->Interface().buttonAccept->isEnabled());

    for (int i = 0; i < 10; ++i) Enter(QStringLiteral("192.168.7.%1").arg(i));
    const QByteArray file = ReadHistory();
    ASSERT_EQ(file.size(), 210);
    EXPECT_EQ(file.left(21), Record("192.168.7.9"));
    EXPECT_EQ(file.right(21), Record("192.168.7.0"));
    EXPECT_EQ(Entries().size(), 10);

    Enter(QStringLiteral("an-address-of-25-chars-xx"));
    EXPECT_EQ(ReadHistory().left(21), Record("an-address-of-25-cha"));

    Enter(QString());
    EXPECT_EQ(ReadHistory().left(21), QByteArray(20, '\0') + '\n');
}

TEST(ConnectionProcedure, PortNumberIsTheValueOfTheLeadingDigits) {
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral("10001")), 10001);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral("502abc")), 502);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral("abc")), 0);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral("")), 0);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral(" 80")), 0);
    EXPECT_EQ(ConnectionProcedure::PortNumberFromText(QStringLiteral("99999999999999")),
              2147483647);
}

}  // namespace
}  // namespace tvx
