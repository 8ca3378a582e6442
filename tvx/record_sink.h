#pragma once

#include <QJsonObject>
#include <QString>

#include "frame_line.h"
#include "tvx_options.h"

namespace tvx::cli {

// Where a recording goes. Sensors come and go while it runs (a configuration read again), each
// known by its name.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // Takes a sensor on; false with a one-line reason.
    virtual bool AddSensor(const NamedSensor& sensor, QString& error) = 0;
    // Ends one sensor's recording; the others go on.
    virtual void RemoveSensor(const QString& name) = 0;
    // False with a one-line reason when the frame could not be kept.
    virtual bool Frame(const QString& name, const StampedFrame& frame, QString& error) = 0;
    // online: the version text; offline: why.
    virtual void Status(const QString& name, bool online, const QString& text) = 0;
    // The sensor's margin alarm as it stands now ({"state":"margin low"|"ok","row":...,
    // "margin":...,"since":...}), and its margin's trend for its status; a sink without a place
    // for them (a CSV file) leaves them, as the frames carry the margin all the same.
    virtual void MarginAlarm(const QString& /*name*/, const QJsonObject& /*state*/) {}
    virtual void MarginTrend(const QString& /*name*/, const QJsonObject& /*trend*/) {}
    // Ends every sensor's recording.
    virtual void Close() = 0;
};

}  // namespace tvx::cli
