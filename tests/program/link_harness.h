#pragma once

#include <gtest/gtest.h>

#include "com232.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "wait.h"

namespace tvx::test {

// One program's link: its state, buffers and loop flags, scripted pop-ups, a status display that
// keeps what it was shown, and the transport working on all of them.
struct LinkHarness {
    explicit LinkHarness(LinkVariant variant = LinkVariant::Scope())
        : com(link, buffers, flags, popups, variant) {
        com.SetStatusDisplay([this](const QString& text) { statusTexts << text; });
    }
    QByteArray Received(int n = kFrameBytes) const {
        return QByteArray(reinterpret_cast<const char*>(buffers.szReadBuf.data()), n);
    }
    // A request of `order` in szWriteBuf whose word 2 is `value` (as the tools' builders do).
    void Build(std::uint16_t order, std::uint16_t value = 0) {
        buffers.pp[0] = value;
        FillTxBuf(buffers, order, 0);
    }

    LinkState link;
    FrameBuffers buffers;
    LoopFlags flags;
    ScriptedPopups popups;
    QStringList statusTexts;
    Com232 com;
};

// The simulated sensor on TCP 127.0.0.1 and a pseudo-terminal, and links opened to it.
class SensorLink : public ::testing::Test {
  protected:
    void StartSim(int baud = kBaudRate) {
        sim::SimConfig config;
        config.pty = true;
        config.baud = baud;
        config.version = "TRIVEX LINK TEST";
        ASSERT_TRUE(sim_.Start(config)) << sim_.Error().toStdString();
    }
    void Connect(LinkHarness& h) {
        h.link.comprotocol = kTcpIp;
        h.link.ipBuf = QStringLiteral("127.0.0.1");
        h.link.portNum = sim_.TcpPort();
        h.com.InitTCP_IP();
        ASSERT_EQ(h.link.tcpcon, 1) << h.link.szStatus.toStdString();
    }
    void Open(LinkHarness& h) {
        h.link.comprotocol = kRs232;
        h.link.comdevice = sim_.PtyPath();
        h.com.InitRS232();
        ASSERT_EQ(h.link.ret, 0) << h.link.szStatus.toStdString();
    }
    // Serves events until the link made `done` true.
    static bool WaitForLink(LinkHarness& h, const std::function<bool()>& done) {
        return WaitUntil(done, 10.0, WaitMode::ServeUserInput,
                         {WakeSource(&h.com.Session(), &SensorSession::exchangeFinished),
                          WakeSource(&h.com.Session(), &SensorSession::inputDropped),
                          WakeSource(&h.com, &Com232::linkDown)})
            .done;
    }
    static QByteArray Version() {
        return QByteArray("TRIVEX LINK TEST").leftJustified(kFrameBytes, '\0');
    }
    sim::SimServer& Sim() { return sim_.Server(); }

    sim::SimThread sim_;
};

// The request/reply limits with another wait, for what happens after a wait ran out.
inline ExchangeLimits Waiting(ExchangeLimits limits, double seconds) {
    limits.serialWaitSeconds = limits.tcpWaitSeconds = seconds;
    return limits;
}

}  // namespace tvx::test
