#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "frame_line.h"
#include "sensor_link.h"
#include "tvx_options.h"

namespace tvx::cli {

// The request to end: set from SIGINT/SIGTERM or a timer, read by every sensor's thread. Its
// signal wakes a sensor's pause at once (it arrives queued in the sensor's thread).
class StopSignal : public QObject {
    Q_OBJECT
  public:
    void Request();
    bool Requested() const { return requested_.load(); }

  signals:
    void requested();

  private:
    std::atomic<bool> requested_{false};
};

// SIGINT and SIGTERM request `stop` (through a pipe watched by the event loop, so nothing but
// a write runs in the handler). Call once, from the main thread.
void StopOnTerminationSignals(StopSignal* stop);

// Pauses the calling thread's loop for `seconds`, serving its events; false when stopped.
bool PauseUnlessStopped(double seconds, const StopSignal& stop);

// Runs job(link, index) for every sensor at once, each in a thread of its own with its own link,
// and returns when all have ended; the calling thread serves its events meanwhile. One slow
// sensor never holds up another.
void RunEachSensor(const std::vector<SensorAddress>& sensors,
                   const std::function<void(SensorLink&, std::size_t)>& job);

// What a recording sensor reports, delivered in the thread that called RecordSensors.
struct RecordEvents {
    std::function<void(std::size_t sensor, const StampedFrame& frame)> frame;
    // online: the version text; offline: the error and the seconds until the next attempt.
    std::function<void(std::size_t sensor, bool online, const QString& text, double retryIn)>
        status;
};

struct RecordPace {
    double interval = 0.0;  // 0: the live rate (the 50 ms pause after each frame)
    std::optional<long long> count;
};

// Records every sensor at its own pace until `stop`, or until each has `count` frames. A sensor
// that fails is reconnected after 1 s, then 2, 4 ... at most 30 s, and goes on by itself.
void RecordSensors(const std::vector<SensorAddress>& sensors, const RecordPace& pace,
                   const StopSignal& stop, const RecordEvents& events);

}  // namespace tvx::cli
