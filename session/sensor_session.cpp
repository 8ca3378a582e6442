#include "sensor_session.h"

#include <QLoggingCategory>
#include <algorithm>

#include "event_wait.h"
#include "frames.h"
#include "link_errors.h"
#include "serial_transport.h"
#include "tcp_transport.h"

namespace tvx {

namespace {

// tvx.session: every open, close, link down, and each request with its reply on one line. Off
// unless QT_LOGGING_RULES="tvx.session.debug=true"; qCDebug formats nothing while it is off.
Q_LOGGING_CATEGORY(lcSession, "tvx.session", QtWarningMsg)

// Word 1 of a request; -1 for one too short to have it.
int OrderOf(const QByteArray& request) {
    if (request.size() < 4) return -1;
    return UnpackWord(reinterpret_cast<const std::uint8_t*>(request.constData()) + 2);
}

QString OutcomeText(LinkOutcome outcome) {
    return outcome == LinkOutcome::Done ? QStringLiteral("done") : FailureKind(outcome);
}

// "127.0.0.1:5000 order 7: wrote 36 of 36, arrived 36 of 36, done, 1.204 ms"; a send-only
// transfer awaits no reply and is not timed.
QString DescribeExchange(const SensorAddress& address, int order, qsizetype requestBytes,
                         const ExchangeResult& result) {
    QString line = QStringLiteral("%1 order %2: wrote %3 of %4, ")
                       .arg(address.Describe())
                       .arg(order)
                       .arg(result.written)
                       .arg(requestBytes);
    if (result.expected == 0) return line + OutcomeText(result.outcome);
    return line + QStringLiteral("arrived %1 of %2, %3, %4 ms")
                      .arg(result.arrived)
                      .arg(result.expected)
                      .arg(OutcomeText(result.outcome))
                      .arg(result.elapsedSeconds * 1000.0, 0, 'f', 3);
}

}  // namespace

SensorSession::SensorSession(QObject* parent) : QObject(parent) {
    qRegisterMetaType<OpenResult>();
    qRegisterMetaType<LinkDownReason>();
    replyLimit_.setSingleShot(true);
    replyLimit_.setTimerType(Qt::PreciseTimer);
    connect(&replyLimit_, &QTimer::timeout, this, &SensorSession::OnReplyLimit);
}

SensorSession::~SensorSession() {
    // Whoever listens may be half gone already; a session going away tells nobody.
    blockSignals(true);
    Close();
}

bool SensorSession::IsOpen() const {
    return !opening_ && transport_ != nullptr && transport_->IsOpen();
}

void SensorSession::StartOpen(const SensorAddress& address) {
    Close();
    address_ = address;
    opening_ = true;
    qCDebug(lcSession).noquote() << address_.Describe() << "opening";
    if (!address.tcp) {
        auto* serial = new SerialTransport(this);
        const int code = serial->Open(address.SerialDeviceName());
        OpenResult result;
        if (code != 0) {
            result = {LinkOutcome::OpenFailed, code, SerialErrorText(code), serial->OpenCause()};
            delete serial;
        } else {
            transport_ = serial;
        }
        if (transport_ != nullptr) {
            connect(transport_, &Transport::dataArrived, this, &SensorSession::OnDataArrived);
            connect(transport_, &Transport::wentDown, this, &SensorSession::OnWentDown);
        }
        // Reported from the event loop, as a TCP connect is: a caller never sees it inside.
        QMetaObject::invokeMethod(
            this, [this, result] { FinishOpen(result); }, Qt::QueuedConnection);
        return;
    }
    auto* tcp = new TcpTransport(this);
    transport_ = tcp;
    connect(tcp, &TcpTransport::connectFinished, this, [this, tcp](int code) {
        if (transport_ != tcp) return;
        if (code != 0) {
            const SystemCause cause = tcp->ConnectCause();
            DropTransport();
            FinishOpen({LinkOutcome::ConnectFailed, code, TcpErrorText(code), cause});
            return;
        }
        ++conversation_;
        connect(tcp, &Transport::dataArrived, this, &SensorSession::OnDataArrived);
        connect(tcp, &Transport::wentDown, this, &SensorSession::OnWentDown);
        FinishOpen({});
    });
    tcp->StartConnect(address.host, address.port);
}

void SensorSession::FinishOpen(OpenResult result) {
    if (!opening_) return;  // closed meanwhile
    opening_ = false;
    if (result.ok())
        qCDebug(lcSession).noquote() << address_.Describe() << "open";
    else
        qCDebug(lcSession).noquote()
            << address_.Describe() << "open failed:" << OutcomeText(result.outcome) << result.code
            << result.text;
    emit opened(result);
    if (result.ok()) emit linkUp();
}

void SensorSession::Close() {
    const bool wasOpen = IsOpen();
    if (pending_) Finish(LinkOutcome::Superseded);
    DropTransport();
    opening_ = false;
    if (!wasOpen) return;
    qCDebug(lcSession).noquote() << address_.Describe() << "closed";
    emit linkDown(LinkDownReason::ClosedHere);
}

void SensorSession::DropTransport() {
    if (transport_ == nullptr) return;
    Transport* transport = transport_;
    transport_ = nullptr;
    transport->disconnect(this);
    transport->Close();
    transport->deleteLater();
}

void SensorSession::FlushSerialQueues() {
    if (auto* serial = qobject_cast<SerialTransport*>(transport_.data()))
        droppedBytes_ += serial->Flush();
}

namespace {

int NotOpenCode(bool tcp) {
    return tcp ? int{kTcpNoConnectionEstablished} : int{kSerialPortNotOpen};
}

}  // namespace

ExchangeResult SensorSession::Send(const QByteArray& frame, int tcpWriteTimeoutMs) {
    ExchangeResult result;
    const bool open = IsOpen();
    result.written =
        open ? transport_->Write(frame, address_.tcp ? tcpWriteTimeoutMs : kSerialPortTimeoutMs)
             : NotOpenCode(address_.tcp);
    if (open && result.written < 0) result.writeCause = transport_->WriteCause();
    result.outcome =
        result.written == frame.size() ? LinkOutcome::Done : LinkOutcome::WriteIncomplete;
    qCDebug(lcSession).noquote() << DescribeExchange(address_, OrderOf(frame), frame.size(),
                                                     result);
    return result;
}

void SensorSession::StartExchange(const QByteArray& request, const ExchangeLimits& limits,
                                  ExchangeDone done) {
    if (pending_) Finish(LinkOutcome::Superseded);
    Pending pending;
    pending.done = std::move(done);
    pending.requestBytes = static_cast<int>(request.size());
    pending.order = OrderOf(request);
    pending.result.expected = std::clamp(limits.replyBytes, 0, kBufferBytes);
    pending.result.limitSeconds = address_.tcp ? limits.tcpWaitSeconds : limits.serialWaitSeconds;

    const bool open = IsOpen();
    if (open) {
        if (!address_.tcp && limits.serialFlushFirst) FlushSerialQueues();
        // Only after the drain does the count start, so that earlier bytes can never pass for
        // the start of this reply.
        droppedBytes_ += transport_->DropInput();
    }
    pending_ = std::move(pending);
    pending_->result.written =
        open ? transport_->Write(request,
                                 address_.tcp ? limits.tcpWriteTimeoutMs : kSerialPortTimeoutMs)
             : NotOpenCode(address_.tcp);
    if (open && pending_->result.written < 0 && transport_ != nullptr)
        pending_->result.writeCause = transport_->WriteCause();
    pending_->result.startSeconds = SecondsTimer();
    if (!IsOpen()) {
        // Nothing can come on a link that is not open.
        Finish(LinkOutcome::WriteIncomplete);
        return;
    }
    ArmReplyLimit();
}

// The timer is left running when an exchange ends: the next exchange, due in a few milliseconds,
// finds it set for a later moment and leaves it be, so that a fleet of sessions does not restart
// a timer per exchange. It is set again only when this exchange's limit comes first; when it
// goes off early, OnReplyLimit sets it for what remains.
void SensorSession::ArmReplyLimit() {
    const double deadline = pending_->result.startSeconds + pending_->result.limitSeconds;
    if (replyLimit_.isActive() && replyLimitDue_ <= deadline) return;
    replyLimitDue_ = deadline;
    replyLimit_.start(SleepMsFor(pending_->result.limitSeconds));
}

void SensorSession::OnDataArrived() {
    if (transport_ == nullptr) return;
    if (!pending_) {
        // Over TCP nobody's bytes are read and dropped; on the serial line they wait in the
        // queue for the drain before the next request.
        if (!address_.tcp) return;
        droppedBytes_ += transport_->Read(transport_->BytesAvailable()).size();
        emit inputDropped();
        return;
    }
    if (address_.tcp) {
        TakeTcpReply();
    } else if (transport_->BytesAvailable() >= pending_->result.expected) {
        CollectSerialQueue();
    }
}

// A read takes what has arrived, up to the missing count; the rest of a split reply comes with a
// later notice. What follows a complete reply is dropped.
void SensorSession::TakeTcpReply() {
    ExchangeResult& result = pending_->result;
    const qint64 missing = result.expected - result.arrived;
    if (missing > 0 && transport_->BytesAvailable() > 0) {
        const QByteArray part = transport_->Read(missing);
        result.reply += part;
        result.arrived += static_cast<int>(part.size());
    }
    if (result.arrived < result.expected) return;
    droppedBytes_ += transport_->Read(transport_->BytesAvailable()).size();
    Finish(
        result.written == pending_->requestBytes ? LinkOutcome::Done : LinkOutcome::WriteIncomplete,
        Delivery::Now);
}

// Everything queued is taken in one read, as far as the receive buffer goes; exactly the awaited
// count is a complete reply, fewer or more are not.
void SensorSession::CollectSerialQueue() {
    ExchangeResult& result = pending_->result;
    result.arrived = static_cast<int>(transport_ != nullptr ? transport_->BytesAvailable() : 0);
    if (result.arrived > 0) result.reply = transport_->Read(std::min(result.arrived, kBufferBytes));
    LinkOutcome outcome = LinkOutcome::Done;
    if (result.written != pending_->requestBytes)
        outcome = LinkOutcome::WriteIncomplete;
    else if (result.arrived == 0)
        outcome = LinkOutcome::NoReply;
    else if (result.arrived < result.expected)
        outcome = LinkOutcome::ShortReply;
    else if (result.arrived > result.expected)
        outcome = LinkOutcome::LongReply;
    Finish(outcome, Delivery::Now);
}

void SensorSession::OnReplyLimit() {
    if (!pending_) return;
    const double elapsed = SecondsTimer() - pending_->result.startSeconds;
    if (elapsed <= pending_->result.limitSeconds) {
        replyLimitDue_ = pending_->result.startSeconds + pending_->result.limitSeconds;
        replyLimit_.start(SleepMsFor(pending_->result.limitSeconds - elapsed));
        return;
    }
    if (!address_.tcp) {
        CollectSerialQueue();
        return;
    }
    const ExchangeResult& result = pending_->result;
    if (result.written != pending_->requestBytes)
        Finish(LinkOutcome::WriteIncomplete, Delivery::Now);
    else
        Finish(result.arrived == 0 ? LinkOutcome::NoReply : LinkOutcome::ShortReply, Delivery::Now);
}

void SensorSession::OnWentDown(LinkDownReason reason) {
    // The exchange's result is queued before anyone hears of the link going down, so that what
    // the listeners do cannot take the exchange's place.
    if (pending_) {
        Finish(reason == LinkDownReason::LineHungUp ? LinkOutcome::LineHungUp
                                                    : LinkOutcome::ClosedBySensor);
    }
    DropTransport();
    qCDebug(lcSession).noquote() << address_.Describe() << "link down:" << DescribeLinkDown(reason);
    emit linkDown(reason);
}

void SensorSession::Finish(LinkOutcome outcome, Delivery delivery) {
    Pending pending = std::move(*pending_);
    pending_.reset();
    pending.result.outcome = outcome;
    pending.result.elapsedSeconds = SecondsTimer() - pending.result.startSeconds;
    qCDebug(lcSession).noquote() << DescribeExchange(address_, pending.order, pending.requestBytes,
                                                     pending.result);
    auto deliver = [this, done = std::move(pending.done), result = std::move(pending.result)] {
        if (done) done(result);
        emit exchangeFinished();
    };
    // From the event loop the result goes out at once; from inside a caller's own call it waits
    // for the event loop, so that no caller sees its callback run before the call returned.
    if (delivery == Delivery::Now)
        deliver();
    else
        QMetaObject::invokeMethod(this, std::move(deliver), Qt::QueuedConnection);
}

}  // namespace tvx
