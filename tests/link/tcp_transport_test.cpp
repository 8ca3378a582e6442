// The TCP link against the simulated sensor on 127.0.0.1.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCursor>
#include <QGuiApplication>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <vector>

#include "closed_port.h"
#include "link_harness.h"
#include "sim_thread.h"

namespace tvx::test {
namespace {

using sim::FaultKind;

const QByteArray kVersion = "TRIVEX TCP TEST V6.1";

class TcpTransport : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SimConfig config;
        config.version = kVersion;
        ASSERT_TRUE(sim_.Start(config)) << sim_.Error().toStdString();
    }

    void PointAtSim(LinkHarness& h) {
        h.link.comprotocol = kTcpIp;
        h.link.ipBuf = QStringLiteral("127.0.0.1");
        h.link.portNum = sim_.TcpPort();
        h.link.portNumStr = QString::number(sim_.TcpPort());
    }

    void Connect(LinkHarness& h) {
        PointAtSim(h);
        h.com.InitTCP_IP();
        ASSERT_EQ(h.link.tcpcon, 1) << h.link.szStatus.toStdString();
    }

    // Serves events until the link's callback made `done` true.
    static bool WaitForLink(LinkHarness& h, const std::function<bool()>& done,
                            double seconds = 5.0) {
        return WaitUntil(done, seconds, WaitMode::ServeUserInput,
                         {WakeSource(&h.com, &Com232::tcpEventHandled)})
            .done;
    }

    bool WaitForSim(const std::function<bool()>& done) {
        return WaitUntil(done, 5.0, WaitMode::ServeUserInput,
                         {WakeSource(&Sim(), &sim::SimServer::clientConnected),
                          WakeSource(&Sim(), &sim::SimServer::clientDisconnected)})
            .done;
    }

    sim::SimServer& Sim() { return sim_.Server(); }

    sim::SimThread sim_;
};

// --- complete exchanges ----------------------------------------------------------------------

TEST_F(TcpTransport, ConnectsAndReadsTheVersionInTheHandshake) {
    LinkHarness h;
    Connect(h);
    EXPECT_EQ(h.link.ret, 0);
    EXPECT_GT(h.link.g_hconversation, 0);
    EXPECT_EQ(h.popups.Count(), 0);

    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(h.link.bytesToRead, 0);
    EXPECT_EQ(h.link.dataSize, kFrameBytes);
    EXPECT_EQ(h.link.nBytesW, kFrameBytes);
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));

    const auto requests = Sim().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Order(), 7);
    EXPECT_EQ(requests[0].endpoint, "tcp");
    EXPECT_EQ(requests[0].bytes, SentFrame(h.buffers));
}

TEST_F(TcpTransport, ExchangesCarryTheFrameBytesAsTheyAre) {
    LinkHarness h;
    Connect(h);
    // High bytes of 0xFF and zero bytes travel unchanged: no framing, no escaping.
    for (int i = 0; i < 16; ++i)
        h.buffers.pp[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0xFF00 + i);
    FillTxBuf(h.buffers, 5, 0);
    ASSERT_TRUE(h.com.ExchangeFrame(ScopeReply()));
    ASSERT_EQ(Sim().Requests().size(), 1u);
    EXPECT_EQ(Sim().Requests()[0].bytes, SentFrame(h.buffers));
    EXPECT_EQ(UnpackWord(&h.buffers.szReadBuf[2]), 5);
}

TEST_F(TcpTransport, ASendOnlyTransferWritesOneFrameAndReadsNothing) {
    LinkHarness h;
    Connect(h);
    h.buffers.pp[0] = 1000;
    FillTxBuf(h.buffers, 1, 0);
    h.link.bytesToRead = 0;
    EXPECT_TRUE(h.com.SendFrame());
    EXPECT_EQ(h.link.nBytesW, kFrameBytes);
    ASSERT_TRUE(Sim().WaitForRequests(1, 5000));
    EXPECT_EQ(Sim().Requests()[0].bytes, SentFrame(h.buffers));
    EXPECT_EQ(Sim().State().ram[0], 1000);
}

TEST_F(TcpTransport, AWaitingExchangeServesOtherCallbacks) {
    // The STOP button must act while the live loop waits for a frame.
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::DelayedReply, 5, 300));
    h.flags.poll = 1;
    QObject scope;  // drops the timer with the test's locals
    QTimer::singleShot(20, &scope, [&] { h.flags.poll = 0; });
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_TRUE(h.com.ExchangeFrame(ScopeReply()));
    EXPECT_EQ(h.flags.poll, 0);
}

