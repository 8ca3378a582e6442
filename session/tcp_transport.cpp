#include "tcp_transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <cerrno>
#include <cstring>

#include "event_wait.h"
#include "exchange_limits.h"
#include "link_errors.h"

namespace tvx {

namespace {

// Reads of what has piled up before a request; a sensor that never stops talking cannot keep
// the drain going for ever.
constexpr int kMostDrainReads = 64;

// Qt says "out of resources" alike for descriptors and memory running out, and errno is long
// gone when its notice is looked at: a socket made now tells which, as the moment is the same.
int ResourceShortage() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0) {
        ::close(probe);
        return 0;
    }
    return errno;
}

SystemCause CauseOf(const QTcpSocket& socket) {
    SystemCause cause;
    cause.socket = socket.error();
    cause.text = socket.errorString();
    if (socket.error() == QAbstractSocket::SocketResourceError) cause.errnum = ResourceShortage();
    return cause;
}

SystemCause ErrnoCause(int errnum) {
    SystemCause cause;
    cause.errnum = errnum;
    cause.text = QString::fromLocal8Bit(std::strerror(errnum));
    return cause;
}

}  // namespace

TcpTransport::TcpTransport(QObject* parent) : Transport(parent) {
    connectLimit_.setSingleShot(true);
    connectLimit_.setTimerType(Qt::PreciseTimer);
    connect(&connectLimit_, &QTimer::timeout, this, [this] {
        connectCause_.socket = QAbstractSocket::SocketTimeoutError;
        FinishConnect(kTcpTimeOutError);
    });
}

TcpTransport::~TcpTransport() {
    Close();
}

void TcpTransport::StartConnect(const QString& host, int port) {
    Close();
    connecting_ = true;
    connectCause_ = {};
    if (host.trimmed().isEmpty() || port < 1 || port > 65535) {
        QMetaObject::invokeMethod(
            this, [this] { FinishConnect(kTcpInvalidParameter); }, Qt::QueuedConnection);
        return;
    }
    socket_ = new QTcpSocket(this);
    // The socket's state is looked at once its own notices are over, so that an error has been
    // recorded by the time the state says the attempt ended.
    const auto settle = [this] {
        QMetaObject::invokeMethod(this, &TcpTransport::CheckConnect, Qt::QueuedConnection);
    };
    connect(socket_, &QAbstractSocket::stateChanged, this, settle);
    connect(socket_, &QAbstractSocket::errorOccurred, this, settle);
    // The limit ends just past kTcpConnectTimeoutMs, as every wait of the link does.
    connectLimit_.start(SleepMsFor(kTcpConnectTimeoutMs / 1000.0));
    socket_->connectToHost(host.trimmed(), static_cast<quint16>(port));
}

void TcpTransport::CheckConnect() {
    if (!connecting_ || socket_ == nullptr) return;
    const auto state = socket_->state();
    if (state == QAbstractSocket::ConnectedState) {
        FinishConnect(0);
    } else if (state == QAbstractSocket::UnconnectedState) {
        connectCause_ = CauseOf(*socket_);
        const int code = TcpErrorCode(socket_->error());
        FinishConnect(code < 0 ? code : kTcpGeneralIoError);
    }
}

void TcpTransport::FinishConnect(int code) {
    if (!connecting_) return;
    connecting_ = false;
    connectLimit_.stop();
    if (code != 0 || socket_ == nullptr) {
        Close();
        emit connectFinished(code != 0 ? code : kTcpGeneralIoError);
        return;
    }
    socket_->disconnect(this);
    // Frames are small and each one is due at once: no waiting to coalesce them.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // Queued, so that bytes and the sensor's closing are looked at from the event loop and never
    // inside a blocking socket call such as a write.
    connect(socket_, &QTcpSocket::readyRead, this, &Transport::dataArrived, Qt::QueuedConnection);
    connect(
        socket_, &QTcpSocket::disconnected, this,
        [this] { emit wentDown(LinkDownReason::ClosedBySensor); }, Qt::QueuedConnection);
    emit connectFinished(0);
}

bool TcpTransport::IsOpen() const {
    return !connecting_ && socket_ != nullptr &&
           socket_->state() == QAbstractSocket::ConnectedState;
}

void TcpTransport::Close() {
    connectLimit_.stop();
    connecting_ = false;
    if (socket_ == nullptr) return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    // Closing from this side is not the sensor closing: no notice of it follows.
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

int TcpTransport::Write(const QByteArray& frame, int timeoutMs) {
    writeCause_ = {};
    QTcpSocket* socket = socket_;
    if (connecting_ || socket == nullptr || socket->state() != QAbstractSocket::ConnectedState) {
        if (socket != nullptr && socket->error() != QAbstractSocket::UnknownSocketError)
            writeCause_ = CauseOf(*socket);
        return kTcpNoConnectionEstablished;
    }
    // A frame nearly always fits the socket's send buffer at once. Written straight to the
    // descriptor it costs one call; through the socket's buffer it would also turn the write
    // notice on and off, which at a thousand sensors is a noticeable share of the recorder's
    // time. What the descriptor does not take goes through the buffer as before.
    qsizetype sent = 0;
    int sendErrno = 0;  // why the descriptor refused the frame, when it did
    if (socket->bytesToWrite() == 0) {
        const auto written = ::send(static_cast<int>(socket->socketDescriptor()), frame.constData(),
                                    static_cast<size_t>(frame.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0) sent = written;
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) sendErrno = errno;
    }
    const auto failed = [&](int code) {
        writeCause_ = sendErrno != 0 ? ErrnoCause(sendErrno) : CauseOf(*socket);
        return code;
    };
    if (sent < frame.size()) {
        const QByteArray rest = frame.mid(sent);
        if (socket->write(rest) != rest.size()) return failed(kTcpWriteFailed);
        socket->flush();
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (socket->bytesToWrite() > 0 && socket->state() == QAbstractSocket::ConnectedState &&
           !deadline.hasExpired()) {
        if (!socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (socket->bytesToWrite() > 0) {
        // Still connected: the sensor took nothing for the whole limit, which no error tells.
        if (socket->state() == QAbstractSocket::ConnectedState) {
            writeCause_ = {};
            writeCause_.socket = QAbstractSocket::SocketTimeoutError;
            return kTcpTimeOutError;
        }
        return failed(kTcpWriteFailed);
    }
    return static_cast<int>(frame.size());
}

qint64 TcpTransport::DropInput() {
    // Bytes still in the kernel, which no data-ready notice has announced yet, go too.
    qint64 dropped = 0;
    for (int reads = 0; socket_ != nullptr && reads < kMostDrainReads; ++reads) {
        QTcpSocket* socket = socket_;
        if (socket->bytesAvailable() == 0) {
            if (KernelQueuedBytes(socket->socketDescriptor()) == 0) break;
            socket->waitForReadyRead(0);
            if (socket != socket_ || socket->bytesAvailable() == 0) break;
        }
        dropped += socket->readAll().size();
    }
    return dropped;
}

qint64 TcpTransport::BytesAvailable() const {
    return socket_ != nullptr ? socket_->bytesAvailable() : 0;
}

QByteArray TcpTransport::Read(qint64 most) {
    return socket_ != nullptr ? socket_->read(most) : QByteArray();
}

}  // namespace tvx
