#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <map>
#include <memory>

#include "link_result.h"

namespace tvx::cli {

// The upper bounds, in seconds, of the exchange-time histogram: a TCP exchange takes well under
// a millisecond, a frame at 19200 baud about 19 ms each way, a time-out seconds.
inline constexpr std::array<double, 12> kExchangeSecondsBounds = {
    0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1.0, 2.5};

// What one recorded sensor did since the recorder started.
struct SensorFigures {
    long long frames = 0;
    std::map<QString, long long> failures;  // by kind: "no_reply", "connect_failed" ...
    long long reconnects = 0;               // handshakes after the first
    bool linkUp = false;
    double lastFrameSeconds = 0.0;  // Unix time of the last frame; 0 before the first
    // Cumulative counts per bound of kExchangeSecondsBounds, then every exchange (+Inf).
    std::array<long long, kExchangeSecondsBounds.size()> exchangeBuckets{};
    long long exchanges = 0;
    double exchangeSecondsSum = 0.0;

    void CountExchange(double seconds);
    void CountFailure(LinkOutcome outcome);
    void CountFailure(const QString& kind) { ++failures[kind]; }
};

// What one sink (the broker, or the CSV folder) holds and has lost.
struct SinkFigures {
    bool mqtt = false;
    bool connected = false;  // every broker session is up
    long long spoolFrames = 0;
    long long spoolBytes = 0;
    long long droppedFrames = 0;  // frames given up: the spool's oldest beyond its bound
};

// The figures a monitoring system scrapes from a running recorder, kept in the recorder's own
// thread. Entries keep their address until removed, so a sensor may hold on to its own.
class FleetMetrics {
  public:
    SensorFigures& Sensor(const QString& name);
    void RemoveSensor(const QString& name);
    // `name` is the sink as a label: "mqtt://HOST:PORT" or "csv:FOLDER".
    SinkFigures& Sink(const QString& name);

    // The Prometheus text exposition format, version 0.0.4.
    QByteArray Exposition() const;

  private:
    std::map<QString, std::unique_ptr<SensorFigures>> sensors_;
    std::map<QString, std::unique_ptr<SinkFigures>> sinks_;
};

}  // namespace tvx::cli