TEST_F(TcpTransport, ASplitReplyIsPutTogetherInOrder) {
    // The tools' callback reads without serving the user between reads, the scope's serves it:
    // both put the parts one after another from the start of szReadBuf.
    for (LinkVariant variant : {LinkVariant::Scope(), LinkVariant::TempComp()}) {
        Sim().ClearFaults();
        Sim().AddFault(MakeFault(FaultKind::SplitReply, 7, 10, 40));
        LinkHarness h(variant);
        Connect(h);
        std::fill(h.buffers.szReadBuf.begin(), h.buffers.szReadBuf.end(), 0x11);
        ASSERT_TRUE(h.com.CheckComLineExchange());
        EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
        EXPECT_EQ(h.buffers.szReadBuf[kFrameBytes], 0x11);
    }
}

// --- incomplete exchanges ----------------------------------------------------------------------

TEST_F(TcpTransport, NoReplyRunsOutAfterTheScopesThreeSeconds) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::NoReply, 5));
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ScopeReply()));
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    EXPECT_EQ(h.link.nBytesW, kFrameBytes);
    EXPECT_GT(h.link.tdiff, 3.0);
}

TEST_F(TcpTransport, NoHandshakeReplyRunsOutAfterFiveSeconds) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::NoReply, 7));
    EXPECT_FALSE(h.com.CheckComLineExchange());
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    EXPECT_GT(h.link.tdiff, 5.0);
}

TEST_F(TcpTransport, AShortReplyLeavesTheMissingCount) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::ShortReply, 7, 35));
    FillTxBuf(h.buffers, 7, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(HandshakeReply(), 0.3)));
    EXPECT_EQ(h.link.bytesToRead, 1);
    EXPECT_EQ(Received(h.buffers, 35), VersionReply(kVersion).left(35));
}

TEST_F(TcpTransport, LateBytesOfAnIncompleteExchangeStillLandInTheBuffer) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::DelayedReply, 7, 500, sim::Fault::kDefault, 1));
    FillTxBuf(h.buffers, 7, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(HandshakeReply(), 0.1)));
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);

    // Nobody waits any more, but the count is still above 0: the reply is taken when it comes.
    ASSERT_TRUE(WaitForLink(h, [&] { return h.link.bytesToRead == 0; }));
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    EXPECT_EQ(h.com.DroppedBytes(), 0);
}

// --- bytes nobody waits for ----------------------------------------------------------------------

TEST_F(TcpTransport, BytesArrivingWithNoExchangeWaitingAreDropped) {
    LinkHarness h;
    Connect(h);
    ASSERT_TRUE(h.com.CheckComLineExchange());
    std::fill(h.buffers.szReadBuf.begin(), h.buffers.szReadBuf.end(), 0x11);

    // More than one 1024-byte read's worth: all of it goes.
    Sim().SendUnsolicited(QByteArray(1500, static_cast<char>(0xCC)));
    ASSERT_TRUE(WaitForLink(h, [&] { return h.com.DroppedBytes() >= 1500; }));
    EXPECT_EQ(h.com.DroppedBytes(), 1500);
    EXPECT_TRUE(std::all_of(h.buffers.szReadBuf.begin(), h.buffers.szReadBuf.end(),
                            [](std::uint8_t b) { return b == 0x11; }));

    // Nothing of them is left to spoil the next reply.
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
}

TEST_F(TcpTransport, BytesStillInTheKernelBeforeARequestAreNoPartOfItsReply) {
    // The sensor talks as the conversation opens; nothing has served the socket since, so the
    // bytes wait in the kernel, unannounced, when the handshake starts.
    LinkHarness h;
    Connect(h);
    auto* socket = h.com.findChild<QTcpSocket*>();
    ASSERT_NE(socket, nullptr);
    ASSERT_TRUE(WaitForSim([&] { return Sim().HasTcpClient(); }));
    Sim().SendUnsolicited(QByteArray(20, static_cast<char>(0xCC)));
    pollfd pending{static_cast<int>(socket->socketDescriptor()), POLLIN, 0};
    ASSERT_EQ(::poll(&pending, 1, 5000), 1);
    ASSERT_EQ(socket->bytesAvailable(), 0);

    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    EXPECT_EQ(h.com.DroppedBytes(), 20);
}

