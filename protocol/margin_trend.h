#pragma once

#include <QString>
#include <deque>
#include <optional>

#include "recognition_margin.h"

namespace tvx {

// Whether a sensor's margin drifts, said in time: "margin 0.31, falling 0.02 per hour: the edge
// in about 15 h". An EWMA control chart over minute means of the margin:
//
// - Each minute's frames give one mean (a minute without a margin gives none). The first
//   kBaselineMinutes means give the usual level mu and spread sigma of the means (at least
//   kLeastSpread, so that a sensor that never wavers still has limits).
// - z = lambda * mean + (1 - lambda) * z, from z = mu, with lambda = 0.1; its limits are
//   mu -/+ L * sigma * sqrt(lambda / (2 - lambda)) with L = 3.0. A steady sensor's z leaves them
//   on average once in 839 minutes (either side; 1641 on the low side, which is the one that
//   warns), so noise alone says "falling" about once in 27 hours of a steady sensor, while a
//   drift of a tenth of a margin's spread a minute is seen within a few minutes.
// - The trend is the least-squares slope of z over the last kSlopeMinutes, per hour; it is given
//   only while z lies outside its limits (in control, the slope is noise and is not said).
class MarginTrend {
  public:
    static constexpr double kLambda = 0.1;
    static constexpr double kLimitWidth = 3.0;  // L
    static constexpr double kMinuteSeconds = 60;
    static constexpr int kBaselineMinutes = 10;
    static constexpr int kSlopeMinutes = 10;
    static constexpr double kLeastSpread = 0.005;

    enum class State { Unknown, Learning, Steady, Falling, LowNotFalling, Rising };
    struct Reading {
        State state = State::Unknown;
        double margin = 0;   // z, the smoothed margin (the last minute's mean while learning)
        double usual = 0;    // mu
        double perHour = 0;  // the slope while Falling or Rising, else 0
        std::optional<double> edgeHours;  // Falling with z above 0: when z would reach 0

        // "margin 0.31, falling 0.02 per hour: the edge in about 15 h", "margin 0.31, steady"...
        QString Text() const;
    };

    // One frame at `seconds` (a clock that does not go back). True when a minute closed and
    // the reading changed.
    bool Take(double seconds, const std::optional<RecognitionMargin>& margin);
    // The teach table was read again: the usual level is learnt anew.
    void Restart() { *this = MarginTrend(); }
    const Reading& Now() const { return reading_; }

  private:
    void CloseMinute(double startSeconds);
    double Slope() const;

    Reading reading_;
    std::optional<double> minuteStart_;
    double minuteSum_ = 0;
    long long minuteFrames_ = 0;
    int minutes_ = 0;  // means taken so far
    double baselineSum_ = 0, baselineSquares_ = 0;
    double sigma_ = 0;
    double z_ = 0;
    std::deque<std::pair<double, double>> recent_;  // (start seconds, z) of the last minutes
};

}  // namespace tvx
