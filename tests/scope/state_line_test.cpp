// The scope's state line against the simulated sensor, and the live loop's buttons and function
// keys seen from the mean-value teach panel.
#include <QRegularExpression>

#include "closed_port.h"
#include "orders.h"
#include "paint_counter.h"
#include "scope_fixture.h"
#include "state_line.h"

namespace tvx {
namespace {

using StateLineTest = ScopeWithSensor;

TEST_F(StateLineTest, KeepsTheFirstCauseOfAFailedAttemptWhileTheStatusSaysTimeout) {
    StopScope();
    const quint16 closed = ClosedLocalPort();
    const QString sensorAt = QStringLiteral("127.0.0.1:%1").arg(sensor.TcpPort());
    const QString closedAt = QStringLiteral("127.0.0.1:%1").arg(closed);
    struct Case {
        StartOptions options;
        bool silent;  // the sensor does not answer the handshake
        QString endpoint;
        QString link;
    };
    for (const Case& c : {Case{SerialOptions("/dev/no-such-port"), false, "/dev/no-such-port",
                               "not connected: No serial port found: /dev/no-such-port"},
                          Case{TcpStartOptions(closed), false, closedAt,
                               "not connected: connection refused: " + closedAt},
                          Case{TcpStartOptions(sensor.TcpPort()), true, sensorAt,
                               "not connected: no answer to the handshake"}}) {
        SCOPED_TRACE(c.link.toStdString());
        sim::Fault silence;
        silence.order = kOrderVersion;
        if (c.silent) Sensor().AddFault(silence);
        StartWith(c.options);
        EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
        EXPECT_EQ(Main().stateLine->endpoint->text(), c.endpoint);
        EXPECT_EQ(Main().stateLine->link->text(), c.link);
        StopScope();
        Sensor().ClearFaults();
        popups.Clear();
    }
    StartScope();
    EXPECT_EQ(Main().stateLine->link->text(), "connected");
}

TEST_F(StateLineTest, ShowsTheActivityAndTheLastTransferOfEachCommand) {
    StateLineModel& line = scope->Link().StateLineData();
    QStringList seen;
    QObject watch;
    QObject::connect(&line, &StateLineModel::changed, &watch, [&] {
        if (seen.value(seen.size() - 1) != line.ActivityText()) seen << line.ActivityText();
    });
    struct Case {
        QPushButton* memory;
        QPushButton* command;
        const char* during;
        const char* result;
    };
    const char* const time = " \\d\\d:\\d\\d:\\d\\d$";
    for (const Case& c :
         {Case{Main().selectRAM, Main().buttonSend, "SENDING to RAM, row 15/15", "^sent to RAM"},
          Case{Main().selectEEPROM, Main().buttonGet, "READING from EEPROM, row 15/15",
               "^read from EEPROM"},
          Case{Main().selectRAM, Main().buttonGo, "LIVE", "^read from EEPROM"}}) {
        SCOPED_TRACE(c.during);
        seen.clear();
        Click(c.memory);
        bool liveCursor = false;
        if (c.command == Main().buttonGo) {
            RunLoop(c.command, [&] {
                if (!line.ActivityText().contains("frames/s")) return false;
                liveCursor = Main().graphData1->CursorLive();
                Click(Main().buttonStop);
                return true;
            });
            EXPECT_TRUE(liveCursor);
        } else {
            Click(c.command);
        }
        EXPECT_TRUE(seen.contains(c.during)) << seen.join('|').toStdString();
        EXPECT_EQ(Main().stateLine->activity->text(), "idle");
        EXPECT_FALSE(Main().graphData1->CursorLive());
        const QString last = Main().stateLine->lastTransfer->text();
        EXPECT_TRUE(QRegularExpression(c.result + QString(time)).match(last).hasMatch())
            << last.toStdString();
    }
    EXPECT_EQ(Main().stateLine->link->text(), "connected");
}

TEST_F(StateLineTest, AnotherEndpointStartsWithoutTheLastTransferAndWithGreyValues) {
    sim::SimThread other;
    ASSERT_TRUE(other.Start()) << other.Error().toStdString();
    // Its handshake reply comes late, so that the attempt is seen waiting.
    other.Server().AddFault(*sim::Fault::Parse(QStringLiteral("delay:300,order=7"), nullptr));
    InterfacePanel& ip = scope->Interface();
    StatePart* link = Main().stateLine->link;
    PaintCounter paints;
    link->installEventFilter(&paints);
    auto tryPort = [&](quint16 port) {
        Click(Main().buttonConnect);
        ip.stringPortNumber->setText(QString::number(port));
        Click(ip.buttonTryToConnect);
    };
    const quint16 closed = ClosedLocalPort();
    const struct {
        const char* name;
        quint16 port;
        bool keeps;  // the last transfer and the values shown are this sensor's
        QString link;
    } cases[] = {
        {"the same sensor again", sensor.TcpPort(), true, "connected"},
        {"another sensor", other.TcpPort(), false, "connected"},
        {"a closed port", closed, false,
         QStringLiteral("not connected: connection refused: 127.0.0.1:%1").arg(closed)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The first sensor's parameters read and its values shown live.
        tryPort(sensor.TcpPort());
        Click(Main().selectRAM);
        Click(Main().buttonGet);
        RunLoop(Main().buttonGo,
                [&] { return !ShownStale(Main().dispTemp) && (Click(Main().buttonStop), true); });
        const QString read = Main().stateLine->lastTransfer->text();
        ASSERT_TRUE(read.startsWith("read from RAM")) << read.toStdString();

        // While the attempt waits, the line says so and is drawn; the read that follows the
        // handshake is the new sensor's own transfer.
        QString whileWaiting, transferWhileWaiting = QStringLiteral("-");
        int paintsWhileWaiting = 0;
        QObject context;
        QObject::connect(
            &other.Server(), &sim::SimServer::requestReceived, &context,
            [&] {
                if (!whileWaiting.isEmpty()) return;
                whileWaiting = link->text();
                transferWhileWaiting = Main().stateLine->lastTransfer->text();
                paintsWhileWaiting = paints.paints;
            },
            Qt::QueuedConnection);
        paints.paints = 0;
        tryPort(c.port);
        if (c.port == other.TcpPort()) {
            EXPECT_EQ(whileWaiting, QStringLiteral("connecting to 127.0.0.1:%1").arg(c.port));
            EXPECT_EQ(transferWhileWaiting, QString());
            EXPECT_GT(paintsWhileWaiting, 0);
        } else {
            EXPECT_EQ(Main().stateLine->lastTransfer->text(), c.keeps ? read : QString());
        }
        EXPECT_EQ(link->text(), c.link);
        EXPECT_EQ(ShownStale(Main().dispTemp), !c.keeps);
        popups.Clear();
    }
}

TEST_F(StateLineTest, MeanValueTeachDimsGoAndF12FromItsPanelStopsTheLoop) {
    Click(Main().switchPara);
    MeanTeachPanel& teachPanel = scope->MeanValueTeach();
    bool dimmed = false;
    RunLoop(scope->MeanTeach().buttonTeachMeanVal, [&] {
        if (scope->State().flags.poll != 1) return false;
        dimmed = !Main().buttonGo->isEnabled() && Main().buttonStop->isEnabled();
        QApplication::setActiveWindow(&teachPanel);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&teachPanel));
        QTest::keyClick(teachPanel.windowHandle(), Qt::Key_F12);
        return true;
    });
    EXPECT_TRUE(dimmed);
    EXPECT_TRUE(Main().buttonGo->isEnabled());
    // A dimmed button stays inert whichever window has the key (a key that acts presses it).
    Main().buttonGo->setEnabled(false);
    QTest::keyClick(teachPanel.windowHandle(), Qt::Key_F11);
    EXPECT_FALSE(Main().buttonGo->isDown());
    Main().buttonGo->setEnabled(true);
    QTest::keyClick(teachPanel.windowHandle(), Qt::Key_F10);
    EXPECT_TRUE(Main().buttonGet->isDown());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Main().buttonGet->isDown(); }));
}

}  // namespace
}  // namespace tvx
