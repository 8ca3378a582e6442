// The serial link against the simulated sensor on a pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "link_harness.h"
#include "sim_thread.h"
#include "startup_probe.h"

namespace tvx::test {
namespace {

using sim::FaultKind;

const QByteArray kVersion = "TRIVEX PTY TEST V6.1";

class SerialTransport : public ::testing::Test {
  protected:
    // The line runs at 19200 baud unless a test needs the bytes queued at once.
    void StartSim(int baud = kBaudRate, bool tcp = false) {
        sim::SimConfig config;
        config.tcp = tcp;
        config.pty = true;
        config.baud = baud;
        config.version = kVersion;
        ASSERT_TRUE(sim_.Start(config)) << sim_.Error().toStdString();
    }

    void Open(LinkHarness& h) {
        h.link.comprotocol = kRs232;
        h.link.comdevice = sim_.PtyPath();
        h.com.InitRS232();
        ASSERT_EQ(h.link.ret, 0) << h.link.szStatus.toStdString();
    }

    sim::SimServer& Sim() { return sim_.Server(); }

    sim::SimThread sim_;
};

// A callback queued now; tells whether it ran. It is dropped unrun when it goes out of scope.
struct QueuedCallback {
    QueuedCallback() {
        QMetaObject::invokeMethod(
            &context, [this] { ran = true; }, Qt::QueuedConnection);
    }
    QObject context;
    bool ran = false;
};

// --- opening ------------------------------------------------------------------------------

TEST_F(SerialTransport, OpeningStopsTheLoopsEachProgramNames) {
    StartSim();
    struct Case {
        const char* program;
        LinkVariant variant;
        std::uint16_t poll;
        std::uint16_t pollrecord;
    };
    for (const Case& c : {Case{"scope", LinkVariant::Scope(), 0, 0},
                          Case{"calibration", LinkVariant::Calibration(), 0, 1},
                          Case{"temperature compensation", LinkVariant::TempComp(), 1, 1}}) {
        SCOPED_TRACE(c.program);
        LinkHarness h(c.variant);
        h.flags.poll = 1;
        h.flags.pollrecord = 1;
        Open(h);
        EXPECT_EQ(h.flags.poll, c.poll);
        EXPECT_EQ(h.flags.pollrecord, c.pollrecord);
        EXPECT_TRUE(h.com.SerialPortOpen());
        EXPECT_TRUE(h.statusTexts.isEmpty());
        EXPECT_EQ(h.popups.Count(), 0);
        // Opening again closes the port in use first (else the device would be busy).
        h.com.InitRS232();
        EXPECT_EQ(h.link.ret, 0) << h.link.szStatus.toStdString();
    }
}

TEST_F(SerialTransport, OpenFailuresShowTheirTextInTheStatusDisplayOnly) {
    StartSim();
    QSerialPort holder;
    holder.setPortName(sim_.PtyPath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    // A terminal that would open, were it not for its permissions.
    const int lockedMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(lockedMaster, 0);
    ASSERT_EQ(::grantpt(lockedMaster), 0);
    ASSERT_EQ(::unlockpt(lockedMaster), 0);
    const QString locked = QString::fromLatin1(::ptsname(lockedMaster));
    ASSERT_EQ(::chmod(qPrintable(locked), 0), 0);

    struct Case {
        const char* what;
        std::function<void(LinkState&)> set;
        int code;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"port number 0", [](LinkState& l) { l.comport = 0; }, -2, "Invalid port number"},
        {"no such device",
         [](LinkState& l) { l.comdevice = QStringLiteral("/dev/tvx-no-such-port"); }, -6,
         "No serial port found"},
        {"a device that is no serial port",
         [](LinkState& l) { l.comdevice = QStringLiteral("/dev/null"); }, -7, "Cannot open port"},
        {"a port in use", [this](LinkState& l) { l.comdevice = sim_.PtyPath(); }, -7,
         "Cannot open port"},
        {"a device without permission", [&](LinkState& l) { l.comdevice = locked; }, -7,
         "Cannot open port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LinkHarness h;
        h.link.comprotocol = kRs232;
        c.set(h.link);
        {
            WithoutFileAccessOverride asUser;
            h.com.InitRS232();
        }
        EXPECT_EQ(h.link.ret, c.code);
        EXPECT_EQ(h.link.szStatus, c.text);
        EXPECT_EQ(h.statusTexts, QStringList{c.text});
        EXPECT_EQ(h.popups.Count(), 0);
        EXPECT_FALSE(h.com.SerialPortOpen());
    }
    ::close(lockedMaster);
}

TEST_F(SerialTransport, TheHandshakeAfterAFailedOpenRunsOutAfterTwoSeconds) {
    StartSim();
    LinkHarness h;
    h.link.comport = 0;
    h.com.InitRS232();
    ASSERT_EQ(h.link.szStatus, "Invalid port number");
    EXPECT_FALSE(h.com.CheckComLineExchange());
    EXPECT_EQ(h.link.nBytesW, -3);
    EXPECT_EQ(h.link.dataSize, 0);
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    EXPECT_GT(h.link.tdiff, 2.0);
}

// --- complete exchanges ------------------------------------------------------------------------

TEST_F(SerialTransport, TheHandshakeRunsOverThePacedLineAndKeepsTheWindowServed) {
    StartSim();
    LinkHarness h;
    Open(h);
    // Whatever is not user input (a repaint, a timer) runs while the handshake waits.
    QueuedCallback callback;
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_TRUE(callback.ran);
    EXPECT_EQ(h.link.bytesToRead, 0);
    EXPECT_EQ(h.link.dataSize, kFrameBytes);
    EXPECT_EQ(h.link.nBytesW, kFrameBytes);
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    const auto requests = Sim().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].endpoint, "pty");
    EXPECT_EQ(requests[0].bytes, SentFrame(h.buffers));
}

TEST_F(SerialTransport, TheScopesExchangesServeEventsWhileTheyWait) {
    StartSim();
    LinkHarness h;
    Open(h);
    QueuedCallback callback;
    FillTxBuf(h.buffers, 5, 0);
    ASSERT_TRUE(h.com.ExchangeFrame(ScopeReply()));
    EXPECT_TRUE(callback.ran);
    EXPECT_EQ(UnpackWord(&h.buffers.szReadBuf[2]), 5);
    EXPECT_EQ(Sim().Requests().back().bytes, SentFrame(h.buffers));
}

TEST_F(SerialTransport, ASendOnlyTransferWritesOneFrame) {
    StartSim();
    LinkHarness h;
    Open(h);
    h.buffers.pp[0] = 1000;
    FillTxBuf(h.buffers, 1, 0);
    EXPECT_TRUE(h.com.SendFrame());
    EXPECT_EQ(h.link.nBytesW, kFrameBytes);
    ASSERT_TRUE(Sim().WaitForRequests(1, 5000));
    EXPECT_EQ(Sim().Requests()[0].bytes, SentFrame(h.buffers));
}

// --- incomplete exchanges ----------------------------------------------------------------------

TEST_F(SerialTransport, A35ByteReplyIsIncompleteAfterThreeSeconds) {
    StartSim();
    LinkHarness h;
    Open(h);
    Sim().AddFault(MakeFault(FaultKind::ShortReply, 5, 35));
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ScopeReply()));
    EXPECT_EQ(h.link.dataSize, 35);
    EXPECT_EQ(h.link.bytesToRead, 1);
    EXPECT_GT(h.link.tdiff, 3.0);
    EXPECT_EQ(UnpackWord(&h.buffers.szReadBuf[2]), 5);
}

