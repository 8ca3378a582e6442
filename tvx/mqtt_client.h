#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <vector>

#include "reconnect_backoff.h"

class QSslError;
class QTcpSocket;

namespace tvx::cli {

// How a session proves itself to the broker: TLS when a CA file is given (the broker's
// certificate must be signed by it and name the host), a user name and password when given.
struct MqttCredentials {
    QString caFile;
    QString user;
    QString password;
};

// One packet from the broker as the client acts on it, its topic and payload seen in the bytes
// it was read from.
struct MqttInbound {
    int type = 0;  // 2 CONNACK, 3 PUBLISH, 4 PUBACK, 9 SUBACK, 13 PINGRESP, 14 DISCONNECT
    int id = 0;    // of a PUBLISH of quality 1, a PUBACK or a SUBACK
    int code = 0;  // CONNACK's return or reason code; the reason of PUBACK, SUBACK, DISCONNECT
    int qos = 0;
    bool retained = false;
    QByteArrayView topic;
    QByteArrayView payload;
    int receiveMaximum = 65535;    // CONNACK of MQTT 5: messages of quality 1 it takes at once
    qint64 maximumPacketSize = 0;  // 0: no bound but MQTT's own
    int serverKeepAlive = -1;      // -1: the client's own keep-alive stands
};

// The bytes of the whole packet at the start of `buffer`: 0 while it has not all come, -1 for a
// length MQTT does not allow.
qsizetype MqttPacketLength(QByteArrayView buffer);
// Reads one whole packet of MQTT `protocol` (5, or 4 for 3.1.1); false for what MQTT does not
// allow.
bool ReadMqttPacket(QByteArrayView packet, int protocol, MqttInbound& into);

// One MQTT client connection over a QTcpSocket (a QSslSocket with TLS), MQTT 5 and, for a broker
// that does not take it, 3.1.1. A recorder sends thousands of messages a second through it, so
// it never writes or reads one packet at a time: what is published is gathered in one buffer and
// written with one call per Flush() (or per turn of the event loop), and what arrives is read in
// whole chunks and parsed from a buffer, many acknowledgements per read. A lost broker is
// reconnected after 1 s, then 2, 4 and 5 s, each time with a clean session: what the lost
// session had not delivered is its owner's to send again, so the client keeps no queue across
// sessions.
//
// Every failure is said in words a user can act on ("connection refused", "login refused: not
// authorised", "certificate check failed: the broker's certificate is for elsewhere.example, not
// 10.0.0.5"), and told apart by whether trying again can mend it.
class MqttClient : public QObject {
    Q_OBJECT
  public:
    // An attempt the broker has not answered (TCP connect, TLS handshake and CONNACK together)
    // within this time has failed: a black-holed address or a listener that never answers would
    // otherwise keep it waiting for ever.
    static constexpr int kAnswerSeconds = 5;

    MqttClient(const QString& clientId, const QString& host, int port, const QString& willTopic,
               const QByteArray& willPayload, const MqttCredentials& credentials = {},
               QObject* parent = nullptr);
    ~MqttClient() override;

    void Start();
    bool Connected() const { return connected_; }
    // Publishes now; the message id, or -1 when the broker is not connected (nothing is queued
    // then). With `writeNow` false the message waits for Flush() or the end of this turn of the
    // event loop, so that many go out in one write. Messages of quality 1 beyond what the broker
    // takes unacknowledged (its Receive Maximum) wait in the client and go as acknowledgements
    // come.
    int Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                bool writeNow = true);
    // Subscribes with quality 0 or 1; the subscription's id (acknowledged(), or refused() when
    // the broker does not grant it), or -1 when the broker is not connected. Messages come as
    // message(); a subscription lasts as long as the session.
    int Subscribe(const QString& filter, int qos);
    void Flush();
    // The largest packet the broker takes (its CONNACK's Maximum Packet Size); 0: no bound but
    // MQTT's own. A larger message is never written.
    qint64 MaximumPacketSize() const { return maximumPacketSize_; }
    // Messages of quality 1 the broker has not acknowledged yet.
    int Unacknowledged() const { return unacknowledged_; }
    // Ends the session cleanly: the broker drops the last will.
    void Disconnect();
    // The last will of the next CONNECT; one not retained when `retained` is false.
    void SetWill(const QString& topic, const QByteArray& payload, bool retained);
    // Asks the broker for an answer that comes only after everything written before it has been
    // taken: fenced() then says so. Messages of quality 0 have no acknowledgement of their own.
    void Fence();
    // Why the last attempt failed or the session was lost, in plain words; empty once connected.
    QString LastError() const { return lastError_; }
    // The last failure is one that trying again cannot mend: the broker refused the login (bad
    // user name or password, not authorised), its certificate did not pass the check against
    // the CA file, or the CA file holds no certificate. False for refused connections,
    // unreachable hosts, names that do not resolve, attempts without an answer and lost
    // connections: those end when the broker or the network is back.
    bool RetryCannotMend() const { return cannotMend_; }
    // True once a connection attempt has failed or succeeded.
    bool Settled() const { return settled_; }

