#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "frames.h"

// The white calibration as plain rules: the tool's frame layouts and data mapping, its two
// parameter sets, the averaging of the calibration run and the factor computation.
namespace tvx::calib {

// A factor of 1 is 1024: the sensor's calibrated value is raw * CF / 1024.
inline constexpr std::uint32_t kCfScale = 1024;
inline constexpr std::uint32_t kCfMin = 750;
inline constexpr std::uint32_t kCfMax = 1300;
// Frames averaged by one calibration run.
inline constexpr int kCalibFrames = 100;
// The CALCULATE button blinks red and light grey, switching every 5 frames.
inline constexpr int kBlinkFrames = 5;
inline constexpr std::uint32_t kColourRed = 0xFF0000;
inline constexpr std::uint32_t kColourLightGrey = 0xE0E0E0;

// Orders of the calibration tool.
inline constexpr std::uint16_t kOrderParameters = 1;
inline constexpr std::uint16_t kOrderTeachRow = 2;
inline constexpr std::uint16_t kOrderData = 5;
inline constexpr std::uint16_t kOrderStore = 6;
inline constexpr std::uint16_t kOrderSendCF = 30;
inline constexpr std::uint16_t kOrderGetCF = 31;

// The values of the last data frame as this tool reads it.
struct CalibLiveValues {
    std::uint16_t dataR = 0;  // calibrated
    std::uint16_t dataG = 0;
    std::uint16_t dataB = 0;
    std::uint16_t dataX = 0;
    std::uint16_t dataY = 0;
    std::uint16_t dataINT = 0;
    std::uint16_t dataCOL = 0;
    std::uint16_t dataRawR = 0;
    std::uint16_t dataRawG = 0;
    std::uint16_t dataRawB = 0;

    bool operator==(const CalibLiveValues&) const = default;
};

struct CalibrationFactors {
    std::uint16_t cfrot = kCfScale;
    std::uint16_t cfgruen = kCfScale;
    std::uint16_t cfblau = kCfScale;

    bool operator==(const CalibrationFactors&) const = default;
};

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

// --- frames ---

// Builds the tool's frame for `order` in szWriteBuf: sync and order, then for order 2 the row
// index and the row's six image words, for order 30 the three factors, for every other order the
// image words behind the header. Bytes an order does not write keep their previous content.
void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row,
               const CalibrationFactors& factors);
// The default parameter set and teach table that finishing a calibration stores: always the same.
void CopyVarsToPP(FrameBuffers& buffers);
// The measuring set for watching and averaging raw values, in image words 0-13 (14 and 15 are
// left as they are).
void WriteMeasuringSet(FrameBuffers& buffers, std::uint16_t power);
// The tool's reading of a data frame unpacked into databuf.
void CopyDatatoVars(const FrameBuffers& buffers, CalibLiveValues& live);
// The stored factors of a reply to order 31 unpacked into pp by GetRxBufPara.
CalibrationFactors FactorsFromReply(const FrameBuffers& buffers);

}  // namespace tvx::calib
