#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "tvx_options.h"

namespace tvx::cli {

class ServiceNotifier;

// A recording's settings as an INI file, for `tvx record --config FILE`:
//   [record]    the options of `tvx record` by their long names, KEY = VALUE for --KEY VALUE
//               (an option without a value takes true or false)
//   [sensors]   one sensor a line, NAME = tcp://HOST:PORT or serial:DEVICE
struct RecordConfig {
    TvxOptions options;                     // as the command line would give them, with configFile
    std::map<QString, QString> recordKeys;  // [record] as written: key -> value
    QString error;  // one line naming the file, and the line, key or sensor; empty when good
};

// Reads and checks the whole file; the first fault found is the error.
RecordConfig ReadRecordConfig(const QString& path);

// What reading the file again changes in a running recording. A sensor whose address changed is
// removed and added again; the other sensors go on untouched.
struct ReloadPlan {
    std::vector<NamedSensor> added;  // in the new file's order
    QStringList removed;             // in the old file's order
    QStringList restartKeys;         // [record] keys that changed: only a restart applies them
    // The margin alarm's keys changed: a running recording takes them at once.
    std::optional<MarginAlarmSettings> marginAlarm;
    bool Empty() const {
        return added.empty() && removed.empty() && restartKeys.isEmpty() && !marginAlarm;
    }
};

ReloadPlan PlanReload(const RecordConfig& running, const RecordConfig& reread);

// How a reload changes the sensors of the running recording. Left empty, the recorder has a fixed
// set of sensors and a change of sensors waits for a restart.
struct SensorChanges {
    std::function<void(const NamedSensor& sensor)> add;
    std::function<void(const QString& name)> remove;
    std::function<void(const MarginAlarmSettings& settings)> marginAlarm;
};

// Reads the configuration again on request (SIGHUP) and applies what a running recording can
// take: one line through `report` per change, naming the sensor; a bad file is reported in one
// line and the recording goes on unchanged.
class RecordReloader {
  public:
    RecordReloader(RecordConfig running, SensorChanges changes,
                   std::function<void(const QString& line)> report,
                   ServiceNotifier* notifier = nullptr);

    void Reload();
    // The settings the recording runs with now.
    const RecordConfig& Running() const { return running_; }

  private:
    RecordConfig running_;
    SensorChanges changes_;
    std::function<void(const QString&)> report_;
    ServiceNotifier* notifier_;
};

}  // namespace tvx::cli
