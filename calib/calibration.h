#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "calib_frames.h"

// The white calibration as plain rules: the averaging of the calibration run and the factor
// computation (the tool's frames are in calib_frames.h).
namespace tvx::calib {

inline constexpr std::uint32_t kCfMin = 750;
inline constexpr std::uint32_t kCfMax = 1300;
// Frames averaged by one calibration run.
inline constexpr int kCalibFrames = 100;
// The CALCULATE button blinks red and light grey, switching every 5 frames.
inline constexpr int kBlinkFrames = 5;
inline constexpr std::uint32_t kColourRed = 0xFF0000;
inline constexpr std::uint32_t kColourLightGrey = 0xE0E0E0;

// Mean raw red, green, blue and mean raw spread of a calibration run.
struct Means {
    std::uint16_t meanR = 0;
    std::uint16_t meanG = 0;
    std::uint16_t meanB = 0;
    std::uint16_t meanD = 0;

    bool operator==(const Means&) const = default;
};

// What the calibration keeps between runs.
struct CalibrationValues {
    CalibrationFactors factors;
    std::uint16_t setvalue = 0;
    std::uint16_t maxdelta = 0;
    Means means;
    std::uint16_t deltaraw = 0;
    std::uint16_t deltacalib = 0;
    std::uint16_t power = 0;
};

// Largest minus smallest of three channel values.
std::uint16_t Spread(std::uint16_t a, std::uint16_t b, std::uint16_t c);
inline std::uint16_t RawSpread(const CalibLiveValues& v) {
    return Spread(v.dataRawR, v.dataRawG, v.dataRawB);
}
inline std::uint16_t CalibratedSpread(const CalibLiveValues& v) {
    return Spread(v.dataR, v.dataG, v.dataB);
}

// The sums of a calibration run: raw red, green, blue and the raw spread of each frame.
class FrameAverage {
  public:
    void Add(const CalibLiveValues& frame, std::uint16_t deltaraw);
    int Frames() const { return frames_; }
    // The four sums divided by the run's fixed 100 frames, truncating.
    Means Result() const;

  private:
    std::uint32_t sumR_ = 0;
    std::uint32_t sumG_ = 0;
    std::uint32_t sumB_ = 0;
    std::uint32_t sumD_ = 0;
    int frames_ = 0;
};

enum class FactorOutcome {
    Passed,
    SpreadTooHigh,  // meanD above maxdelta: nothing computed
    OutOfRange,     // a factor outside 750 ... 1300: none stored
};

struct FactorResult {
    FactorOutcome outcome = FactorOutcome::Passed;
    // The means the computation used: a zero channel mean counts as 1 (unchanged when the spread
    // check failed).
    Means means;
    // setvalue * 1024 / mean per channel, red, green, blue, before any range check.
    std::array<std::uint32_t, 3> quotients{};
    // The first channel out of range (0 red, 1 green, 2 blue), or -1.
    int failedChannel = -1;
    // Valid when the outcome is Passed.
    CalibrationFactors factors;
};

// The factor computation with its spread check and its range check.
FactorResult ComputeFactors(const Means& means, std::uint16_t setvalue, std::uint16_t maxdelta);

// The CALCULATE button's colour at frame `frame` of the run, when it switches there.
std::optional<std::uint32_t> CalcButtonColourAt(int frame);

}  // namespace tvx::calib