TEST_F(TcpTransport, BytesBeyondACompleteReplyAreDroppedNotCarriedIntoTheNext) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::LongReply, 7, 5, sim::Fault::kDefault, 1));
    Sim().AddFault(MakeFault(FaultKind::Unsolicited, 5, 36, 50, 1));

    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    FillTxBuf(h.buffers, 5, 0);
    ASSERT_TRUE(h.com.ExchangeFrame(ScopeReply()));
    const QByteArray dataReply = Received(h.buffers, kFrameBytes);
    ASSERT_TRUE(WaitForLink(h, [&] { return h.com.DroppedBytes() >= 5 + 36; }));
    EXPECT_EQ(Received(h.buffers, kFrameBytes), dataReply);

    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
}

// --- connecting ------------------------------------------------------------------------------

struct ConnectCase {
    const char* what;
    std::function<void(LinkState&, quint16 simPort)> set;
    int code;
    const char* text;
};

TEST_F(TcpTransport, ConnectFailuresShowTheirTextInATcpClientBox) {
    const quint16 closedPort = ClosedLocalPort();
    ASSERT_NE(closedPort, 0);
    const std::vector<ConnectCase> cases = {
        {"nothing listening", [closedPort](LinkState& l, quint16) { l.portNum = closedPort; }, -2,
         "UnableToEstablishConnection"},
        {"address that does not resolve",
         [](LinkState& l, quint16) { l.ipBuf = QStringLiteral("no-such-host.invalid"); }, -9,
         "InvalidParameter"},
        {"port text without digits (port 0)", [](LinkState& l, quint16) { l.portNum = 0; }, -9,
         "InvalidParameter"},
        {"port above 65535", [](LinkState& l, quint16) { l.portNum = 70000; }, -9,
         "InvalidParameter"},
        {"empty address", [](LinkState& l, quint16) { l.ipBuf.clear(); }, -9, "InvalidParameter"},
    };
    for (const ConnectCase& c : cases) {
        SCOPED_TRACE(c.what);
        LinkHarness h;
        PointAtSim(h);
        c.set(h.link, sim_.TcpPort());
        h.com.InitTCP_IP();
        EXPECT_EQ(h.link.ret, c.code);
        EXPECT_EQ(h.link.szStatus, c.text);
        EXPECT_EQ(h.link.tcpcon, 0);
        EXPECT_EQ(h.link.g_hconversation, 0);
        ASSERT_EQ(h.popups.Count(), 1);
        EXPECT_EQ(h.popups.LastTitle(), "TCP Client");
        EXPECT_EQ(h.popups.LastText(), c.text);
        EXPECT_EQ(h.statusTexts, QStringList{QStringLiteral("NOT CONNECTED")});
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

        // The handshake that follows finds no conversation and runs out.
        EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(HandshakeReply(), 0.05)));
        EXPECT_LT(h.link.nBytesW, 0);
        EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    }
}

TEST_F(TcpTransport, AConnectThatGetsNoAnswerRunsOutAfterFiveSecondsUnderTheWaitCursor) {
    // A listener whose backlog is full lets further connects hang unanswered.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(filler);
    }
    Pause(0.1, WaitMode::ServeUserInput);

    LinkHarness h;
    PointAtSim(h);
    h.link.portNum = ntohs(address.sin_port);
    Qt::CursorShape shapeWhileConnecting = Qt::ArrowCursor;
    QObject scope;
    QTimer::singleShot(100, &scope, [&] {
        if (const QCursor* cursor = QGuiApplication::overrideCursor())
            shapeWhileConnecting = cursor->shape();
    });
    const double start = SecondsTimer();
    h.com.InitTCP_IP();
    EXPECT_GT(SecondsTimer() - start, 5.0);
    EXPECT_EQ(h.link.ret, -11);
    EXPECT_EQ(h.popups.LastText(), "TimeOutError ");
    EXPECT_EQ(h.link.tcpcon, 0);
    EXPECT_EQ(shapeWhileConnecting, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    for (int filler : fillers) ::close(filler);
    ::close(listener);
}

