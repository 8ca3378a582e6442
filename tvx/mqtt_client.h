#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "reconnect_backoff.h"

struct mosquitto;
struct mqtt5__property;
struct ssl_ctx_st;
struct ssl_st;
struct x509_store_ctx_st;
class QSocketNotifier;

namespace tvx::cli {

// How a session proves itself to the broker: TLS when a CA file is given (the broker's
// certificate must be signed by it and name the host), a user name and password when given.
struct MqttCredentials {
    QString caFile;
    QString user;
    QString password;
};

// One MQTT client connection (libmosquitto) driven from the Qt event loop: its socket is watched
// with socket notifiers, a timer runs the keep-alive, and a lost broker is reconnected after 1 s,
// then 2, 4 and 5 s. Every attempt starts a fresh client: what the lost session had not
// delivered is its owner's to send again, so libmosquitto keeps no queue of its own.
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
    // then). With `writeNow` false the message waits for Flush() or the socket's next turn, so
    // that many go out in one write.
    int Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                bool writeNow = true);
    void Flush();
    // Messages of quality 1 the broker has not acknowledged yet.
    int Unacknowledged() const { return unacknowledged_; }
    // Ends the session cleanly: the broker drops the last will.
    void Disconnect();
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
    // The broker has taken the message of quality 1 with this id.
    void acknowledged(int mid);
    // The broker has refused the message of quality 1 with this id (not authorised to publish
    // there, quota exceeded ...): it was not delivered.
    void refused(int mid, const QString& why);

  private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid, int reason,
                          const mqtt5__property* properties);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    static int OnVerify(int preverified, x509_store_ctx_st* store);
    static void OnTlsState(const ssl_st* ssl, int where, int ret);

    // False when the client cannot be made (a CA file without a usable certificate); the reason
    // is then in `error`.
    bool MakeClient(QString& error);
    ssl_ctx_st* MakeTlsContext(QString& error);
    void Attempt();
    void Attach();
    void Detach();
    // A socket whose connect failed before the broker answered: the failure, said from the
    // socket's own error. With TLS the handshake, started at once, may have met that error
    // first; libmosquitto then waits on a dead socket, which this ends.
    bool ConnectFailed();
    void Lost(const QString& reason, bool cannotMend = false);
    void Check(int rc);
    void UpdateWrite();
    // libmosquitto's result code (and errno for MOSQ_ERR_ERRNO or MOSQ_ERR_EAI) in words.
    QString Words(int rc, int errnum) const;

    mosquitto* mosq_ = nullptr;
    QString clientId_;
    QString host_;
    int port_;
    QString willTopic_;
    QByteArray willPayload_;
    MqttCredentials credentials_;
    QString tlsError_;            // what libmosquitto logged of a failed TLS handshake
    QString certificateError_;    // why the broker's certificate did not pass, this attempt
    int handshakeErrno_ = 0;      // the socket error the TLS handshake met, this attempt
    bool reasonGiven_ = false;    // this attempt's failure has its reason
    bool lost_ = false;           // this attempt has failed
    bool insideLibrary_ = false;  // a libmosquitto call that may call back is running
    bool flushQueued_ = false;
    int attempt_ = 0;
    int protocol_ = 5;  // MQTT_PROTOCOL_V5 until a broker refuses it
    QSocketNotifier* read_ = nullptr;
    QSocketNotifier* write_ = nullptr;
    QTimer misc_;
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
