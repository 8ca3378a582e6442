#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>
#include <vector>

#include "hand_off.h"
#include "record_sink.h"
#include "reporter.h"

namespace tvx::cli {

class FleetMetrics;
struct SinkFigures;

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
    QString clientId;  // empty: DerivedClientId()
};
MqttSettings MqttSettingsFrom(const TvxOptions& options);

// $XDG_STATE_HOME/tvx, or ~/.local/state/tvx.
QString DefaultSpoolFolder();
// The spool file of a broker and topic prefix in `folder`: its frames are for there only.
QString SpoolPath(const MqttSettings& settings);
// "tvx-HOST-HASH": the same for every start of the recorder with this spool, different for two
// recorders on one host (one spool takes one recorder).
QString DerivedClientId(const QString& spoolPath);

// Frames and link states of the recorded sensors on an MQTT broker, through one broker connection
// for the whole recording: PREFIX/NAME/frame gets each frame as a JSON object led by its "seq",
// PREFIX/NAME/status the link state, retained, and PREFIX/_recorder/ID/status the recorder's own
// state, retained, with a last will that marks it offline when the recorder dies (a connection
// has one will: the sensors' status topics say "online" then until the recorder is back).
//
// Every frame goes through the spool: written there first, sent from there in order with
// quality 1, a bounded number at a time, and deleted when the broker acknowledges it. After a lost
// broker or a restart the frames are sent again from the oldest unacknowledged one; the frames of
// a sensor no longer recorded go too, and then their rows are gone.
//
// The spool and the broker connection live in a thread of their own: the recorder's thread only
// hands frames over, so that neither the disk nor the broker ever holds the sensors' pace.
class MqttSink : public QObject, public RecordSink {
    Q_OBJECT
  public:
    // Broker and spool events go to `reporter`, one line each, from the sink's thread.
    explicit MqttSink(Reporter reporter);
    ~MqttSink() override;
    // Where the sink's figures go; null for none. Before Open().
    void SetMetrics(FleetMetrics* metrics);
    // Opens the spool and starts the broker connection, then waits a few seconds for the
    // broker's first answer. A broker that is away (refused, unreachable, silent, a name that
    // does not resolve) is an outage: one line says so and the frames wait in the spool. False
    // with a one-line reason for what waiting cannot mend: the spool, a file named, a login
    // the broker refuses, a certificate that does not verify.
    bool Open(const MqttSettings& settings, const std::vector<NamedSensor>& sensors,
              QString& error);
    bool BrokerConnected() const { return brokerConnected_; }
    bool AddSensor(const NamedSensor& sensor, QString& error) override;
    // Marks the sensor offline ("removed from the recording"); its frames waiting in the spool
    // still go.
    void RemoveSensor(const QString& name) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString& name, bool online, const QString& text) override;
    // PREFIX/NAME/alarm, retained; the trend goes into the sensor's status as "margin".
    void MarginAlarm(const QString& name, const QJsonObject& state) override;
    void MarginTrend(const QString& name, const QJsonObject& trend) override;
    // Marks every sensor offline ("recording ended"), gives the broker a few seconds for what
    // is left and disconnects; what it has not acknowledged stays in the spool for the next
    // start.
    void Close() override;

  signals:
    // The broker connection came or went (in the thread that made the sink).
    void brokerChanged(bool connected);

    // The broker's first answer came (or the sink gave up waiting for it).
    void answered();

  private:
    class Delivery;
    // What the recorder's thread hands to the sink's thread.
    struct Handed {
        enum Kind { Add, Remove, Frame, Status, Alarm, Trend } kind;
        QString name;
        StampedFrame frame;
        bool online = false;
        QString text;
        QJsonObject json;  // the alarm's state, the trend
    };

    // Queues one thing for the sink's thread, in the order given, and wakes it.
    void Hand(Handed handed);
    // Ends the sink's thread; `deliver`: the sensors are marked offline and the broker gets a
    // few seconds for what is left.
    void Shut(bool deliver);

    Reporter reporter_;
    FleetMetrics* metrics_ = nullptr;
    std::vector<QString> names_;  // the sensors recorded now
    QThread thread_;
    Delivery* delivery_ = nullptr;  // lives in thread_
    HandOff<Handed> handOff_;
    bool brokerConnected_ = false;
    bool closed_ = false;
};

}  // namespace tvx::cli
