#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "link_result.h"
#include "recognition_margin.h"

namespace tvx::cli {

// The upper bounds, in seconds, of the exchange-time and loop-lag histograms: a TCP exchange
// takes well under a millisecond, a frame at 19200 baud about 19 ms each way, a time-out seconds.
inline constexpr std::array<double, 12> kSecondsBounds = {0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                          0.05,   0.1,   0.25,   0.5,   1.0,  2.5};

struct SecondsHistogram {
    // Cumulative counts per bound of kSecondsBounds, then every count (+Inf).
    std::array<long long, kSecondsBounds.size()> buckets{};
    long long count = 0;
    double sum = 0.0;

    void Count(double seconds);
};

// The kinds a failed exchange or connection attempt is counted by: "no_reply", "connect_failed"
// ... and "wrong_reply".
const std::vector<QString>& FailureKinds();

// What one recorded sensor did since the recorder started.
struct SensorFigures {
    long long frames = 0;
    std::map<QString, long long> failures;  // by kind, every kind of FailureKinds() from 0
    long long reconnects = 0;               // handshakes after the first
    bool linkUp = false;
    double lastFrameSeconds = 0.0;  // Unix time of the last frame; 0 before the first
    SecondsHistogram exchangeSeconds;
    // The recognition margin smoothed over about the last 100 frames; none before the first
    // frame that has one.
    std::optional<double> marginAverage;
    long long noMatchFrames = 0;    // C-No 255 while rows are taught
    long long ambiguousFrames = 0;  // the point in two rows at once
    // The margin alarm, known from the first frame with a margin.
    std::optional<bool> marginAlarm;
    // The margin's trend per hour while its drift chart says it moves, 0 while steady; none
    // while its usual level is learnt.
    std::optional<double> marginTrendPerHour;

    SensorFigures();
    void CountExchange(double seconds) { exchangeSeconds.Count(seconds); }
    void CountMargin(const std::optional<RecognitionMargin>& margin);
    void CountFailure(const QString& kind) { ++failures[kind]; }
};

// What one sink (the broker, or the CSV folder) holds and has lost. A broker's sink is kept by
// the thread that talks to the broker and read by the recorder's: its figures are atomic.
struct SinkFigures {
    bool mqtt = false;  // set before the figures are shared
    std::atomic<bool> connected{false};
    std::atomic<long long> spoolFrames{0};
    std::atomic<long long> spoolBytes{0};  // the spool's files on disk
    std::atomic<long long> droppedFrames{
        0};  // frames given up: the spool's oldest beyond its bound
};

// The figures a monitoring system scrapes from a running recorder, kept in the recorder's own
// thread. Entries keep their address until removed, so a sensor may hold on to its own.
class FleetMetrics {
  public:
    SensorFigures& Sensor(const QString& name);
    void RemoveSensor(const QString& name);
    // `name` is the sink as a label: "mqtt://HOST:PORT" or "csv:FOLDER".
    SinkFigures& Sink(const QString& name);
    // How late the recorder's due steps start (a frame's request after its pause, a
    // reconnection): whether the recorder keeps up.
    void CountLoopLag(double seconds) { loopLag_.Count(seconds); }

    // The Prometheus text exposition format, version 0.0.4.
    QByteArray Exposition() const;

  private:
    std::map<QString, std::unique_ptr<SensorFigures>> sensors_;
    std::map<QString, std::unique_ptr<SinkFigures>> sinks_;
    SecondsHistogram loopLag_;
};

}  // namespace tvx::cli
