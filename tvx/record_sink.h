#pragma once

#include <QJsonObject>
#include <QString>
#include <vector>

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
    // The parameter set just read from the sensor, before it goes online with it.
    virtual void Parameters(const QString&, const ParameterSet&) {}
    // The sensor's margin alarm as it stands now ({"state":"margin low"|"ok","row":...,
    // "margin":...,"since":...}), and its margin's trend for its status; a sink without a place
    // for them (a CSV file) leaves them, as the frames carry the margin all the same.
    virtual void MarginAlarm(const QString& /*name*/, const QJsonObject& /*state*/) {}
    virtual void MarginTrend(const QString& /*name*/, const QJsonObject& /*trend*/) {}
    // Ends every sensor's recording.
    virtual void Close() = 0;
};

// The same recording to several sinks at once, in the order given.
class RecordSinks : public RecordSink {
  public:
    explicit RecordSinks(std::vector<RecordSink*> sinks) : sinks_(std::move(sinks)) {}
    bool AddSensor(const NamedSensor& sensor, QString& error) override {
        for (RecordSink* sink : sinks_)
            if (!sink->AddSensor(sensor, error)) return false;
        return true;
    }
    void RemoveSensor(const QString& name) override {
        for (RecordSink* sink : sinks_) sink->RemoveSensor(name);
    }
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override {
        bool kept = true;
        for (RecordSink* sink : sinks_) kept = sink->Frame(name, frame, error) && kept;
        return kept;
    }
    void Status(const QString& name, bool online, const QString& text) override {
        for (RecordSink* sink : sinks_) sink->Status(name, online, text);
    }
    void Parameters(const QString& name, const ParameterSet& params) override {
        for (RecordSink* sink : sinks_) sink->Parameters(name, params);
    }
    void MarginAlarm(const QString& name, const QJsonObject& state) override {
        for (RecordSink* sink : sinks_) sink->MarginAlarm(name, state);
    }
    void MarginTrend(const QString& name, const QJsonObject& trend) override {
        for (RecordSink* sink : sinks_) sink->MarginTrend(name, trend);
    }
    void Close() override {
        for (RecordSink* sink : sinks_) sink->Close();
    }

  private:
    std::vector<RecordSink*> sinks_;
};

}  // namespace tvx::cli
