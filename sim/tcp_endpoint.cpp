#include "tcp_endpoint.h"

namespace tvx::sim {

TcpEndpoint::TcpEndpoint(FrameHandler handler, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      writer_([this](const QByteArray& bytes) { return Write(bytes); },
              [this] { CloseConversation(); }) {
    connect(&server_, &QTcpServer::newConnection, this, &TcpEndpoint::OnNewConnection);
}

TcpEndpoint::~TcpEndpoint() {
    writer_.Clear();
    if (client_) {
        client_->disconnect(this);
        client_->abort();
        delete client_;
    }
}

bool TcpEndpoint::Listen(quint16 port, QString* error) {
    if (server_.listen(QHostAddress::LocalHost, port)) return true;
    if (error) *error = QStringLiteral("tcp port %1: %2").arg(port).arg(server_.errorString());
    return false;
}

void TcpEndpoint::OnNewConnection() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (client_) {
            // A new client replaces the old one, as on a sensor serving one conversation.
            QTcpSocket* old = client_;
            old->disconnect(this);
            old->abort();
            old->deleteLater();
            client_ = nullptr;
            emit clientDisconnected();
        }
        writer_.Clear();
        collector_.Reset();
        client_ = socket;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &TcpEndpoint::OnReadyRead);
        connect(socket, &QTcpSocket::disconnected, this, &TcpEndpoint::OnDisconnected);
        emit clientConnected();
        if (socket->bytesAvailable() > 0) OnReadyRead();
    }
}

void TcpEndpoint::OnReadyRead() {
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket) socket = client_;
    if (!socket || socket != client_) return;
    const std::vector<QByteArray> frames = collector_.Feed(socket->readAll());
    for (const QByteArray& frame : frames) {
        writer_.Enqueue(handler_(frame));
        if (!client_) break;  // the conversation was closed by a fault
    }
}

void TcpEndpoint::OnDisconnected() {
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket || socket != client_) return;
    writer_.Clear();
    collector_.Reset();
    client_ = nullptr;
    socket->deleteLater();
    emit clientDisconnected();
}

qint64 TcpEndpoint::Write(const QByteArray& bytes) {
    if (!client_) return 0;
    const qint64 n = client_->write(bytes);
    client_->flush();
    return n;
}

void TcpEndpoint::CloseConversation() {
    writer_.Clear();
    collector_.Reset();
    if (!client_) return;
    QTcpSocket* socket = client_;
    socket->disconnect(this);
    client_ = nullptr;
    // What was written goes out first, then the close.
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
    } else {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    emit clientDisconnected();
}

void TcpEndpoint::SendUnsolicited(const QByteArray& bytes) {
    if (client_ && !bytes.isEmpty()) writer_.Enqueue({ReplyStep{0, bytes, false}});
}

}  // namespace tvx::sim
