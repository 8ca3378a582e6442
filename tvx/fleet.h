#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "fleet_metrics.h"
#include "frame_line.h"
#include "margin_alarm.h"
#include "margin_trend.h"
#include "nanosecond_timer.h"
#include "sensor_link.h"
#include "tvx_options.h"
#include "unix_signals.h"

namespace tvx::cli {

// Pauses the calling thread's loop for `seconds`, serving its events; false when stopped.
bool PauseUnlessStopped(double seconds, const StopSignal& stop);

struct RecordPace {
    double interval = 0.0;  // 0: the live rate (the 50 ms pause after each frame)
    std::optional<long long> count;
    MarginAlarmSettings marginAlarm;
};

// What a recording reports, by the sensor's name, in the recorder's thread.
struct RecordEvents {
    std::function<void(const QString& name, const StampedFrame& frame)> frame;
    // online: the version text; offline: the error and the seconds until the next attempt.
    std::function<void(const QString& name, bool online, const QString& text, double retryIn)>
        status;
    // The recording is over: stopped, or every sensor has its count of frames.
    std::function<void()> ended;
    // The parameter set just read, before the sensor goes online with it; may be empty.
    std::function<void(const QString& name, const ParameterSet& params)> parameters = {};
    // The sensor's margin alarm changed, or (`first`) is known for the first time since the
    // recorder started: `since` in the frames' local time.
    std::function<void(const QString& name, const MarginAlarmChange& change, const QDateTime& since,
                       bool first)>
        marginAlarm;
    // A minute of the sensor's margins closed: its drift as it stands.
    std::function<void(const QString& name, const MarginTrend::Reading& trend)> marginTrend;
};

// Records many sensors from the thread it lives in, each at its own pace, without ever waiting:
// every sensor is a small state machine on its session's asynchronous calls (open, handshake,
// parameter read, which tells the value names, then live frames), and one timer over a
// time-ordered queue starts whatever is due next (the pause after a frame, a reconnection). A
// sensor that fails is closed, reported offline and tried again after 1 s, then 2, 4 ... at
// most 30 s, and goes on by itself; the others never notice.
class FleetRecorder : public QObject {
    Q_OBJECT
  public:
    // `metrics`, when given, gets every sensor's figures; it must outlive the recorder.
    FleetRecorder(const RecordPace& pace, RecordEvents events, FleetMetrics* metrics = nullptr,
                  QObject* parent = nullptr);
    ~FleetRecorder() override;

    // Starts recording a sensor at once; one of the same name recording already is replaced.
    void Add(const NamedSensor& sensor);
    // Stops one sensor: its link is closed and nothing more is heard of it.
    void Remove(const QString& name);
    // New alarm settings for every sensor, from its next frame on (the configuration read again).
    void SetMarginAlarm(const MarginAlarmSettings& settings);
    // Ends the whole recording; `ended` follows at once.
    void Stop();
    bool Has(const QString& name) const { return sensors_.count(name) > 0; }

  private:
    struct Sensor;
    enum class Step { Opening, Handshake, Parameters, Live, Offline, Done };

    // Every change of a sensor's step goes through here, so that tvx.record logs it.
    void Enter(Sensor& sensor, Step step, const QString& detail = {});
    void Open(Sensor& sensor);
    void Exchange(Sensor& sensor, const QByteArray& request, const ExchangeLimits& limits);
    void OnOpened(Sensor& sensor, const OpenResult& opened);
    void OnReply(Sensor& sensor, const ExchangeResult& result);
    void OnHandshake(Sensor& sensor, const ExchangeResult& result);
    void OnParameters(Sensor& sensor, const ExchangeResult& result);
    void OnFrame(Sensor& sensor, const ExchangeResult& result);
    void WatchMargin(Sensor& sensor, const StampedFrame& frame);
    void GoOffline(Sensor& sensor, const QString& why, const QString& failureKind);
    void Schedule(Sensor& sensor, double due);
    void Unschedule(Sensor& sensor);
    void ArmTimer();
    void RunDue();
    // Takes a sensor out of the recording; it is deleted once its callbacks are behind it.
    void Retire(std::unique_ptr<Sensor> sensor);
    void EndIfAllDone();

    RecordPace pace_;
    RecordEvents events_;
    FleetMetrics* metrics_;
    std::map<QString, std::unique_ptr<Sensor>> sensors_;
    std::vector<std::unique_ptr<Sensor>> retired_;
    std::multimap<double, Sensor*> due_;  // SecondsTimer of each sensor's next step
    // The one timer, set to the earliest step to the nanosecond.
    NanosecondTimer timer_;
    bool stopped_ = false;
};

}  // namespace tvx::cli
