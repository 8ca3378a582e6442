#pragma once

#include <QTcpSocket>
#include <QTimer>

#include "transport.h"

namespace tvx {

// The TCP link: one conversation with the sensor as its client. Connecting does not block: the
// outcome comes through connectFinished.
class TcpTransport : public Transport {
    Q_OBJECT
  public:
    explicit TcpTransport(QObject* parent = nullptr);
    ~TcpTransport() override;

    // Connects to host:port within kTcpConnectTimeoutMs; connectFinished(0) or (the TCP error
    // table's code) follows from the event loop.
    void StartConnect(const QString& host, int port);
    // After connectFinished with a failure: what the system said of it.
    const SystemCause& ConnectCause() const { return connectCause_; }

    bool IsOpen() const override;
    int Write(const QByteArray& frame, int timeoutMs) override;
    qint64 DropInput() override;
    qint64 BytesAvailable() const override;
    QByteArray Read(qint64 most) override;
    void Close() override;

  signals:
    void connectFinished(int code);

  private:
    void CheckConnect();
    void FinishConnect(int code);

    QTcpSocket* socket_ = nullptr;
    QTimer connectLimit_;
    SystemCause connectCause_;
    bool connecting_ = false;
};

}  // namespace tvx