TEST_F(SerialTransport, A37ByteReplyQueuedAtOnceIsIncompleteToo) {
    StartSim(0);
    LinkHarness h;
    Open(h);
    Sim().AddFault(MakeFault(FaultKind::LongReply, 7, 1));
    EXPECT_FALSE(h.com.CheckComLineExchange());
    EXPECT_EQ(h.link.dataSize, 37);
    EXPECT_EQ(h.link.bytesToRead, -1);
    // Everything queued was read.
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    EXPECT_EQ(h.buffers.szReadBuf[kFrameBytes], 0xEE);
}

TEST_F(SerialTransport, AnOverfullQueueIsReadOnlyAsFarAsTheBufferGoes) {
    StartSim(0);
    LinkHarness h;
    Open(h);
    Sim().AddFault(MakeFault(FaultKind::LongReply, 7, 1500));
    EXPECT_FALSE(h.com.CheckComLineExchange());
    EXPECT_GE(h.link.dataSize, kFrameBytes + 1);
    EXPECT_LE(h.link.dataSize, kBufferBytes);
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes - h.link.dataSize);
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
    const auto tail = h.buffers.szReadBuf.begin() + kFrameBytes;
    EXPECT_TRUE(std::all_of(tail, tail + (h.link.dataSize - kFrameBytes),
                            [](std::uint8_t b) { return b == 0xEE; }));
}

TEST_F(SerialTransport, AReplyLaterThanTheWaitIsFlushedBeforeTheNextTransfer) {
    StartSim();
    LinkHarness h;
    Open(h);
    Sim().AddFault(MakeFault(FaultKind::DelayedReply, 3, 300, sim::Fault::kDefault, 1));
    FillTxBuf(h.buffers, 3, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ScopeReply(), 0.1)));
    EXPECT_EQ(h.link.dataSize, 0);
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);

    // The order-3 reply trickles into the queue after the wait; the next transfer's flush drops
    // it, so the handshake gets the version, not the parameters.
    ASSERT_TRUE(Sim().WaitForLinesIdle(5000));
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
}

