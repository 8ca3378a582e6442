#include "metrics_server.h"

#include <sys/socket.h>
#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace tvx::cli {

namespace {

// How long a connection may idle: a client that sends nothing, or does not take its answer,
// holds a socket no longer.
constexpr int kClientMilliseconds = 5000;
// Beyond these, further connections are closed at once, so a flood cannot exhaust the process.
constexpr int kMaxClients = 64;

const QByteArray kExpositionType = "text/plain; version=0.0.4; charset=utf-8";
const QByteArray kTextType = "text/plain; charset=utf-8";

// METHOD /TARGET HTTP/1.x with single spaces: the only part of a request that is read.
const QRegularExpression& RequestLine() {
    static const QRegularExpression line(
        QStringLiteral(R"(^([!#$%&'*+.^_`|~0-9A-Za-z-]+) (/[\x21-\x7e]*) HTTP/1\.\d\r?$)"));
    return line;
}

// Where the header block ends (after its empty line), or -1 while it has not come.
qsizetype HeaderEnd(const QByteArray& received) {
    const qsizetype crlf = received.indexOf("\r\n\r\n");
    if (crlf >= 0) return crlf + 4;
    const qsizetype lf = received.indexOf("\n\n");
    return lf >= 0 ? lf + 2 : -1;
}

QString Authority(const QString& host, int port) {
    return (host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host) +
           QLatin1Char(':') + QString::number(port);
}

}  // namespace

MetricsServer::MetricsServer(std::function<QByteArray()> exposition, QObject* parent)
    : QObject(parent), exposition_(std::move(exposition)) {
    connect(&server_, &QTcpServer::newConnection, this, &MetricsServer::Accept);
}

bool MetricsServer::Listen(const QString& host, int port, QString& error) {
    QHostAddress address;
    if (!address.setAddress(host)) {
        const QList<QHostAddress> found = QHostInfo::fromName(host).addresses();
        if (found.isEmpty()) {
            error = QStringLiteral("metrics: cannot listen on %1: unknown host")
                        .arg(Authority(host, port));
            return false;
        }
        address = found.first();
    }
    if (!server_.listen(address, static_cast<quint16>(port))) {
        error = QStringLiteral("metrics: cannot listen on %1: %2")
                    .arg(Authority(host, port), server_.errorString());
        return false;
    }
    host_ = host;
    return true;
}

QString MetricsServer::Url() const {
    return QStringLiteral("http://%1/metrics").arg(Authority(host_, server_.serverPort()));
}

void MetricsServer::Accept() {
    while (QTcpSocket* client = server_.nextPendingConnection()) {
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        if (openClients_ >= kMaxClients) {
            client->abort();
            client->deleteLater();
            continue;
        }
        ++openClients_;
        connect(client, &QObject::destroyed, this, [this] { --openClients_; });
        // The socket stops reading once it holds more than a request may be.
        client->setReadBufferSize(kRequestLimit + 1);
        auto* deadline = new QTimer(client);
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, client, [client] {
            client->abort();
            client->deleteLater();
        });
        deadline->start(kClientMilliseconds);
        // A long answer to a slow client is not idle while it moves.
        connect(client, &QTcpSocket::bytesWritten, deadline, qOverload<>(&QTimer::start));
        connect(client, &QTcpSocket::readyRead, this, [this, client] { Read(client); });
    }
}

RequestVerdict JudgeRequest(const QByteArray& received) {
    const qsizetype lineEnd = received.indexOf('\n');
    if (lineEnd < 0) {
        const auto kind = received.size() > kRequestLimit ? RequestVerdict::Malformed
                                                          : RequestVerdict::Incomplete;
        return {kind, {}, {}};
    }
    // The request line is judged as soon as it is complete, so garbage gets its answer at once.
    const QRegularExpressionMatch line =
        RequestLine().match(QString::fromLatin1(received.left(lineEnd)));
    const qsizetype end = HeaderEnd(received);
    if (!line.hasMatch() || (end < 0 ? received.size() > kRequestLimit : end > kRequestLimit))
        return {RequestVerdict::Malformed, {}, {}};
    if (end < 0) return {RequestVerdict::Incomplete, {}, {}};
    return {RequestVerdict::Complete, line.captured(1), line.captured(2)};
}

void MetricsServer::Read(QTcpSocket* client) {
    const RequestVerdict request = JudgeRequest(client->peek(kRequestLimit + 1));
    if (request.kind == RequestVerdict::Malformed) {
        Reply(client, "400 Bad Request", kTextType, "Not an HTTP/1.x request.\n", true);
    } else if (request.kind == RequestVerdict::Complete) {
        Answer(client, request);
    }
}

void MetricsServer::Answer(QTcpSocket* client, const RequestVerdict& request) {
    const bool head = request.method == QLatin1String("HEAD");
    if (request.target.section(QLatin1Char('?'), 0, 0) != QLatin1String("/metrics")) {
        Reply(client, "404 Not Found", kTextType, "Only /metrics is served here.\n", !head);
    } else if (request.method != QLatin1String("GET") && !head) {
        Reply(client, "405 Method Not Allowed", kTextType, "/metrics answers GET and HEAD.\n", true,
              "Allow: GET, HEAD\r\n");
    } else {
        Reply(client, "200 OK", kExpositionType, exposition_(), !head);
    }
}

void MetricsServer::Reply(QTcpSocket* client, const char* status, const QByteArray& type,
                          const QByteArray& body, bool withBody, const QByteArray& extraHeaders) {
    QByteArray answer = QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
                        "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
                        extraHeaders + "Connection: close\r\n\r\n";
    if (withBody) answer += body;

    // Closing a socket that still holds unread bytes (a body, the rest of an oversized request)
    // resets the connection, and the client may lose the answer. So the answer ends with a
    // half-close, what still comes is read and thrown away, and the client closes.
    QObject::disconnect(client, &QTcpSocket::readyRead, nullptr, nullptr);
    client->setReadBufferSize(0);
    client->readAll();
    QObject::connect(client, &QTcpSocket::readyRead, client, [client] { client->readAll(); });
    const auto halfCloseWhenSent = [client] {
        if (client->bytesToWrite() == 0) ::shutdown(int(client->socketDescriptor()), SHUT_WR);
    };
    QObject::connect(client, &QTcpSocket::bytesWritten, client, halfCloseWhenSent);

    client->write(answer);
    // Qt drops what it has not yet written once the client's end of the request arrives, so a
    // client that half-closes after its request would get nothing: hand the answer on at once.
    client->flush();
    halfCloseWhenSent();
}

}  // namespace tvx::cli
