#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "exchange_limits.h"
#include "link_result.h"
#include "sensor_address.h"

namespace tvx {

class Transport;

using ExchangeDone = std::function<void(const ExchangeResult&)>;

// One link to one sensor, and nothing else: no window, no pop-up, no status display. It opens
// and closes the link, sends frames and runs request/reply exchanges, and reports every outcome
// as a value. Exchanges are asynchronous: the request goes out at once, the result arrives later
// from the event loop, so one thread can drive many sessions. The programs' procedural routines
// wait on it through the blocking calls of blocking_link.h.
//
// Bytes that arrive while no exchange waits are dropped, and so is whatever is still on the line
// when a request goes out: a reply is made only of bytes that came after its request.
class SensorSession : public QObject {
    Q_OBJECT
  public:
    explicit SensorSession(QObject* parent = nullptr);
    ~SensorSession() override;

    // Opens the link, closing the one open first: a serial port at once, a TCP connect within
    // kTcpConnectTimeoutMs. opened() follows from the event loop in either case.
    void StartOpen(const SensorAddress& address);
    // Closes from this side; an exchange still waiting ends as Superseded.
    void Close();
    bool IsOpen() const;
    bool IsOpening() const { return opening_; }
    bool IsTcp() const { return address_.tcp; }
    const SensorAddress& Address() const { return address_; }
    // Counts the TCP conversations opened, from 1; 0 while none is open.
    int Conversation() const { return IsOpen() && address_.tcp ? conversation_ : 0; }

    // Empties both queues of an open serial port; nothing on TCP.
    void FlushSerialQueues();
    // The send-only transfer: the frame is written whole or the result says how far it got. It
    // blocks at most the write limit (the serial port's own, or tcpWriteTimeoutMs).
    ExchangeResult Send(const QByteArray& frame, int tcpWriteTimeoutMs = kTcpWriteTimeoutMs);
    // The request/reply exchange within `limits`. `done` runs from the event loop, never from
    // inside this call. An exchange started while another waits ends that one as Superseded.
    void StartExchange(const QByteArray& request, const ExchangeLimits& limits, ExchangeDone done);
    bool ExchangePending() const { return pending_.has_value(); }

    // Bytes that came while no exchange waited for them, or before a request, in all.
    qint64 DroppedBytes() const { return droppedBytes_; }

  signals:
    void opened(const tvx::OpenResult& result);
    void linkUp();
    void linkDown(tvx::LinkDownReason reason);
    // An exchange's `done` has run: wakes whoever waits on it.
    void exchangeFinished();
    // Bytes nobody waited for were dropped.
    void inputDropped();

  private:
    struct Pending {
        ExchangeDone done;
        ExchangeResult result;
        int requestBytes = 0;
        int order = -1;  // word 1 of the request, for the log
    };

    void FinishOpen(OpenResult result);
    void OnDataArrived();
    void OnWentDown(LinkDownReason reason);
    void ArmReplyLimit();
    void OnReplyLimit();
    void TakeTcpReply();
    void CollectSerialQueue();
    enum class Delivery { Now, Queued };
    void Finish(LinkOutcome outcome, Delivery delivery = Delivery::Queued);
    void DropTransport();

    SensorAddress address_;
    QPointer<Transport> transport_;
    bool opening_ = false;
    int conversation_ = 0;
    std::optional<Pending> pending_;
    QTimer replyLimit_;
    double replyLimitDue_ = 0.0;  // SecondsTimer the running replyLimit_ is set for
    qint64 droppedBytes_ = 0;
};

}  // namespace tvx
