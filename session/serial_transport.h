#pragma once

#include <QSerialPort>

#include "transport.h"

namespace tvx {

// The serial link: 19200 8N1, no flow control, a 1024-byte receive buffer.
class SerialTransport : public Transport {
    Q_OBJECT
  public:
    explicit SerialTransport(QObject* parent = nullptr);
    ~SerialTransport() override;

    // Opens `device`: 0, or the serial error table's code (an empty name is an invalid number).
    int Open(const QString& device);
    // After an Open that failed: what the system said of it.
    const SystemCause& OpenCause() const { return openCause_; }
    // Empties both queues, the kernel's included; the count of input bytes dropped.
    qint64 Flush();

    bool IsOpen() const override { return port_.isOpen(); }
    int Write(const QByteArray& frame, int timeoutMs) override;
    qint64 DropInput() override;
    qint64 BytesAvailable() const override;
    QByteArray Read(qint64 most) override;
    void Close() override;

  private:
    void OnError(QSerialPort::SerialPortError error);
    bool LineHungUp();

    // What the port said of its failure, before anything else can change it.
    SystemCause PortCause() const;

    QSerialPort port_;
    SystemCause openCause_;
    int openings_ = 0;  // tells a late error notice of an earlier opening from the current one
};

}  // namespace tvx
