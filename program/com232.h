#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "exchange_limits.h"
#include "frames.h"
#include "link_state.h"
#include "loop_flags.h"
#include "popups.h"
#include "sensor_session.h"
#include "state_line_model.h"

namespace tvx {

// What the status displays say while no link is up: after the server closed the conversation,
// after a failed connect and after the serial line went dead.
inline constexpr const char* kNotConnectedText = "NOT CONNECTED";

// The program's link, module com232: the programs' routines open and close the link and move
// frames between their buffers and the sensor through it, step by step. Underneath is one
// SensorSession; this layer waits on it as each routine needs (user input served or held back),
// fills the link fields the routines read (ret, nBytesW, bytesToRead, tcpcon ...) from the
// session's results, and shows what the programs show: the status display's texts, the "TCP
// Client" boxes. It knows nothing of what a frame means.
class Com232 : public QObject {
    Q_OBJECT
  public:
    Com232(LinkState& link, FrameBuffers& buffers, LoopFlags& flags, Popups& popups,
           LinkVariant variant = LinkVariant::Scope(), QObject* parent = nullptr);
    ~Com232() override;

    // The program's status display on its main panel; serial open failures are written there.
    void SetStatusDisplay(std::function<void(const QString&)> show);
    void ShowStatus(const QString& text);

    // --- connection ---
    // Opens the serial port: comdevice when set, else the platform's name of comport. Stops the
    // loops the variant names and closes the port in use first; a failure leaves ret < 0 and the
    // error text in szStatus and in the status display, with no box.
    void InitRS232();
    // Connects to ipBuf at portNum within 5000 ms under the wait cursor, after closing an open
    // conversation. A failure leaves ret < 0, tcpcon 0 and shows the error text in a message
    // box titled "TCP Client".
    void InitTCP_IP();
    // Closes the serial port; harmless when it is not open.
    void CloseCom();
    // Closes the TCP conversation from this side (no message); tcpcon and g_hconversation 0.
    void DisconnectTCP();

    // --- transfers, on the link comprotocol selects (1 = TCP, anything else = serial) ---
    // Empties both serial queues (the program's "flush both queues"); harmless when closed.
    void FlushComQueues();
    // The send-only transfer of the 36 bytes in szWriteBuf; the result goes to nBytesW and the
    // transfer succeeded only when it is 36. Serial queues are not flushed here.
    bool SendFrame(int tcpWriteTimeoutMs = kTcpWriteTimeoutMs);
    // The request/reply exchange: sends the 36 bytes in szWriteBuf and collects the reply into
    // szReadBuf within the limits. True exactly when bytesToRead is 0 afterwards. A failed
    // exchange takes its whole limit, whatever ended it early (a link that is not open, a
    // conversation the sensor closed).
    bool ExchangeFrame(const ExchangeLimits& limits = ScopeReply());
    // The transport side of the handshake: builds the order-7 frame and runs the exchange with
    // the handshake limits. True when the 36 version bytes arrived.
    bool CheckComLineExchange();

    bool SerialPortOpen() const;
    // Bytes that arrived while no exchange waited for them, or before a request, in all.
    qint64 DroppedBytes() const { return session_.DroppedBytes(); }
    SensorSession& Session() { return session_; }
    // What the main window's state line shows; the link feeds its link events.
    StateLineModel& StateLineData() { return stateLine_; }

  signals:
    // The open link went away: the server closed the conversation or the serial line died.
    void linkDown();

  private:
    bool UsesTcp() const { return link_.comprotocol == kTcpIp; }
    // The session's open link is the kind comprotocol selects.
    bool LinkMatches() const;
    QByteArray Request() const;
    void TakeResult(const ExchangeResult& result, bool tcp);
    void OnLinkDown(LinkDownReason reason);
    // Gives the state line an exchange that did not come back complete.
    void NoteIncomplete(const ExchangeResult& result, bool linkOpen);

    LinkState& link_;
    FrameBuffers& buffers_;
    LoopFlags& flags_;
    Popups& popups_;
    LinkVariant variant_;
    std::function<void(const QString&)> statusDisplay_;
    SensorSession session_;
    StateLineModel stateLine_;
    bool handshaking_ = false;
};

}  // namespace tvx