TEST_F(TcpTransport, ReconnectingClosesTheOpenConversationFirst) {
    LinkHarness h;
    Connect(h);
    const int first = h.link.g_hconversation;
    ASSERT_TRUE(WaitForSim([&] { return Sim().HasTcpClient(); }));

    // The new attempt fails before it connects, yet the sensor sees the old conversation end.
    h.link.portNum = 0;
    h.com.InitTCP_IP();
    EXPECT_EQ(h.link.ret, -9);
    EXPECT_EQ(h.link.tcpcon, 0);
    EXPECT_TRUE(WaitForSim([&] { return !Sim().HasTcpClient(); }));

    // A successful attempt opens a new conversation that works.
    h.link.portNum = sim_.TcpPort();
    h.com.InitTCP_IP();
    EXPECT_EQ(h.link.ret, 0);
    EXPECT_EQ(h.link.tcpcon, 1);
    EXPECT_NE(h.link.g_hconversation, first);
    EXPECT_TRUE(WaitForSim([&] { return Sim().HasTcpClient(); }));
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));

    // Closing from this side is never reported as the server closing.
    Pause(0.1, WaitMode::ServeUserInput);
    EXPECT_FALSE(h.popups.Texts().contains("Server has closed connection!"));
}

TEST_F(TcpTransport, TheServerClosingIsReportedAndLaterExchangesRunOut) {
    LinkHarness h;
    Connect(h);
    ASSERT_TRUE(h.com.CheckComLineExchange());
    // While the box is open, the status display already says that the link is down.
    QString statusWithTheBox;
    h.popups.SetHook([&](const PopupRecord&) {
        statusWithTheBox = h.statusTexts.value(h.statusTexts.size() - 1);
    });

    Sim().CloseConversation();
    ASSERT_TRUE(WaitForLink(h, [&] { return h.link.tcpcon == 0; }));
    EXPECT_EQ(h.link.g_hconversation, 0);
    ASSERT_EQ(h.popups.Count(), 1);
    EXPECT_EQ(h.popups.LastTitle(), "TCP Client");
    EXPECT_EQ(h.popups.LastText(), "Server has closed connection!");
    EXPECT_EQ(statusWithTheBox, QStringLiteral("NOT CONNECTED"));

    FillTxBuf(h.buffers, 1, 0);
    EXPECT_FALSE(h.com.SendFrame());
    EXPECT_LT(h.link.nBytesW, 0);
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ScopeReply(), 0.1)));
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    EXPECT_EQ(h.popups.Count(), 1);

    // The user connects again and the link works.
    h.com.InitTCP_IP();
    EXPECT_EQ(h.link.tcpcon, 1);
    EXPECT_TRUE(h.com.CheckComLineExchange());
}

TEST_F(TcpTransport, AServerClosingRightAfterItsReplyStillDeliversTheReply) {
    LinkHarness h;
    Connect(h);
    Sim().AddFault(MakeFault(FaultKind::Disconnect, 5, 1));
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_TRUE(h.com.ExchangeFrame(ScopeReply()));
    EXPECT_EQ(UnpackWord(&h.buffers.szReadBuf[2]), 5);
    ASSERT_TRUE(WaitForLink(h, [&] { return h.link.tcpcon == 0; }));
    EXPECT_EQ(h.popups.LastText(), "Server has closed connection!");
}

// --- longer replies of the temperature-compensation tool
// --------------------------------------------

TEST_F(TcpTransport, FactorAndCubeRootTablesArriveWhole) {
    sim::SensorState state = Sim().State();
    for (int i = 0; i < sim::kCfTableSize; ++i)
        state.cfTables[1][static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(900 + 3 * i);
    for (int i = 0; i < sim::kRootTableSize; ++i)
        state.rootTable[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(0xFF00 - 7 * i);
    Sim().SetState(state);
    Sim().AddFault(MakeFault(FaultKind::SplitReply, 51, 100, 30));

    LinkHarness h(LinkVariant::TempComp());
    Connect(h);
    BuildRequest(h.buffers, 45);
    ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(200, false, false)));
    EXPECT_EQ(h.link.dataSize, 200);
    EXPECT_EQ(Received(h.buffers, 200), TableReply(state.cfTables[1], 0, 100));

    BuildRequest(h.buffers, 51, 128);
    ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(256, false, false)));
    EXPECT_EQ(Received(h.buffers, 256), TableReply(state.rootTable, 128, 128));

    // A factor table one byte short is incomplete.
    Sim().AddFault(MakeFault(FaultKind::ShortReply, 44, 199));
    BuildRequest(h.buffers, 44);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ToolReply(200, false, false), 0.3)));
    EXPECT_EQ(h.link.bytesToRead, 1);
}

}  // namespace
}  // namespace tvx::test
