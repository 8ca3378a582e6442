#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

namespace tvx::cli {

// A request longer than this is refused: a scrape's request is a few hundred bytes.
inline constexpr qsizetype kRequestLimit = 8 * 1024;

// What the bytes a client has sent so far call for.
struct RequestVerdict {
    enum Kind { Incomplete, Malformed, Complete };
    Kind kind = Incomplete;
    QString method, target;  // of a complete request
};

// Judges a request by its first bytes: the request line (METHOD /TARGET HTTP/1.x) as soon as it
// has come, the end at the empty line after the header block; beyond kRequestLimit it is
// malformed. A verdict other than Incomplete stands whatever follows.
RequestVerdict JudgeRequest(const QByteArray& received);

// The smallest HTTP/1.x server a monitoring system can scrape: GET or HEAD /metrics answers with
// what `exposition` returns, in the Prometheus text format; every answer closes its connection.
// It runs in the thread that creates it, beside the recorder, and keeps no state between requests.
class MetricsServer : public QObject {
    Q_OBJECT
  public:
    explicit MetricsServer(std::function<QByteArray()> exposition, QObject* parent = nullptr);

    // Listens on HOST:PORT (a name or an address). False and one line naming the address in
    // `error` when it cannot.
    bool Listen(const QString& host, int port, QString& error);
    // Where it answers: http://HOST:PORT/metrics, with the port actually taken.
    QString Url() const;

  private:
    void Accept();
    void Read(QTcpSocket* client);
    void Answer(QTcpSocket* client, const RequestVerdict& request);
    static void Reply(QTcpSocket* client, const char* status, const QByteArray& type,
                      const QByteArray& body, bool withBody, const QByteArray& extraHeaders = {});

    std::function<QByteArray()> exposition_;
    QString host_;
    int openClients_ = 0;
    // Last, so that the clients it still holds, counting themselves out as they go, go first.
    QTcpServer server_;
};

}  // namespace tvx::cli
