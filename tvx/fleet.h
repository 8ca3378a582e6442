#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "fleet_metrics.h"
#include "frame_line.h"
#include "sensor_link.h"
#include "tvx_options.h"

namespace tvx::cli {

// The request to end: set from SIGINT/SIGTERM or a timer. Its signal wakes a pause at once.
class StopSignal : public QObject {
    Q_OBJECT
  public:
    void Request();
    bool Requested() const { return requested_; }

  signals:
    void requested();

  private:
    bool requested_ = false;
};

// SIGINT and SIGTERM request `stop` (through a pipe watched by the event loop, so nothing but
// a write runs in the handler). Call once, from the main thread.
void StopOnTerminationSignals(StopSignal* stop);

// Calls `call` in the calling thread when one of `numbers` arrives: the handler only writes a
// byte to a pipe that this thread's event loop watches. The watch ends with `context`.
void CallOnSignals(std::initializer_list<int> numbers, QObject* context,
                   std::function<void()> call);

// Pauses the calling thread's loop for `seconds`, serving its events; false when stopped.
bool PauseUnlessStopped(double seconds, const StopSignal& stop);

struct RecordPace {
    double interval = 0.0;  // 0: the live rate (the 50 ms pause after each frame)
    std::optional<long long> count;
};

// What a recording reports, by the sensor's name, in the recorder's thread.
struct RecordEvents {
    std::function<void(const QString& name, const StampedFrame& frame)> frame;
    // online: the version text; offline: the error and the seconds until the next attempt.
    std::function<void(const QString& name, bool online, const QString& text, double retryIn)>
        status;
    // The recording is over: stopped, or every sensor has its count of frames.
    std::function<void()> ended;
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
    // Ends the whole recording; `ended` follows at once.
    void Stop();
    bool Has(const QString& name) const { return sensors_.count(name) > 0; }

  private:
    struct Sensor;
    enum class Step { Opening, Handshake, Parameters, Live, Offline, Done };

    void Open(Sensor& sensor);
    void Exchange(Sensor& sensor, const QByteArray& request, const ExchangeLimits& limits);
    void OnOpened(Sensor& sensor, const OpenResult& opened);
    void OnReply(Sensor& sensor, const ExchangeResult& result);
    void OnHandshake(Sensor& sensor, const ExchangeResult& result);
    void OnParameters(Sensor& sensor, const ExchangeResult& result);
    void OnFrame(Sensor& sensor, const ExchangeResult& result);
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
    // The one timer: a Linux timer descriptor set to the earliest step to the nanosecond (a
    // QTimer counts whole milliseconds and its wait rounds up once more, which costs every
    // sensor a part of its live rate).
    int timerFd_ = -1;
    std::unique_ptr<QSocketNotifier> timerNotifier_;
    bool timerArmed_ = false;
    double timerDue_ = 0.0;
    bool stopped_ = false;
};

}  // namespace tvx::cli
