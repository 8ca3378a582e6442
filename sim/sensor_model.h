#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>

#include "ageing.h"
#include "measurement.h"
#include "replay.h"
#include "scenario.h"
#include "sensor_state.h"

namespace tvx::sim {

// The sensor without its line: one 36-byte request in, the reply bytes out (empty when the
// order has no reply). Every order of the order table (orders.h) is understood and answered with
// its reply length; any other order is taken and not answered. Not thread-safe; SimServer guards
// it.
class SensorModel {
  public:
    SensorModel();

    // `nowMs`: milliseconds since the simulator started (the scenario's time base).
    QByteArray HandleRequest(const QByteArray& request, std::int64_t nowMs);

    SensorState& state() { return state_; }
    const SensorState& state() const { return state_; }
    void SetVersion(const QByteArray& text);

    // What the sensor sees: a scenario, a replay of recorded frames, or (when neither is set) one
    // constant sample. Setting one drops the others.
    void SetScenario(const Scenario& scenario);
    void SetSample(const Sample& sample);
    // Data frames then carry the recorded values, without noise; the replay's time starts with the
    // first data frame answered. The working and stored calculation mode become the recording's.
    void SetReplay(const Replay& replay);
    // The sensor ages as the clock runs (drift, fading light, warming); a replay is not aged.
    void SetAgeing(const Ageing& ageing) { ageing_ = ageing; }
    // The scenario's or the constant sample, aged.
    Sample CurrentSample(std::int64_t nowMs) const;

    // Seeded noise: each raw channel gets an offset in [-amplitude, amplitude], the same
    // sequence for the same seed. amplitude 0 (the default) switches it off.
    void SetNoise(int amplitude, std::uint32_t seed = 1);

    // The reply to order 4 for `row`: the row's five values and group from RAM, zeros for a row
    // the sensor does not have.
    QByteArray RowReply(std::uint16_t row) const;

    // The measurement the next data frame would carry (does not advance frames or noise).
    Measurement Peek(std::int64_t nowMs) const;

  private:
    QByteArray DataReply(std::uint16_t order, std::int64_t nowMs);
    const Measurement& ReplayedFrame(std::int64_t nowMs) const;
    std::uint32_t NextRandom();

    SensorState state_;
    std::optional<Scenario> scenario_;
    std::optional<Replay> replay_;
    std::optional<std::int64_t> replayStartMs_;  // set by the first data frame
    Sample sample_;
    Ageing ageing_;
    int noise_ = 0;
    std::uint32_t rng_ = 1;
    std::int64_t dataFrames_ = 0;
};

}  // namespace tvx::sim
