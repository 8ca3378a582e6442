#include "calibration.h"

#include <algorithm>

namespace tvx::calib {

std::uint16_t Spread(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    return static_cast<std::uint16_t>(std::max({a, b, c}) - std::min({a, b, c}));
}

void FrameAverage::Add(const CalibLiveValues& frame, std::uint16_t deltaraw) {
    sumR_ += frame.dataRawR;
    sumG_ += frame.dataRawG;
    sumB_ += frame.dataRawB;
    sumD_ += deltaraw;
    ++frames_;
}

Means FrameAverage::Result() const {
    auto mean = [](std::uint32_t sum) {
        return static_cast<std::uint16_t>(sum / static_cast<std::uint32_t>(kCalibFrames));
    };
    return {mean(sumR_), mean(sumG_), mean(sumB_), mean(sumD_)};
}

FactorResult ComputeFactors(const Means& means, std::uint16_t setvalue, std::uint16_t maxdelta) {
    FactorResult result;
    result.means = means;
    if (means.meanD > maxdelta) {
        result.outcome = FactorOutcome::SpreadTooHigh;
        return result;
    }
    std::array<std::uint16_t*, 3> channel{&result.means.meanR, &result.means.meanG,
                                          &result.means.meanB};
    for (int c = 0; c < 3; ++c) {
        if (*channel[c] == 0) *channel[c] = 1;
        result.quotients[c] = static_cast<std::uint32_t>(setvalue) * kCfScale / *channel[c];
    }
    for (int c = 0; c < 3; ++c) {
        if (result.quotients[c] < kCfMin || result.quotients[c] > kCfMax) {
            result.outcome = FactorOutcome::OutOfRange;
            result.failedChannel = c;
            return result;
        }
    }
    result.outcome = FactorOutcome::Passed;
    result.factors = {static_cast<std::uint16_t>(result.quotients[0]),
                      static_cast<std::uint16_t>(result.quotients[1]),
                      static_cast<std::uint16_t>(result.quotients[2])};
    return result;
}

std::optional<std::uint32_t> CalcButtonColourAt(int frame) {
    if (frame < 0 || frame % kBlinkFrames != 0) return std::nullopt;
    const int k = frame / kBlinkFrames;
    return k % 2 == 0 ? kColourRed : kColourLightGrey;
}

}  // namespace tvx::calib
