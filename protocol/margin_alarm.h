#pragma once

#include <QString>
#include <optional>

#include "recognition_margin.h"

namespace tvx {

// When a sensor's recognition margin is low enough, for long enough, to say so: an alarm with an
// on-delay and a deadband, as alarm systems raise them, so that neither a single bad frame nor a
// margin that wavers around the warn level makes the alarm come and go.
struct MarginAlarmSettings {
    double warn = kDefaultMarginWarn;  // a frame below this margin is low
    double delaySeconds = 10;          // low (or, to clear, high) for this long without a break
    double deadband = 0.05;            // clearing takes a margin above warn + deadband

    // Empty when the settings can work, else why not in one line naming the option: a warn level
    // outside -1 ... 1, a negative or endless delay, a deadband below 0 or beyond the margin's
    // range, or the two together at 1 or more, which no frame could clear.
    QString Problem() const;
};

struct MarginAlarmChange {
    bool alarm = false;  // raised, or cleared
    RowMargin at;        // the row and margin of the frame that completed the delay
    double since = 0;    // when the run that led to the change began, in the caller's seconds
};

// Fed frame by frame. A frame is low when its margin is below the warn level, when the sensor
// reported no colour (C-No 255) or when the point lies in two rows at once; it is high when its
// margin is above warn + deadband and neither. The alarm rises once frames have been low without
// a break for the delay, and clears once they have been high without a break for the delay. A
// frame in the deadband breaks both runs; so does a frame without a margin (no active row: no
// evidence either way), and Interrupt(), for a gap in the frames.
class MarginAlarm {
  public:
    explicit MarginAlarm(const MarginAlarmSettings& settings = {}) : settings_(settings) {}

    // New settings take effect from the next frame; the state and the running run stay.
    void SetSettings(const MarginAlarmSettings& settings) { settings_ = settings; }
    const MarginAlarmSettings& Settings() const { return settings_; }

    // One frame at `seconds` (any clock that does not go back); the change it completes, if any.
    std::optional<MarginAlarmChange> Take(double seconds,
                                          const std::optional<RecognitionMargin>& margin);
    // The frames stopped for a while (the sensor offline, a gap in a recording): what runs now
    // starts again with the next frame. The state stays.
    void Interrupt() { runSince_.reset(); }

    bool InAlarm() const { return alarm_; }

  private:
    MarginAlarmSettings settings_;
    bool alarm_ = false;
    std::optional<double> runSince_;  // when the frames began to point the other way
};

}  // namespace tvx
