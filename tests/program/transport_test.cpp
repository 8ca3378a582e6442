// The serial and TCP links against the simulated sensor: what is the link's own, the wire faults
// of every exchange being the fault matrix's.
#include <gtest/gtest.h>
#include <poll.h>

#include <QTcpSocket>

#include "closed_port.h"
#include "link_errors.h"
#include "link_harness.h"

namespace tvx::test {
namespace {

using sim::FaultKind;

TEST_F(SensorLink, FramesTravelAsTheyAreAndTheWaitServesTheWindow) {
    StartSim();
    for (bool serial : {false, true}) {
        SCOPED_TRACE(serial ? "serial" : "TCP");
        LinkHarness h;
        ASSERT_NO_FATAL_FAILURE(serial ? Open(h) : Connect(h));
        Sim().ClearRequests();
        // Whatever is not user input (a repaint, a timer) runs while the handshake waits.
        bool served = false;
        QObject scope;
        QMetaObject::invokeMethod(
            &scope, [&] { served = true; }, Qt::QueuedConnection);
        ASSERT_TRUE(h.com.CheckComLineExchange());
        EXPECT_TRUE(served);
        EXPECT_EQ(h.Received(), Version());
        // High bytes of 0xFF and zero bytes travel unchanged: no framing, no escaping.
        h.Build(1, 0xFF00);
        EXPECT_TRUE(h.com.SendFrame());
        ASSERT_TRUE(Sim().WaitForRequests(2, 5000));
        EXPECT_EQ(Sim().Requests()[1].bytes.mid(4, 2), QByteArray("\xFF\x00", 2));
        EXPECT_EQ(Sim().Requests()[1].endpoint, serial ? "pty" : "tcp");
        EXPECT_EQ(Sim().State().ram[0], 0xFF00);
    }
}

TEST_F(SensorLink, TheSerialHandshakeTakesAReplyWithinTwoSecondsOnly) {
    StartSim(0);
    for (const auto& [delayMs, taken] : {std::pair{1000, true}, std::pair{3000, false}}) {
        SCOPED_TRACE(delayMs);
        LinkHarness h;
        ASSERT_NO_FATAL_FAILURE(Open(h));
        Sim().AddFault(sim::Fault{FaultKind::DelayedReply, 7, 1, 0, delayMs});
        EXPECT_EQ(h.com.CheckComLineExchange(), taken);
        ASSERT_TRUE(Sim().WaitForLinesIdle(5000));
    }
}

TEST_F(SensorLink, BytesNobodyAskedForAreNoPartOfAReply) {
    StartSim(0);
    {
        // Over TCP, more than one read's worth while no exchange waits: all dropped.
        LinkHarness h;
        ASSERT_NO_FATAL_FAILURE(Connect(h));
        ASSERT_TRUE(h.com.CheckComLineExchange());
        h.buffers.szReadBuf.fill(0x11);
        Sim().SendUnsolicited(QByteArray(1500, static_cast<char>(0xCC)));
        ASSERT_TRUE(WaitForLink(h, [&] { return h.com.DroppedBytes() >= 1500; }));
        EXPECT_EQ(h.Received(kBufferBytes), QByteArray(kBufferBytes, 0x11));
        // Bytes still in the kernel, unannounced, when a request goes out.
        Sim().SendUnsolicited(QByteArray(20, static_cast<char>(0xCC)));
        auto* socket = h.com.findChild<QTcpSocket*>();
        pollfd pending{static_cast<int>(socket->socketDescriptor()), POLLIN, 0};
        ASSERT_EQ(::poll(&pending, 1, 5000), 1);
        ASSERT_TRUE(h.com.CheckComLineExchange());
        EXPECT_EQ(h.Received(), Version());
        EXPECT_EQ(h.com.DroppedBytes(), 1520);
    }
    {
        // On the serial line, a byte between two reads of the temperature-compensation tool,
        // which flushes the queues only before the first.
        LinkHarness h(LinkVariant::TempComp());
        ASSERT_NO_FATAL_FAILURE(Open(h));
        h.com.FlushComQueues();
        h.Build(46);
        ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(200, false, false)));
        Sim().SendUnsolicited(QByteArray(1, static_cast<char>(0xCC)));
        ASSERT_TRUE(Sim().WaitForLinesIdle(5000));
        h.Build(51, 128);
        ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(256, false, false)));
        EXPECT_EQ(UnpackWord(&h.buffers.szReadBuf[0]), Sim().State().rootTable[128]);
    }
}

