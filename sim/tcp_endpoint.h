#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

#include "fault_plan.h"
#include "frame_collector.h"
#include "line_writer.h"

namespace tvx::sim {

// The sensor's TCP server on 127.0.0.1: one client at a time, a new one replaces the old.
class TcpEndpoint : public QObject {
    Q_OBJECT
  public:
    using FrameHandler = std::function<ReplyPlan(const QByteArray& frame)>;

    explicit TcpEndpoint(FrameHandler handler, QObject* parent = nullptr);
    ~TcpEndpoint() override;

    bool Listen(quint16 port, QString* error);
    quint16 Port() const { return server_.serverPort(); }
    void SetBaud(int baud) { writer_.SetBaud(baud); }
    LineWriter& Writer() { return writer_; }
    void CloseConversation();
    void SendUnsolicited(const QByteArray& bytes);

  signals:
    void clientConnected();
    void clientDisconnected();

  private:
    void OnNewConnection();
    void OnReadyRead();
    void OnDisconnected();
    qint64 Write(const QByteArray& bytes);

    FrameHandler handler_;
    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    FrameCollector collector_;
    LineWriter writer_;
};

}  // namespace tvx::sim
