#include "fleet.h"

#include <QLoggingCategory>
#include <algorithm>
#include <memory>

#include "event_wait.h"
#include "orders.h"
#include "recognition_margin.h"
#include "reconnect_backoff.h"

namespace tvx::cli {

namespace {

// tvx.record: each sensor's steps (opening, handshake, parameters, live, offline and why, done).
Q_LOGGING_CATEGORY(lcRecord, "tvx.record", QtWarningMsg)

constexpr double kLivePauseSeconds = 0.05;
// Steps are started in groups: the timer goes off when the earliest is due and starts every step
// due within the next quarter millisecond with it. A thousand sensors then cost a wake-up per
// quarter millisecond rather than one each; a pause may end up to a quarter millisecond early.
constexpr double kGatherSeconds = 0.00025;

}  // namespace

bool PauseUnlessStopped(double seconds, const StopSignal& stop) {
    if (seconds > 0.0) {
        WaitUntil([&stop] { return stop.Requested(); }, seconds, WaitMode::ServeUserInput,
                  {WakeSource(&stop, &StopSignal::requested)});
    }
    return !stop.Requested();
}

struct FleetRecorder::Sensor {
    NamedSensor named;
    SensorSession session;
    ParameterSet params;  // as last read: tells the value names
    MarginTable margins;  // the teach table of `params`, for each frame's recognition margin
    MarginAlarm alarm;
    bool alarmSaid = false;  // the alarm's state has been told since the start
    MarginTrend trend;
    std::optional<SessionParameterRead> read;
    VersionText version;
    SensorFigures* figures = nullptr;
    Step step = Step::Opening;
    ReconnectBackoff backoff;
    double due = 0.0;  // the --interval pace: when the next frame is due
    long long frames = 0;
    bool handshaken = false;  // once: every later handshake is a reconnection
    bool gone = false;        // removed or stopped: whatever still arrives for it is ignored
    std::optional<std::multimap<double, Sensor*>::iterator> queued;
};

FleetRecorder::FleetRecorder(const RecordPace& pace, RecordEvents events, FleetMetrics* metrics,
                             QObject* parent)
    : QObject(parent), pace_(pace), events_(std::move(events)), metrics_(metrics) {
    connect(&timer_, &NanosecondTimer::timeout, this, &FleetRecorder::RunDue);
}

FleetRecorder::~FleetRecorder() {
    for (auto& [name, sensor] : sensors_) sensor->gone = true;
}

void FleetRecorder::Add(const NamedSensor& named) {
    if (stopped_) return;
    Remove(named.name);
    auto sensor = std::make_unique<Sensor>();
    sensor->named = named;
    sensor->alarm.SetSettings(pace_.marginAlarm);
    if (metrics_ != nullptr) sensor->figures = &metrics_->Sensor(named.name);
    Sensor* added = sensor.get();
    connect(&added->session, &SensorSession::opened, this,
            [this, added](const OpenResult& opened) { OnOpened(*added, opened); });
    sensors_.emplace(named.name, std::move(sensor));
    Open(*added);
}

void FleetRecorder::Remove(const QString& name) {
    const auto found = sensors_.find(name);
    if (found == sensors_.end()) return;
    std::unique_ptr<Sensor> sensor = std::move(found->second);
    sensors_.erase(found);
    if (metrics_ != nullptr) metrics_->RemoveSensor(name);
    Retire(std::move(sensor));
}

void FleetRecorder::SetMarginAlarm(const MarginAlarmSettings& settings) {
    pace_.marginAlarm = settings;
    for (auto& [name, sensor] : sensors_) sensor->alarm.SetSettings(settings);
}

void FleetRecorder::Stop() {
    if (stopped_) return;
    stopped_ = true;
    while (!sensors_.empty()) {
        Retire(std::move(sensors_.begin()->second));
        sensors_.erase(sensors_.begin());
    }
    if (events_.ended) events_.ended();
}

void FleetRecorder::Retire(std::unique_ptr<Sensor> sensor) {
    sensor->gone = true;
    Unschedule(*sensor);
    sensor->session.Close();
    // The sensor may be the one whose callback is running now.
    if (retired_.empty())
        QMetaObject::invokeMethod(
            this, [this] { retired_.clear(); }, Qt::QueuedConnection);
    retired_.push_back(std::move(sensor));
}

void FleetRecorder::EndIfAllDone() {
    if (!std::all_of(sensors_.begin(), sensors_.end(),
                     [](const auto& entry) { return entry.second->step == Step::Done; }))
        return;
    stopped_ = true;
    if (events_.ended) events_.ended();
}

void FleetRecorder::Enter(Sensor& sensor, Step step, const QString& detail) {
    sensor.step = step;
    static constexpr const char* kNames[] = {"opening", "handshake", "parameters",
                                             "live",    "offline",   "done"};
    if (!lcRecord().isDebugEnabled()) return;
    QString line =
        sensor.named.name + QStringLiteral(": ") + QLatin1String(kNames[static_cast<int>(step)]);
    if (!detail.isEmpty()) line += QStringLiteral(": ") + detail;
    qCDebug(lcRecord).noquote() << line;
}

void FleetRecorder::Open(Sensor& sensor) {
    Enter(sensor, Step::Opening);
    sensor.session.StartOpen(sensor.named.address);
}

void FleetRecorder::Exchange(Sensor& sensor, const QByteArray& request,
                             const ExchangeLimits& limits) {
    Sensor* asking = &sensor;
    sensor.session.StartExchange(request, limits, [this, asking](const ExchangeResult& result) {
        if (!asking->gone) OnReply(*asking, result);
    });
}

void FleetRecorder::OnOpened(Sensor& sensor, const OpenResult& opened) {
    if (sensor.gone) return;
    if (!opened.ok()) {
        GoOffline(sensor, OpenFailure(sensor.named.address, opened), FailureKind(opened.outcome));
        return;
    }
    Enter(sensor, Step::Handshake);
    Exchange(sensor, RequestFrame({kOrderVersion, 0}), HandshakeReply());
}

void FleetRecorder::OnReply(Sensor& sensor, const ExchangeResult& result) {
    if (sensor.figures != nullptr) sensor.figures->CountExchange(result.elapsedSeconds);
    switch (sensor.step) {
        case Step::Handshake:
            return OnHandshake(sensor, result);
        case Step::Parameters:
            return OnParameters(sensor, result);
        case Step::Live:
            return OnFrame(sensor, result);
        default:
            return;
    }
}

void FleetRecorder::OnHandshake(Sensor& sensor, const ExchangeResult& result) {
    const QString failure = ReplyFailure(result, HandshakeStep());
    if (!failure.isEmpty()) return GoOffline(sensor, failure, FailureKind(result.outcome));
    sensor.version = VersionOf(result);
    if (sensor.handshaken && sensor.figures != nullptr) ++sensor.figures->reconnects;
    sensor.handshaken = true;
    // The parameter read tells the calculation mode, hence the value names.
    Enter(sensor, Step::Parameters);
    sensor.read.emplace(false, sensor.params);
    Exchange(sensor, sensor.read->NextRequest(), ScopeReply());
}

void FleetRecorder::OnParameters(Sensor& sensor, const ExchangeResult& result) {
    SessionParameterRead& read = *sensor.read;
    read.Take(result);
    if (!read.Ended()) return Exchange(sensor, read.NextRequest(), ScopeReply());
    if (!read.Error().isEmpty()) {
        return GoOffline(
            sensor, read.Error(),
            read.WrongReply() ? QStringLiteral("wrong_reply") : FailureKind(read.FailedOutcome()));
    }
    // Another teach table (a SEND or a restore took the sensor over for a moment, which is what
    // made it reconnect) moves every margin: the drift's usual level is learnt again.
    if (read.Read().ctt != sensor.params.ctt || read.Read().maxcolno != sensor.params.maxcolno)
        sensor.trend.Restart();
    sensor.params = read.Read();
    sensor.margins = MarginTable(sensor.params);
    sensor.read.reset();
    sensor.backoff.Reset();
    Enter(sensor, Step::Live, sensor.version.Text());
    sensor.due = SecondsTimer();
    if (sensor.figures != nullptr) sensor.figures->linkUp = true;
    if (events_.parameters) events_.parameters(sensor.named.name, sensor.params);
    if (sensor.gone) return;
    events_.status(sensor.named.name, true, sensor.version.Text(), 0.0);
    if (!sensor.gone) Exchange(sensor, RequestFrame({kOrderData, 0}), ScopeReply());
}

void FleetRecorder::OnFrame(Sensor& sensor, const ExchangeResult& result) {
    const std::optional<LiveValues> values = DataFrameOf(result);
    if (!values)
        return GoOffline(sensor, ReplyFailure(result, LiveFrameStep()),
                         FailureKind(result.outcome));
    StampedFrame frame;
    frame.values = *values;
    frame.time = LocalNow();
    frame.siMode = sensor.params.calcmode == 1;
    frame.margin = sensor.margins.Evaluate(frame.values);
    WatchMargin(sensor, frame);
    if (sensor.figures != nullptr) {
        sensor.figures->CountMargin(frame.margin);
        ++sensor.figures->frames;
        sensor.figures->lastFrameSeconds =
            static_cast<double>(frame.time.toMSecsSinceEpoch()) / 1000.0;
    }
    events_.frame(sensor.named.name, frame);
    if (sensor.gone) return;
    if (pace_.count && ++sensor.frames >= *pace_.count) {
        Enter(sensor, Step::Done);
        sensor.session.Close();
        return EndIfAllDone();
    }
    const double now = SecondsTimer();
    if (pace_.interval > 0.0) {
        sensor.due += pace_.interval;
        if (sensor.due < now) sensor.due = now;  // a slow exchange does not make up for lost time
    } else {
        sensor.due = now + kLivePauseSeconds;
    }
    Schedule(sensor, sensor.due);
}

void FleetRecorder::WatchMargin(Sensor& sensor, const StampedFrame& frame) {
    // On the monotonic clock, so that a clock set back or forward neither holds nor hurries an
    // alarm; `since` is told in the frame's local time.
    const double now = SecondsTimer();
    const auto since = [&](double at) {
        return frame.time.addMSecs(-static_cast<qint64>((now - at) * 1000.0));
    };
    const auto change = sensor.alarm.Take(now, frame.margin);
    if (change || (!sensor.alarmSaid && frame.margin)) {
        const MarginAlarmChange told =
            change ? *change : MarginAlarmChange{false, frame.margin->first, now};
        if (sensor.figures != nullptr) sensor.figures->marginAlarm = told.alarm;
        if (events_.marginAlarm)
            events_.marginAlarm(sensor.named.name, told, since(told.since),
                                !sensor.alarmSaid && !change);
        sensor.alarmSaid = true;
    }
    if (!sensor.trend.Take(now, frame.margin)) return;
    const MarginTrend::Reading& trend = sensor.trend.Now();
    if (sensor.figures != nullptr && trend.state != MarginTrend::State::Learning)
        sensor.figures->marginTrendPerHour = trend.perHour;
    if (events_.marginTrend) events_.marginTrend(sensor.named.name, trend);
}

void FleetRecorder::GoOffline(Sensor& sensor, const QString& why, const QString& failureKind) {
    sensor.session.Close();
    sensor.alarm.Interrupt();
    Enter(sensor, Step::Offline, why);
    if (sensor.figures != nullptr) {
        sensor.figures->CountFailure(failureKind);
        sensor.figures->linkUp = false;
    }
    const double retry = sensor.backoff.NextWait();
    events_.status(sensor.named.name, false, why, retry);
    if (!sensor.gone) Schedule(sensor, SecondsTimer() + retry);
}

void FleetRecorder::Schedule(Sensor& sensor, double due) {
    Unschedule(sensor);
    sensor.queued = due_.emplace(due, &sensor);
    ArmTimer();
}

void FleetRecorder::Unschedule(Sensor& sensor) {
    if (!sensor.queued) return;
    due_.erase(*sensor.queued);
    sensor.queued.reset();
}

// The timer stays set for the earliest step; a later one never sets it again. SecondsTimer counts
// on the timer's monotonic clock.
void FleetRecorder::ArmTimer() {
    if (!due_.empty()) timer_.StartBy(due_.begin()->first);
}

void FleetRecorder::RunDue() {
    const double now = SecondsTimer();
    while (!due_.empty() && due_.begin()->first <= now + kGatherSeconds) {
        if (metrics_ != nullptr) metrics_->CountLoopLag(std::max(0.0, now - due_.begin()->first));
        Sensor& sensor = *due_.begin()->second;
        due_.erase(due_.begin());
        sensor.queued.reset();
        if (sensor.step == Step::Live)
            Exchange(sensor, RequestFrame({kOrderData, 0}), ScopeReply());
        else
            Open(sensor);
    }
    ArmTimer();
}

}  // namespace tvx::cli
