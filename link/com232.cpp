#include "com232.h"

#include <poll.h>
#include <sys/ioctl.h>

#include <QDeadlineTimer>
#include <QPointer>
#include <QTcpSocket>
#include <algorithm>

#include "serial_port_names.h"
#include "wait.h"

namespace tvx {

namespace {

const QString kTcpClientTitle = QStringLiteral("TCP Client");
const QString kServerClosedText = QStringLiteral("Server has closed connection!");

char* WriteBytes(FrameBuffers& buffers) {
    return reinterpret_cast<char*>(buffers.szWriteBuf.data());
}
char* ReadBytes(FrameBuffers& buffers) {
    return reinterpret_cast<char*>(buffers.szReadBuf.data());
}

// Reads of what has piled up before a request; a sensor that never stops talking cannot keep
// the drain going for ever.
constexpr int kMostDrainReads = 64;

// Bytes the kernel holds for the descriptor, not yet in Qt's buffer.
int KernelBytes(qintptr descriptor) {
    int queued = 0;
    if (descriptor < 0 || ::ioctl(static_cast<int>(descriptor), FIONREAD, &queued) != 0) return 0;
    return queued;
}

}  // namespace

Com232::Com232(LinkState& link, FrameBuffers& buffers, LoopFlags& flags, Popups& popups,
               LinkVariant variant, QObject* parent)
    : QObject(parent),
      link_(link),
      buffers_(buffers),
      flags_(flags),
      popups_(popups),
      variant_(variant) {
    serial_.setReadBufferSize(kBufferBytes);
    connect(&serial_, &QSerialPort::errorOccurred, this, &Com232::OnSerialError);
}

Com232::~Com232() {
    CloseCom();
    // A conversation still open goes with this object; its closing is nobody's news.
    if (socket_ != nullptr) socket_->disconnect(this);
}

void Com232::SetStatusDisplay(std::function<void(const QString&)> show) {
    statusDisplay_ = std::move(show);
}

void Com232::ShowStatus(const QString& text) {
    if (statusDisplay_) statusDisplay_(text);
}

bool Com232::UsesTcp() const {
    return link_.comprotocol == kTcpIp;
}

bool Com232::SerialPortOpen() const {
    return serial_.isOpen();
}

QString Com232::SerialDeviceName() const {
    return link_.comdevice.isEmpty() ? SerialPortName(link_.comport) : link_.comdevice;
}

// ---------------------------------------------------------------------------------------------
// Serial link

void Com232::InitRS232() {
    if (variant_.initRs232StopsPoll) flags_.poll = 0;
    if (variant_.initRs232StopsPollrecord) flags_.pollrecord = 0;
    CloseCom();
    link_.ret = static_cast<std::int16_t>(OpenSerialPort());
    if (link_.ret < 0) {
        link_.szStatus = SerialErrorText(link_.ret);
        ShowStatus(link_.szStatus);
        return;
    }
    // The port time-out (kSerialPortTimeoutMs) bounds every write; no CTS handshake was set.
    FlushComQueues();
}

int Com232::OpenSerialPort() {
    const QString device = SerialDeviceName();
    if (device.isEmpty()) return kSerialInvalidPortNumber;
    serial_.setPortName(device);
    serial_.setBaudRate(kBaudRate);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setParity(QSerialPort::NoParity);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    serial_.clearError();
    ++serialSession_;
    if (serial_.open(QIODevice::ReadWrite)) return 0;
    const int code = SerialErrorCode(serial_.error());
    return code < 0 ? code : kSerialUnknownSystemError;
}

void Com232::CloseCom() {
    if (serial_.isOpen()) serial_.close();
}

void Com232::FlushComQueues() {
    if (serial_.isOpen()) serial_.clear(QSerialPort::AllDirections);
}

void Com232::DrainSerialInput() {
    if (!serial_.isOpen()) return;
    // The kernel's queue and the port's buffer both go; nothing of an earlier reply or of a
    // stray byte may start the next one.
    serial_.clear(QSerialPort::Input);
    if (serial_.bytesAvailable() > 0) serial_.readAll();
}

// A line whose other end went away (an adapter unplugged, a terminal closed) reports it on
// every poll; the port is closed so that nothing spins, and the next exchange fails as on a
// closed port. The close waits for the event loop: the port is inside its own notification here.
void Com232::OnSerialError(QSerialPort::SerialPortError error) {
    const bool dead = error == QSerialPort::ResourceError ||
                      (error == QSerialPort::ReadError && SerialLineHungUp());
    if (!dead || !serial_.isOpen()) return;
    const int session = serialSession_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            if (session != serialSession_ || !serial_.isOpen()) return;
            serial_.close();
            ShowStatus(QString::fromLatin1(kNotConnectedText));
            emit linkDown();
        },
        Qt::QueuedConnection);
}

