#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>

#include "exchange_limits.h"
#include "frames.h"
#include "link_errors.h"
#include "link_state.h"
#include "loop_flags.h"
#include "popups.h"

class QTcpSocket;

namespace tvx {

// What the status displays say while no link is up: after the server closed the conversation,
// after a failed connect and after the serial line went dead.
inline constexpr const char* kNotConnectedText = "NOT CONNECTED";

// Events of a TCP conversation, as ClientTCPCB receives them.
enum class TcpEvent { Connect, DataReady, Disconnect };

// The sensor link: opens and closes the serial port or the TCP conversation and moves frames
// between the program's buffers and the sensor. It works on state the program owns (the link
// state, the frame buffers, the loop flags) and reports through the program's pop-ups and its
// status display; it knows nothing of what a frame means.
//
// The serial link uses a QSerialPort at 19200 8N1 without flow control and with 1024-byte
// queues. Each TCP conversation is a QTcpSocket of its own; its data-ready and disconnect events
// reach ClientTCPCB from event processing (queued), like the callback they stand for, never from
// inside a blocking socket call.
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
    // loops the variant names, closes the port in use first; a failure leaves ret < 0 and the
    // error text in szStatus and in the status display, with no dialog.
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
    // szReadBuf within the limits. True exactly when bytesToRead is 0 afterwards. Whatever had
    // arrived before the request is taken off the line first, so a reply is made only of bytes
    // that came after its request.
    bool ExchangeFrame(const ExchangeLimits& limits = ScopeReply());
    // The transport side of the handshake: builds the order-7 frame and runs the exchange with
    // the handshake limits. True when the 36 version bytes arrived.
    bool CheckComLineExchange();

    // The TCP conversation callback; always returns 0. Data ready: while an exchange waits
    // (bytesToRead > 0) the bytes go to szReadBuf at dataSize - bytesToRead, else they are read
    // and dropped. Disconnect by the server: "Server has closed connection!" in a "TCP Client"
    // box, then g_hconversation = 0 and tcpcon = 0. Events of an earlier conversation are
    // ignored. The status display says the link is down before the box shows.
    int ClientTCPCB(int handle, TcpEvent event, int error);

    bool SerialPortOpen() const;
    // Bytes that arrived over TCP while no exchange waited for them and were dropped, in all.
    qint64 DroppedBytes() const { return droppedBytes_; }
    // The device InitRS232 opens (empty for a port number out of range).
    QString SerialDeviceName() const;

  signals:
    // ClientTCPCB has run; a waiting exchange looks at bytesToRead again.
    void tcpEventHandled();
    // The open link went away: the server closed the conversation or the serial line died.
    void linkDown();

  private:
    bool UsesTcp() const;
    int OpenSerialPort();
    int ConnectToServer();
    void DropConversation();
    void ReadConversationData(QTcpSocket* socket);
    void DropPendingData(QTcpSocket* socket);

    int WriteSerial();
    int WriteTcp(int timeoutMs);
    bool ExchangeSerial(const ExchangeLimits& limits);
    bool ExchangeTcp(const ExchangeLimits& limits);
    void DrainSerialInput();
    void DrainConversation();
    void OnSerialError(QSerialPort::SerialPortError error);
    bool SerialLineHungUp();

    LinkState& link_;
    FrameBuffers& buffers_;
    LoopFlags& flags_;
    Popups& popups_;
    LinkVariant variant_;
    std::function<void(const QString&)> statusDisplay_;

    QSerialPort serial_;
    QTcpSocket* socket_ = nullptr;  // the current conversation, or none
    int conversation_ = 0;          // handle of socket_
    int lastConversation_ = 0;      // handles count up from 1
    int serialSession_ = 0;         // counts the openings of the serial port
    qint64 droppedBytes_ = 0;
};

}  // namespace tvx
