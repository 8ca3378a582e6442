#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "frame_spool.h"
#include "record_sink.h"

struct mosquitto;
class QSocketNotifier;

namespace tvx::cli {

class FleetMetrics;

// How a session proves itself to the broker: TLS when a CA file is given (the broker's
// certificate must be signed by it and name the host), a user name and password when given.
struct MqttCredentials {
    QString caFile;
    QString user;
    QString password;
};

// Where the recording goes and where its spool is.
struct MqttSettings {
    QString host;
    int port = 1883;
    QString prefix = QStringLiteral("tvx");
    QString spoolFolder;  // empty: DefaultSpoolFolder()
    long long spoolMaxBytes = 1024LL * 1024 * 1024;
    QString caFile;
    QString user;
    QString passwordFile;
};
MqttSettings MqttSettingsFrom(const TvxOptions& options);

// $XDG_STATE_HOME/tvx, or ~/.local/state/tvx.
QString DefaultSpoolFolder();

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
    double retry_ = 1.0;
    bool connected_ = false;
    bool settled_ = false;
    bool closing_ = false;
    int unacknowledged_ = 0;
    QString lastError_;
};

// Frames and link states of the recorded sensors on an MQTT broker: PREFIX/NAME/frame gets each
// frame as a JSON object led by its "seq", PREFIX/NAME/status the link state, retained, with a
// last will that marks the sensor offline when the recorder dies. Every frame goes through the
// spool: written there first, sent from there in order with quality 1, a bounded number at a
// time per sensor, and deleted when the broker acknowledges it. After a lost broker or a restart
// a sensor's frames are sent again from its oldest unacknowledged one.
class MqttSink : public QObject, public RecordSink {
    Q_OBJECT
  public:
    ~MqttSink() override;
    // Opens the spool and connects to the broker (one session per sensor, for its own last
    // will); false with a one-line reason when the spool, a file named or the broker fails.
    bool Open(const MqttSettings& settings, const std::vector<SensorAddress>& sensors,
              QString& error);
    // Where the sink's figures go; null for none.
    void SetMetrics(FleetMetrics* metrics);
    // A sensor added later gets its session without waiting for the broker.
    bool AddSensor(const SensorAddress& sensor, QString& error) override;
    // Marks the sensor offline ("removed") and ends its session.
    void RemoveSensor(const QString& name) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString& name, bool online, const QString& text) override;
    // Marks every sensor offline ("recording ended"), gives the broker a few seconds for what
    // is left and disconnects; what it has not acknowledged stays in the spool for the next
    // start.
    void Close() override;

  signals:
    void clientsChanged();

  private:
    struct InFlight {
        long long id;
        long long bytes;
    };
    struct Sensor {
        std::unique_ptr<MqttClient> client;
        QJsonObject status;
        long long statusDropped = 0;  // the "dropped" its last status said
        long long sentUpTo = 0;       // the last spool row handed to this session
        bool connectedBefore = false;
        std::map<int, InFlight> inFlight;
    };

    QString Topic(const QString& name, const char* leaf) const;
    Sensor& Start(const QString& name);
    void PublishStatus(const QString& name, Sensor& sensor);
    void Send(const QString& name, Sensor& sensor);
    void Acknowledged(const QString& name, int mid);
    void ScheduleCommit();
    void Commit();
    void UpdateFigures();
    void ReportDropping();
    bool Delivered(const QString& name, const Sensor& sensor);

    MqttSettings settings_;
    MqttCredentials credentials_;
    QString broker_;
    FrameSpool spool_;
    QTimer commitTimer_;
    bool spoolFailing_ = false;
    QTimer dropReport_;
    QStringList dropping_;  // sensors that lost frames to the bound in this run
    bool dropReported_ = false;
    FleetMetrics* metrics_ = nullptr;
    std::map<QString, Sensor> sensors_;
};

}  // namespace tvx::cli
