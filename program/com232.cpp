#include "com232.h"

#include <algorithm>
#include <cstring>

#include "blocking_link.h"
#include "link_errors.h"
#include "orders.h"
#include "wait.h"

namespace tvx {

namespace {

const QString kTcpClientTitle = QStringLiteral("TCP Client");
const QString kServerClosedText = QStringLiteral("Server has closed connection!");

}  // namespace

Com232::Com232(LinkState& link, FrameBuffers& buffers, LoopFlags& flags, Popups& popups,
               LinkVariant variant, QObject* parent)
    : QObject(parent),
      link_(link),
      buffers_(buffers),
      flags_(flags),
      popups_(popups),
      variant_(variant),
      session_(this) {
    connect(&session_, &SensorSession::linkDown, this, &Com232::OnLinkDown);
}

Com232::~Com232() = default;

void Com232::SetStatusDisplay(std::function<void(const QString&)> show) {
    statusDisplay_ = std::move(show);
}

void Com232::ShowStatus(const QString& text) {
    if (statusDisplay_) statusDisplay_(text);
}

bool Com232::LinkMatches() const {
    return session_.IsOpen() && session_.IsTcp() == UsesTcp();
}

bool Com232::SerialPortOpen() const {
    return session_.IsOpen() && !session_.IsTcp();
}

QByteArray Com232::Request() const {
    return QByteArray(reinterpret_cast<const char*>(buffers_.szWriteBuf.data()), kFrameBytes);
}

// ---------------------------------------------------------------------------------------------
// Connection

void Com232::InitRS232() {
    if (variant_.initRs232StopsPoll) flags_.poll = 0;
    if (variant_.initRs232StopsPollrecord) flags_.pollrecord = 0;
    CloseCom();
    const SensorAddress address = LinkAddress(link_, kRs232);
    const QString device = address.SerialDeviceName();
    stateLine_.AttemptStarted(device.isEmpty() ? QStringLiteral("port %1").arg(link_.comport)
                                               : device);
    // Opening a port does not let the user start anything meanwhile.
    const OpenResult opened = OpenAndWait(session_, address, WaitMode::ExcludeUserInput);
    link_.ret = static_cast<std::int16_t>(opened.code);
    if (!opened.ok()) {
        link_.szStatus = opened.text;
        stateLine_.OpenFailed(opened, false);
        ShowStatus(link_.szStatus);
    }
}

void Com232::InitTCP_IP() {
    if (link_.tcpcon > 0)
        DisconnectTCP();
    else if (session_.IsTcp())
        session_.Close();  // what is left of a conversation the server closed
    const SensorAddress address = LinkAddress(link_, kTcpIp);
    stateLine_.AttemptStarted(address.Describe());
    OpenResult opened;
    {
        // The window repaints while the connect runs; user actions wait until it is settled.
        WaitCursor cursor;
        opened = OpenAndWait(session_, address, WaitMode::ExcludeUserInput);
    }
    link_.ret = static_cast<std::int16_t>(opened.code);
    if (!opened.ok()) {
        link_.szStatus = opened.text;
        stateLine_.OpenFailed(opened, true);
        link_.g_hconversation = 0;
        link_.tcpcon = 0;
        ShowStatus(QString::fromLatin1(kNotConnectedText));
        popups_.MessagePopup(kTcpClientTitle, link_.szStatus);
        return;
    }
    link_.g_hconversation = session_.Conversation();
    link_.tcpcon = 1;
}

void Com232::CloseCom() {
    if (SerialPortOpen()) session_.Close();
}

void Com232::DisconnectTCP() {
    if (session_.IsTcp()) session_.Close();
    link_.g_hconversation = 0;
    link_.tcpcon = 0;
}

void Com232::OnLinkDown(LinkDownReason reason) {
    switch (reason) {
        case LinkDownReason::ClosedHere:
            // Closing from this side is nobody's news; a conversation closed to open the serial
            // port is over all the same.
            if (session_.IsTcp()) {
                link_.g_hconversation = 0;
                link_.tcpcon = 0;
            }
            return;
        case LinkDownReason::ClosedBySensor:
            stateLine_.LinkLost(reason);
            // The status display says the link is down before the box shows.
            ShowStatus(QString::fromLatin1(kNotConnectedText));
            emit linkDown();
            popups_.MessagePopup(kTcpClientTitle, kServerClosedText);
            link_.g_hconversation = 0;
            link_.tcpcon = 0;
            return;
        case LinkDownReason::LineHungUp:
            stateLine_.LinkLost(reason);
            ShowStatus(QString::fromLatin1(kNotConnectedText));
            emit linkDown();
            return;
    }
}

// ---------------------------------------------------------------------------------------------
// Transfers on the chosen link

void Com232::FlushComQueues() {
    if (SerialPortOpen()) session_.FlushSerialQueues();
}

bool Com232::SendFrame(int tcpWriteTimeoutMs) {
    const bool open = LinkMatches();
    ExchangeResult sent;
    if (open) {
        sent = session_.Send(Request(), tcpWriteTimeoutMs);
        link_.nBytesW = sent.written;
    } else {
        link_.nBytesW = UsesTcp() ? int{kTcpNoConnectionEstablished} : int{kSerialPortNotOpen};
    }
    if (link_.nBytesW == kFrameBytes) return true;
    sent.outcome = LinkOutcome::WriteIncomplete;
    sent.written = link_.nBytesW;
    NoteIncomplete(sent, open);
    return false;
}

void Com232::NoteIncomplete(const ExchangeResult& result, bool linkOpen) {
    if (linkOpen)
        stateLine_.ExchangeFailed(result);
    else
        stateLine_.Failure(QStringLiteral("no link open"));
}

bool Com232::ExchangeFrame(const ExchangeLimits& limits) {
    const bool tcp = UsesTcp();
    const WaitMode mode = ReplyWaitMode(limits, tcp);
    ExchangeResult result;
    // Until it ends, the exchange's reply is missing whole.
    link_.bytesToRead = std::clamp(limits.replyBytes, 0, kBufferBytes);
    const bool open = LinkMatches();
    if (open) {
        result = ExchangeAndWait(session_, Request(), limits, mode);
    } else {
        result.outcome = LinkOutcome::WriteIncomplete;
        result.written = tcp ? int{kTcpNoConnectionEstablished} : int{kSerialPortNotOpen};
        result.expected = std::clamp(limits.replyBytes, 0, kBufferBytes);
        result.startSeconds = SecondsTimer();
        result.limitSeconds = tcp ? limits.tcpWaitSeconds : limits.serialWaitSeconds;
    }
    // An exchange started from this one's wait took the line and has run to its end: its
    // outcome is the one the buffers and counts hold now.
    if (result.outcome == LinkOutcome::Superseded) return link_.bytesToRead == 0;
    TakeResult(result, tcp);
    if (handshaking_)
        stateLine_.HandshakeEnded(result.ReplyComplete(), result);
    else if (!result.ReplyComplete())
        NoteIncomplete(result, open);
    if (!result.ReplyComplete()) {
        // Whatever ended it early, a failed exchange has always taken its whole limit.
        WaitUntil({}, result.limitSeconds, mode, {}, link_.tstart);
    }
    link_.tdiff = SecondsTimer() - link_.tstart;
    return link_.bytesToRead == 0;
}

void Com232::TakeResult(const ExchangeResult& result, bool tcp) {
    link_.nBytesW = result.written;
    link_.tstart = result.startSeconds;
    const auto size = std::min<qsizetype>(result.reply.size(), kBufferBytes);
    if (size > 0) std::memcpy(buffers_.szReadBuf.data(), result.reply.constData(), size);
    // Serial: what was queued when the wait ended; TCP: the awaited length.
    link_.dataSize = tcp ? result.expected : result.arrived;
    link_.bytesToRead = result.expected - result.arrived;
}

bool Com232::CheckComLineExchange() {
    FillTxBuf(buffers_, kOrderVersion, 0);
    handshaking_ = true;
    const bool answered = ExchangeFrame(HandshakeReply());
    handshaking_ = false;
    return answered;
}

}  // namespace tvx