  signals:
    void connectedChanged(bool connected);
    // Connected, lost, refused or a message acknowledged: a waiting routine looks again.
    void stateChanged();
    // The broker has taken the message of quality 1 (or the subscription) with this id.
    void acknowledged(int mid);
    // The broker has refused the message of quality 1 with this id (not authorised to publish
    // there, quota exceeded ...): it was not delivered. Also a subscription it did not grant.
    void refused(int mid, const QString& why);
    // A message on a subscribed topic.
    void message(const QString& topic, const QByteArray& payload, bool retained);
    // A CONNECT is about to be written: its owner may set the will for it now (SetWill).
    void connecting();
    // The broker has answered the oldest outstanding Fence().
    void fenced();

  private:
    struct Held {
        int mid;
        QByteArray packet;
    };

    void Attempt();
    void DropSocket();
    void OnSocketConnected();
    void OnSocketError();
    void OnSslErrors(const QList<QSslError>& errors);
    void OnClosed();
    void OnRead();
    void KeepAlive();
    // Handles one whole packet; false when the session ended on it.
    bool Handle(const MqttInbound& packet);
    bool HandleConnack(const MqttInbound& packet);
    bool HandlePuback(const MqttInbound& packet);
    bool HandleSuback(const MqttInbound& packet);
    bool HandlePublish(const MqttInbound& packet);
    void Lost(const QString& reason, bool cannotMend = false);
    void Violation();
    int NextId();
    void Append(quint8 header, const QByteArray& rest);
    void QueueFlush();

    QString clientId_;
    QString host_;
    int port_;
    QString willTopic_;
    QByteArray willPayload_;
    bool willRetained_ = true;
    MqttCredentials credentials_;
    QTcpSocket* socket_ = nullptr;
    QString certificateError_;  // why the broker's certificate did not pass, this attempt
    bool reasonGiven_ = false;  // this attempt's failure has its reason
    bool lost_ = false;         // this attempt has failed
    bool connectSent_ = false;  // this attempt's CONNECT went out
    bool flushQueued_ = false;
    bool parsing_ = false;
    int attempt_ = 0;
    int protocol_ = 5;  // 4 (3.1.1) once a broker refuses 5
    QByteArray out_;    // written by the next Flush()
    QByteArray in_;     // read, not yet parsed
    std::vector<bool> inUse_ = std::vector<bool>(65536, false);  // packet ids in flight
    int nextId_ = 0;
    std::deque<Held> held_;  // beyond the broker's Receive Maximum
    int sent_ = 0;           // messages of quality 1 written and not acknowledged
    int receiveMaximum_ = 65535;
    qint64 maximumPacketSize_ = 0;  // 0: no limit but the protocol's
    int keepAliveSeconds_ = 10;
    bool wrote_ = false;  // since the last keep-alive look
    bool pingOutstanding_ = false;
    // Every ping written and not answered yet, oldest first: true for a Fence().
    std::deque<bool> pings_;
    QElapsedTimer pingSent_;
    QTimer keepAlive_;
    QTimer retryTimer_;
    QTimer answerLimit_;
    ReconnectBackoff backoff_{ReconnectBackoff::kBrokerLongestSeconds};
    bool connected_ = false;
    bool settled_ = false;
    bool closing_ = false;
    int unacknowledged_ = 0;
    QString lastError_;
    bool cannotMend_ = false;
};

}  // namespace tvx::cli
