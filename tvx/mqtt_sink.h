#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <vector>

#include "record_sink.h"

struct mosquitto;
class QSocketNotifier;

namespace tvx::cli {

// One MQTT client connection (libmosquitto) driven from the Qt event loop: its socket is watched
// with socket notifiers, a timer runs the keep-alive, and a lost broker is reconnected after 1 s,
// then 2, 4 ... at most 30 s.
class MqttClient : public QObject {
    Q_OBJECT
  public:
    MqttClient(const QString& clientId, const QString& host, int port, const QString& willTopic,
               const QByteArray& willPayload, QObject* parent = nullptr);
    ~MqttClient() override;

    void Start();
    bool Connected() const { return connected_; }
    // Publishes now; false when the broker is not connected (nothing is queued then).
    bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
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

  private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);

    void Attempt();
    void Attach();
    void Detach();
    void Lost(const QString& reason);
    void Check(int rc);
    void UpdateWrite();

    mosquitto* mosq_ = nullptr;
    QString host_;
    int port_;
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
// frame as a JSON object, PREFIX/NAME/status the link state, retained, with a last will that
// marks the sensor offline when the recorder dies. Frames that come while the broker is away are
// counted as lost and reported.
class MqttSink : public QObject, public RecordSink {
    Q_OBJECT
  public:
    // Connects to the broker (one session per sensor, for its own last will); false with a
    // one-line reason when the broker cannot be reached or refuses.
    bool Open(const QString& host, int port, const QString& prefix,
              const std::vector<SensorAddress>& sensors, QString& error);
    // A sensor added later gets its session without waiting for the broker.
    bool AddSensor(const SensorAddress& sensor, QString& error) override;
    // Marks the sensor offline ("removed") and ends its session.
    void RemoveSensor(const QString& name) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString& name, bool online, const QString& text) override;
    // Marks every sensor offline ("recording ended"), waits for the broker's acknowledgement and
    // disconnects.
    void Close() override;
    long long LostFrames() const;

  signals:
    void clientsChanged();

  private:
    struct Sensor {
        std::unique_ptr<MqttClient> client;
        QByteArray status;
        long long lost = 0;       // frames lost in all
        long long lostSince = 0;  // frames lost in the current absence
    };

    QString Topic(const QString& name, const char* leaf) const;
    Sensor& Start(const QString& name);
    void PublishStatus(const QString& name, Sensor& sensor);
    // Waits (at most a few seconds) until every session has no message left unacknowledged.
    void AwaitAcknowledgements();

    QString prefix_;
    QString host_;
    int port_ = 0;
    QString broker_;
    std::map<QString, Sensor> sensors_;
};

// The payloads of PREFIX/NAME/status.
QByteArray OnlinePayload(const QString& version);
QByteArray OfflinePayload(const QString& error);

}  // namespace tvx::cli
