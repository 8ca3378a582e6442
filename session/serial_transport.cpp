#include "serial_transport.h"

#include <poll.h>

#include <QDeadlineTimer>

#include "exchange_limits.h"
#include "link_errors.h"

namespace tvx {

SerialTransport::SerialTransport(QObject* parent) : Transport(parent) {
    port_.setReadBufferSize(kBufferBytes);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialTransport::OnError);
    // Queued: a reply is looked at from the event loop, never inside a write's own wait.
    connect(&port_, &QSerialPort::readyRead, this, &Transport::dataArrived, Qt::QueuedConnection);
}

SerialTransport::~SerialTransport() {
    Close();
}

SystemCause SerialTransport::PortCause() const {
    SystemCause cause;
    cause.serial = port_.error();
    cause.text = port_.errorString();
    return cause;
}

int SerialTransport::Open(const QString& device) {
    Close();
    openCause_ = {};
    if (device.isEmpty()) return kSerialInvalidPortNumber;
    port_.setPortName(device);
    port_.setBaudRate(kBaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    ++openings_;
    if (port_.open(QIODevice::ReadWrite)) {
        // The port time-out bounds every write; no CTS handshake is set.
        Flush();
        return 0;
    }
    openCause_ = PortCause();
    const int code = SerialErrorCode(port_.error());
    return code < 0 ? code : kSerialUnknownSystemError;
}

void SerialTransport::Close() {
    if (port_.isOpen()) port_.close();
}

qint64 SerialTransport::Flush() {
    if (!port_.isOpen()) return 0;
    const qint64 input = port_.bytesAvailable() + KernelQueuedBytes(port_.handle());
    port_.clear(QSerialPort::AllDirections);
    return input;
}

qint64 SerialTransport::DropInput() {
    if (!port_.isOpen()) return 0;
    // The kernel's queue and the port's buffer both go; nothing of an earlier reply or of a
    // stray byte may start the next one.
    const qint64 buffered = port_.bytesAvailable() + KernelQueuedBytes(port_.handle());
    port_.clear(QSerialPort::Input);
    if (port_.bytesAvailable() > 0) port_.readAll();
    return buffered;
}

qint64 SerialTransport::BytesAvailable() const {
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray SerialTransport::Read(qint64 most) {
    return port_.isOpen() ? port_.read(most) : QByteArray();
}

int SerialTransport::Write(const QByteArray& frame, int timeoutMs) {
    writeCause_ = {};
    if (!port_.isOpen()) return kSerialPortNotOpen;
    port_.clearError();
    const qint64 queued = port_.write(frame);
    if (queued < 0) {
        writeCause_ = PortCause();
        return kSerialUnknownIoError;
    }
    // Push the bytes out now: a wait that processes no events would never write them.
    const QDeadlineTimer deadline(timeoutMs);
    while (port_.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!port_.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    if (port_.bytesToWrite() > 0) {
        writeCause_ = PortCause();
        const int code = SerialErrorCode(port_.error());
        return code < 0 ? code : kSerialTimeout;
    }
    return static_cast<int>(queued);
}

// A line whose other end went away (an adapter unplugged, a terminal closed) reports it on every
// poll; the port is closed so that nothing spins. The close waits for the event loop: the port
// is inside its own notification here.
void SerialTransport::OnError(QSerialPort::SerialPortError error) {
    const bool dead =
        error == QSerialPort::ResourceError || (error == QSerialPort::ReadError && LineHungUp());
    if (!dead || !port_.isOpen()) return;
    const int opening = openings_;
    QMetaObject::invokeMethod(
        this,
        [this, opening] {
            if (opening != openings_ || !port_.isOpen()) return;
            port_.close();
            emit wentDown(LinkDownReason::LineHungUp);
        },
        Qt::QueuedConnection);
}

bool SerialTransport::LineHungUp() {
    pollfd line{static_cast<int>(port_.handle()), POLLIN, 0};
    if (line.fd < 0 || ::poll(&line, 1, 0) < 0) return false;
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace tvx
