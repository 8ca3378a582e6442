#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <vector>

#include "hand_off.h"
#include "mqtt_sink.h"
#include "record_sink.h"
#include "reporter.h"
#include "sparkplug_node.h"

namespace tvx::cli {

struct SparkplugSettings {
    MqttSettings mqtt;  // the broker, its login and the spool folder
    sparkplug::NodeName node;
    QString primaryHost;  // empty: births do not wait for a primary host
};
SparkplugSettings SparkplugSettingsFrom(const TvxOptions& options);

// The recording as one Sparkplug B edge node, GROUP/EDGE, whose devices are the sensors, named
// by their names. It has a broker connection of its own, as a Sparkplug node's death certificate
// is its connection's last will: NDEATH with the connection's bdSeq, which grows with every
// connection (0 ... 255, then 0 again) and is kept in the node's spool across restarts.
//
// After each connection (and once the primary host, when there is one, says it is online) the
// node is born: NBIRTH, then a DBIRTH for every sensor online, each metric with its name,
// datatype and alias. Each frame then goes as a DDATA of the metrics that changed, with the
// frame's time. Like the JSON frames, every frame is written to the spool first and deleted only
// once the broker has taken it (a fence after each batch, as Sparkplug data has quality 0):
// frames the broker or the host missed go after the next births, in order, flagged historical.
// An NCMD with Node Control/Rebirth true gives new births on the same connection; a DCMD is
// refused, as writing to a sensor is not supported here.
class SparkplugSink : public QObject, public RecordSink {
    Q_OBJECT
  public:
    explicit SparkplugSink(Reporter reporter);
    ~SparkplugSink() override;
    // Opens the spool and starts the connection; false with a one-line reason for what waiting
    // cannot mend (the spool, a file named).
    bool Open(const SparkplugSettings& settings, const std::vector<NamedSensor>& sensors,
              QString& error);
    bool AddSensor(const NamedSensor& sensor, QString& error) override;
    void RemoveSensor(const QString& name) override;
    void Parameters(const QString& name, const ParameterSet& params) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString& name, bool online, const QString& text) override;
    // Sends what the broker takes within a few seconds, then NDEATH, then disconnects.
    void Close() override;

  private:
    class Delivery;
    struct Handed {
        enum Kind { Add, Remove, Parameters, Frame, Status } kind;
        QString name;
        StampedFrame frame;
        ParameterSet params;
        bool online = false;
        QString text;
    };
    void Hand(Handed handed);
    void Shut(bool deliver);

    Reporter reporter_;
    QThread thread_;
    Delivery* delivery_ = nullptr;  // lives in thread_
    HandOff<Handed> handOff_;
    bool closed_ = false;
};

}  // namespace tvx::cli