TEST_F(SensorLink, ConnectAndOpenFailuresAreNamedWhereTheProgramShowsThem) {
    StartSim();
    const quint16 closedPort = ClosedLocalPort();
    struct TcpCase {
        const char* what;
        QString address;
        int port;
        const char* text;
    };
    for (const TcpCase& c :
         {TcpCase{"nothing listening", "127.0.0.1", closedPort, "UnableToEstablishConnection"},
          TcpCase{"no such host", "no-such-host.invalid", 1, "InvalidParameter"},
          TcpCase{"port 0", "127.0.0.1", 0, "InvalidParameter"},
          TcpCase{"port above 65535", "127.0.0.1", 70000, "InvalidParameter"},
          TcpCase{"no address", "", 1, "InvalidParameter"}}) {
        SCOPED_TRACE(c.what);
        LinkHarness h;
        h.link.comprotocol = kTcpIp;
        h.link.ipBuf = c.address;
        h.link.portNum = c.port;
        h.com.InitTCP_IP();
        EXPECT_EQ(h.link.szStatus, c.text);
        EXPECT_EQ(h.link.tcpcon, 0);
        EXPECT_EQ(h.popups.Titles(), QStringList{"TCP Client"});
        EXPECT_EQ(h.popups.Texts(), QStringList{c.text});
        EXPECT_EQ(h.statusTexts, QStringList{"NOT CONNECTED"});
        EXPECT_FALSE(h.com.ExchangeFrame(Waiting(HandshakeReply(), 0.05)));
        EXPECT_LT(h.link.nBytesW, 0);
    }

    struct SerialCase {
        const char* what;
        int comport;
        QString device;
        const char* text;
    };
    for (const SerialCase& c : {
             SerialCase{"port number 0", 0, "", "Invalid port number"},
             SerialCase{"no such device", 1, "/dev/tvx-no-such-port", "No serial port found"},
             SerialCase{"no serial port", 1, "/dev/null", "Cannot open port"},
         }) {
        SCOPED_TRACE(c.what);
        LinkHarness h;
        h.link.comport = static_cast<std::uint16_t>(c.comport);
        h.link.comdevice = c.device;
        h.com.InitRS232();
        EXPECT_EQ(h.link.szStatus, c.text);
        EXPECT_EQ(h.statusTexts, QStringList{c.text});
        EXPECT_EQ(h.popups.Count(), 0);
        // The handshake that follows writes nothing and gets nothing.
        EXPECT_FALSE(h.com.ExchangeFrame(Waiting(HandshakeReply(), 0.05)));
        EXPECT_EQ(h.link.nBytesW, kSerialPortNotOpen);
        EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    }
}

TEST_F(SensorLink, OpeningAndReconnectingCloseWhatWasOpen) {
    StartSim();
    // Opening the serial port stops the loops each program names, and again closes it first.
    for (const auto& [variant, poll, pollrecord] :
         {std::tuple{LinkVariant::Scope(), 0, 0}, std::tuple{LinkVariant::Calibration(), 0, 1},
          std::tuple{LinkVariant::TempComp(), 1, 1}}) {
        LinkHarness h(variant);
        h.flags.poll = 1;
        h.flags.pollrecord = 1;
        ASSERT_NO_FATAL_FAILURE(Open(h));
        EXPECT_EQ(h.flags.poll, poll);
        EXPECT_EQ(h.flags.pollrecord, pollrecord);
        ASSERT_NO_FATAL_FAILURE(Open(h));
    }
    // A new TCP attempt ends the open conversation first, even when it fails, and silently.
    LinkHarness h;
    ASSERT_NO_FATAL_FAILURE(Connect(h));
    const int first = h.link.g_hconversation;
    ASSERT_TRUE(WaitUntil([&] { return Sim().HasTcpClient(); }, 5.0, WaitMode::ServeUserInput,
                          {WakeSource(&Sim(), &sim::SimServer::clientConnected)})
                    .done);
    h.link.portNum = 0;
    h.com.InitTCP_IP();
    EXPECT_TRUE(WaitUntil([&] { return !Sim().HasTcpClient(); }, 5.0, WaitMode::ServeUserInput,
                          {WakeSource(&Sim(), &sim::SimServer::clientDisconnected)})
                    .done);
    ASSERT_NO_FATAL_FAILURE(Connect(h));
    EXPECT_NE(h.link.g_hconversation, first);
    EXPECT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(h.popups.Texts(), QStringList{"InvalidParameter"});
}

TEST_F(SensorLink, ASerialLineThatHangsUpIsClosedAndCanBeOpenedAgain) {
    StartSim();
    LinkHarness h;
    ASSERT_NO_FATAL_FAILURE(Open(h));
    // The other end goes away under the open port, as when an adapter is unplugged.
    Sim().CloseConversation();
    ASSERT_TRUE(WaitForLink(h, [&] { return !h.com.SerialPortOpen(); }));
    EXPECT_EQ(h.statusTexts, QStringList{"NOT CONNECTED"});
    EXPECT_EQ(h.popups.Count(), 0);
    h.com.CloseCom();  // harmless when closed
    EXPECT_FALSE(h.com.SendFrame());
    EXPECT_EQ(h.link.nBytesW, kSerialPortNotOpen);
    ASSERT_NO_FATAL_FAILURE(Open(h));
    EXPECT_TRUE(h.com.CheckComLineExchange());
}

}  // namespace
}  // namespace tvx::test
