#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "measurement.h"

namespace tvx::sim {

// Measured targets over time. Text format (one entry a line, '#' starts a comment):
//   clock ms|frames      optional, first; what the first column counts (default ms)
//   T R G B [TEMP]       from time T on (ms since start, or data frames answered) the sensor
//                        sees R, G, B (0..4095) at TEMP °C (default 25); T ascending
//   loop P               optional, last; the timeline repeats every P units
// Before the first entry's T the first entry applies; after the last, the last (unless loop).
class Scenario {
  public:
    enum class Clock { Milliseconds, Frames };
    struct Entry {
        std::int64_t at = 0;
        Sample sample;
    };

    // Parses the text; on failure returns nothing and sets *error to "line N: reason".
    static std::optional<Scenario> Parse(const QString& text, QString* error);
    static std::optional<Scenario> Load(const QString& path, QString* error);

    Clock clock() const { return clock_; }
    const std::vector<Entry>& entries() const { return entries_; }
    std::int64_t loopPeriod() const { return loop_; }  // 0: no loop

    // The sample at time `ms` (Milliseconds clock) or after `frames` data frames (Frames clock).
    Sample SampleAt(std::int64_t ms, std::int64_t frames) const;

  private:
    Clock clock_ = Clock::Milliseconds;
    std::vector<Entry> entries_;
    std::int64_t loop_ = 0;
};

}  // namespace tvx::sim