TEST_F(SerialTransport, ALineThatHangsUpIsClosedReportedAndCostsNoCpu) {
    StartSim();
    LinkHarness h;
    Open(h);
    // The other end goes away under the open port, as when an adapter is unplugged.
    Sim().CloseConversation();
    ASSERT_TRUE(WaitUntil([&] { return !h.com.SerialPortOpen(); }, 10.0, WaitMode::ServeUserInput,
                          {WakeSource(&h.com, &Com232::linkDown)})
                    .done);
    ASSERT_FALSE(h.statusTexts.isEmpty());
    EXPECT_EQ(h.statusTexts.last(), QStringLiteral("NOT CONNECTED"));
    EXPECT_EQ(h.popups.Count(), 0);

    // With nothing connected the program idles: a fault check, not a speed goal.
    const double cpuBefore = ThreadCpuSeconds();
    const double wallBefore = SecondsTimer();
    Pause(1.0, WaitMode::ServeUserInput);
    EXPECT_LT(ThreadCpuSeconds() - cpuBefore, 0.3 * (SecondsTimer() - wallBefore));

    // The next exchange fails as on a closed port; the line opened anew works again.
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ScopeReply(), 0.1)));
    EXPECT_EQ(h.link.nBytesW, -3);
    Open(h);
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
}

TEST_F(SerialTransport, AClosedPortFailsEveryTransfer) {
    StartSim();
    LinkHarness h;
    Open(h);
    h.com.CloseCom();
    EXPECT_FALSE(h.com.SerialPortOpen());
    h.com.CloseCom();  // harmless when closed
    EXPECT_FALSE(h.com.SendFrame());
    EXPECT_EQ(h.link.nBytesW, -3);
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ScopeReply(), 0.1)));
    EXPECT_EQ(h.link.bytesToRead, kFrameBytes);
    EXPECT_EQ(Sim().RequestCount(), 0u);
}

// --- longer replies of the temperature-compensation tool
// --------------------------------------------

TEST_F(SerialTransport, FactorAndCubeRootTablesArriveWholeAndAStrayByteShiftsNothing) {
    StartSim();
    sim::SensorState state = Sim().State();
    for (int i = 0; i < sim::kCfTableSize; ++i)
        state.cfTables[2][static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(1024 - i);
    Sim().SetState(state);

    LinkHarness h(LinkVariant::TempComp());
    Open(h);
    h.com.FlushComQueues();  // once, before the first read
    BuildRequest(h.buffers, 46);
    ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(200, false, false)));
    EXPECT_EQ(Received(h.buffers, 200), TableReply(state.cfTables[2], 0, 100));
    // A byte the sensor sends between two reads (the queues are not flushed before each) is no
    // part of the next reply, nor of the one after it.
    Sim().SendUnsolicited(QByteArray(1, static_cast<char>(0xCC)));
    ASSERT_TRUE(Sim().WaitForLinesIdle(5000));
    for (int start : {0, 128}) {
        BuildRequest(h.buffers, 51, static_cast<std::uint16_t>(start));
        ASSERT_TRUE(h.com.ExchangeFrame(ToolReply(256, false, false)));
        EXPECT_EQ(Received(h.buffers, 256), TableReply(state.rootTable, start, 128));
    }

    Sim().AddFault(MakeFault(FaultKind::ShortReply, 44, 199));
    BuildRequest(h.buffers, 44);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ToolReply(200, false, false), 0.3)));
    EXPECT_EQ(h.link.bytesToRead, 1);
}

// --- both links in one program
// ---------------------------------------------------------------------

TEST_F(SerialTransport, SwitchingToTheSerialLinkKeepsTheTcpConversation) {
    StartSim(kBaudRate, true);
    LinkHarness h;
    h.link.comprotocol = kTcpIp;
    h.link.ipBuf = QStringLiteral("127.0.0.1");
    h.link.portNum = sim_.TcpPort();
    h.com.InitTCP_IP();
    ASSERT_EQ(h.link.tcpcon, 1);

    Open(h);
    EXPECT_EQ(h.link.tcpcon, 1);

    // A serial exchange that got nothing leaves a count that points before szReadBuf; TCP bytes
    // arriving now must be dropped, not written there.
    Sim().AddFault(MakeFault(FaultKind::NoReply, 5, sim::Fault::kDefault, sim::Fault::kDefault, 1));
    FillTxBuf(h.buffers, 5, 0);
    EXPECT_FALSE(h.com.ExchangeFrame(ShortWaits(ScopeReply(), 0.1)));
    ASSERT_EQ(h.link.dataSize, 0);
    ASSERT_EQ(h.link.bytesToRead, kFrameBytes);
    std::fill(h.buffers.szReadBuf.begin(), h.buffers.szReadBuf.end(), 0x11);
    Sim().SendUnsolicited(QByteArray(40, static_cast<char>(0xCC)));
    ASSERT_TRUE(WaitUntil([&] { return h.com.DroppedBytes() >= 40; }, 5.0, WaitMode::ServeUserInput,
                          {WakeSource(&h.com, &Com232::tcpEventHandled)})
                    .done);
    EXPECT_TRUE(std::all_of(h.buffers.szReadBuf.begin(), h.buffers.szReadBuf.end(),
                            [](std::uint8_t b) { return b == 0x11; }));

    // The serial link still works: the flush drops what the line got meanwhile.
    ASSERT_TRUE(Sim().WaitForLinesIdle(5000));
    ASSERT_TRUE(h.com.CheckComLineExchange());
    EXPECT_EQ(Received(h.buffers, kFrameBytes), VersionReply(kVersion));
}

}  // namespace
}  // namespace tvx::test
