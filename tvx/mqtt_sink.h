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
#include "mqtt_client.h"
#include "record_sink.h"
#include "reporter.h"

namespace tvx::cli {

class FleetMetrics;

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

// Frames and link states of the recorded sensors on an MQTT broker: PREFIX/NAME/frame gets each
// frame as a JSON object led by its "seq", PREFIX/NAME/status the link state, retained, with a
// last will that marks the sensor offline when the recorder dies. Every frame goes through the
// spool: written there first, sent from there in order with quality 1, a bounded number at a
// time per sensor, and deleted when the broker acknowledges it. After a lost broker or a restart
// a sensor's frames are sent again from its oldest unacknowledged one.
class MqttSink : public QObject, public RecordSink {
    Q_OBJECT
  public:
    // Broker and spool events go to `reporter`, one line each.
    explicit MqttSink(Reporter reporter);
    ~MqttSink() override;
    // Opens the spool and connects to the broker (one session per sensor, for its own last
    // will); false with a one-line reason when the spool, a file named or the broker fails.
    bool Open(const MqttSettings& settings, const std::vector<NamedSensor>& sensors,
              QString& error);
    // Where the sink's figures go; null for none.
    void SetMetrics(FleetMetrics* metrics);
    // A sensor added later gets its session without waiting for the broker.
    bool AddSensor(const NamedSensor& sensor, QString& error) override;
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

    Reporter reporter_;
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
