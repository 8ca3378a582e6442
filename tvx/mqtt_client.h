#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include "reconnect_backoff.h"

struct mosquitto;
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
// then 2, 4 ... at most 30 s. Every attempt starts a fresh client: what the lost session had not
// delivered is its owner's to send again, so libmosquitto keeps no queue of its own.
class MqttClient : public QObject {
    Q_OBJECT
  public:
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
    QString LastError() const { return lastError_; }
    // True once a connection attempt has failed or succeeded.
    bool Settled() const { return settled_; }
    // The last attempt failed for a reason that trying again cannot mend: a login the broker
    // refuses, a certificate that does not verify.
    bool RetryCannotMend() const { return cannotMend_; }

  signals:
    void connectedChanged(bool connected);
    // Connected, lost, refused or a message acknowledged: a waiting routine looks again.
    void stateChanged();
    // The broker has taken the message of quality 1 with this id.
    void acknowledged(int mid);

  private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);

    void MakeClient();
    void Attempt();
    void Attach();
    void Detach();
    void Lost(const QString& reason);
    void Check(int rc);
    void UpdateWrite();

    mosquitto* mosq_ = nullptr;
    QString clientId_;
    QString host_;
    int port_;
    QString willTopic_;
    QByteArray willPayload_;
    MqttCredentials credentials_;
    QString tlsError_;            // what libmosquitto logged of a failed TLS handshake
    bool reasonGiven_ = false;    // this attempt's failure has its reason
    bool lost_ = false;           // this attempt has failed
    bool insideLibrary_ = false;  // a libmosquitto call that may call back is running
    bool flushQueued_ = false;
    int attempt_ = 0;
    QSocketNotifier* read_ = nullptr;
    QSocketNotifier* write_ = nullptr;
    QTimer misc_;
    QTimer retryTimer_;
    ReconnectBackoff backoff_;
    bool connected_ = false;
    bool settled_ = false;
    bool cannotMend_ = false;
    bool loginRefused_ = false;  // this attempt's answer
    bool closing_ = false;
    int unacknowledged_ = 0;
    QString lastError_;
};

}  // namespace tvx::cli