bool Com232::SerialLineHungUp() {
    pollfd line{static_cast<int>(serial_.handle()), POLLIN, 0};
    if (line.fd < 0 || ::poll(&line, 1, 0) < 0) return false;
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

int Com232::WriteSerial() {
    if (!serial_.isOpen()) return kSerialPortNotOpen;
    serial_.clearError();
    const qint64 queued = serial_.write(WriteBytes(buffers_), kFrameBytes);
    if (queued < 0) return kSerialUnknownIoError;
    // Push the bytes out now: a wait that processes no events would never write them.
    const QDeadlineTimer deadline(kSerialPortTimeoutMs);
    while (serial_.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!serial_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (serial_.bytesToWrite() > 0) {
        const int code = SerialErrorCode(serial_.error());
        return code < 0 ? code : kSerialTimeout;
    }
    return static_cast<int>(queued);
}

bool Com232::ExchangeSerial(const ExchangeLimits& limits) {
    const int expected = std::clamp(limits.replyBytes, 0, kBufferBytes);
    if (limits.serialFlushFirst) FlushComQueues();
    DrainSerialInput();
    link_.dataSize = 0;
    link_.nBytesW = WriteSerial();
    link_.tstart = SecondsTimer();
    WaitUntil(
        [this, expected] {
            link_.dataSize = serial_.isOpen() ? static_cast<int>(serial_.bytesAvailable()) : 0;
            return link_.dataSize >= expected;
        },
        limits.serialWaitSeconds,
        limits.serialServesUserInput ? WaitMode::ServeUserInput : WaitMode::ExcludeUserInput,
        {WakeSource(&serial_, &QSerialPort::readyRead)}, link_.tstart);
    link_.tdiff = SecondsTimer() - link_.tstart;

    // Everything queued is taken in one read, as far as the receive buffer goes; exactly the
    // expected count is a complete reply, fewer or more are not.
    const int toRead = std::clamp(link_.dataSize, 0, kBufferBytes);
    if (toRead > 0 && serial_.isOpen()) serial_.read(ReadBytes(buffers_), toRead);
    link_.bytesToRead = expected - link_.dataSize;
    return link_.bytesToRead == 0;
}

// ---------------------------------------------------------------------------------------------
// TCP link

void Com232::InitTCP_IP() {
    if (link_.tcpcon > 0) {
        DisconnectTCP();
    } else {
        DropConversation();  // the socket of a conversation the server closed
    }
    {
        WaitCursor cursor;
        link_.ret = static_cast<std::int16_t>(ConnectToServer());
    }
    if (link_.ret < 0) {
        link_.szStatus = TcpErrorText(link_.ret);
        link_.g_hconversation = 0;
        link_.tcpcon = 0;
        ShowStatus(QString::fromLatin1(kNotConnectedText));
        popups_.MessagePopup(kTcpClientTitle, link_.szStatus);
        return;
    }
    link_.tcpcon = 1;
}

int Com232::ConnectToServer() {
    const QString host = link_.ipBuf.trimmed();
    if (host.isEmpty() || link_.portNum < 1 || link_.portNum > 65535) return kTcpInvalidParameter;

    auto* socket = new QTcpSocket(this);
    socket->connectToHost(host, static_cast<quint16>(link_.portNum));
    // The window repaints while the connect runs; user actions wait until it is settled.
    const WaitResult settled = WaitUntil(
        [socket] {
            const auto state = socket->state();
            return state == QAbstractSocket::ConnectedState ||
                   state == QAbstractSocket::UnconnectedState;
        },
        kTcpConnectTimeoutMs / 1000.0, WaitMode::ExcludeUserInput,
        {WakeSource(socket, &QAbstractSocket::stateChanged),
         WakeSource(socket, &QAbstractSocket::errorOccurred)});
    if (socket->state() != QAbstractSocket::ConnectedState) {
        const int code = settled.done ? TcpErrorCode(socket->error()) : kTcpTimeOutError;
        socket->abort();
        socket->deleteLater();
        return code < 0 ? code : kTcpGeneralIoError;
    }

    // Frames are small and each one is due at once: no waiting to coalesce them.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_ = socket;
    conversation_ = ++lastConversation_;
    const int handle = conversation_;
    // Queued, so that the callback runs from event processing and never inside a blocking
    // socket call such as a write.
    connect(
        socket, &QTcpSocket::readyRead, this,
        [this, handle] { ClientTCPCB(handle, TcpEvent::DataReady, 0); }, Qt::QueuedConnection);
    connect(
        socket, &QTcpSocket::disconnected, this,
        [this, handle] { ClientTCPCB(handle, TcpEvent::Disconnect, 0); }, Qt::QueuedConnection);
    link_.g_hconversation = handle;
    return 0;
}

void Com232::DisconnectTCP() {
    DropConversation();
    link_.g_hconversation = 0;
    link_.tcpcon = 0;
}

void Com232::DropConversation() {
    if (socket_ == nullptr) return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    conversation_ = 0;
    // Closing from this side is not the server closing: no event of it reaches ClientTCPCB.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

int Com232::WriteTcp(int timeoutMs) {
    QTcpSocket* socket = socket_;
    if (socket == nullptr || socket->state() != QAbstractSocket::ConnectedState)
        return kTcpNoConnectionEstablished;
    if (socket->write(WriteBytes(buffers_), kFrameBytes) != kFrameBytes) return kTcpWriteFailed;
    const QDeadlineTimer deadline(timeoutMs);
    while (socket->bytesToWrite() > 0 && socket->state() == QAbstractSocket::ConnectedState &&
           !deadline.hasExpired()) {
        if (!socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (socket->bytesToWrite() > 0) {
        return socket->state() == QAbstractSocket::ConnectedState ? kTcpTimeOutError
                                                                  : kTcpWriteFailed;
    }
    return kFrameBytes;
}

void Com232::DrainConversation() {
    // Bytes that came before this request belong to the state they came in: late bytes of an
    // earlier exchange still go to szReadBuf, bytes nobody waited for are dropped. That includes
    // bytes still in the kernel, which no data-ready event has announced yet.
    for (int reads = 0; socket_ != nullptr && reads < kMostDrainReads; ++reads) {
        QTcpSocket* socket = socket_;
        if (socket->bytesAvailable() == 0) {
            if (KernelBytes(socket->socketDescriptor()) == 0) return;
            socket->waitForReadyRead(0);
            if (socket != socket_ || socket->bytesAvailable() == 0) return;
        }
        ReadConversationData(socket);
    }
}

bool Com232::ExchangeTcp(const ExchangeLimits& limits) {
    // Only after the drain does the count start again, so earlier bytes can never pass for the
    // start of this reply.
    DrainConversation();

    const int expected = std::clamp(limits.replyBytes, 0, kBufferBytes);
    link_.bytesToRead = expected;
    link_.dataSize = expected;
    link_.nBytesW = WriteTcp(limits.tcpWriteTimeoutMs);
    link_.tstart = SecondsTimer();
    WaitUntil([this] { return link_.bytesToRead <= 0; }, limits.tcpWaitSeconds,
              WaitMode::ServeUserInput, {WakeSource(this, &Com232::tcpEventHandled)}, link_.tstart);
    link_.tdiff = SecondsTimer() - link_.tstart;
    return link_.bytesToRead == 0;
}

int Com232::ClientTCPCB(int handle, TcpEvent event, int /*error*/) {
    if (handle == 0 || handle != conversation_ || socket_ == nullptr) return 0;
    switch (event) {
        case TcpEvent::DataReady:
            ReadConversationData(socket_);
            break;
        case TcpEvent::Disconnect:
            ShowStatus(QString::fromLatin1(kNotConnectedText));
            emit linkDown();
            popups_.MessagePopup(kTcpClientTitle, kServerClosedText);
            link_.g_hconversation = 0;
            link_.tcpcon = 0;
            break;
        case TcpEvent::Connect:
            break;
    }
    emit tcpEventHandled();
    return 0;
}

void Com232::ReadConversationData(QTcpSocket* socket) {
    const QPointer<QTcpSocket> guard(socket);
    // Where the next part goes; the count must leave it inside szReadBuf (a count the serial
    // side left behind may not).
    const auto expectsMore = [this] {
        const int at = link_.dataSize - link_.bytesToRead;
        return link_.bytesToRead > 0 && at >= 0 && at < kBufferBytes;
    };
    // A read takes what has arrived, up to the missing count; the rest of a split reply comes
    // with a later data-ready event, so only the exchange's own limit bounds the wait for it.
    while (expectsMore() && socket->bytesAvailable() > 0) {
        const int at = link_.dataSize - link_.bytesToRead;
        const qint64 want = std::min<qint64>(link_.bytesToRead, kBufferBytes - at);
        const qint64 got = socket->read(ReadBytes(buffers_) + at, want);
        link_.bytesRead = got < 0 ? kTcpReadFailed : static_cast<int>(got);
        // A failed read ends the loop; bytesToRead stays above 0, so the exchange times out.
        if (got <= 0) return;
        link_.bytesToRead -= static_cast<int>(got);
        if (variant_.tcpReadServesUserInput && link_.bytesToRead > 0) {
            ServePendingEvents(WaitMode::ServeUserInput);
            // A callback run meanwhile may have replaced the conversation.
            if (guard.isNull() || guard != socket_) return;
        }
    }
    if (!expectsMore()) DropPendingData(socket);
}

void Com232::DropPendingData(QTcpSocket* socket) {
    char scratch[kBufferBytes];
    while (socket->bytesAvailable() > 0) {
        const qint64 got = socket->read(scratch, kBufferBytes);
        link_.bytesRead = got < 0 ? kTcpReadFailed : static_cast<int>(got);
        if (got <= 0) return;
        droppedBytes_ += got;
    }
}

// ---------------------------------------------------------------------------------------------
// Transfers on the chosen link

bool Com232::SendFrame(int tcpWriteTimeoutMs) {
    link_.nBytesW = UsesTcp() ? WriteTcp(tcpWriteTimeoutMs) : WriteSerial();
    return link_.nBytesW == kFrameBytes;
}

bool Com232::ExchangeFrame(const ExchangeLimits& limits) {
    return UsesTcp() ? ExchangeTcp(limits) : ExchangeSerial(limits);
}

bool Com232::CheckComLineExchange() {
    FillTxBuf(buffers_, 7, 0);
    return ExchangeFrame(HandshakeReply());
}

}  // namespace tvx
