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

namespace {

void PutWord(FrameBuffers& buffers, int word, std::uint16_t value) {
    PackWord(buffers.szWriteBuf.data() + 2 * word, value);
}

}  // namespace

void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row,
               const CalibrationFactors& factors) {
    PutWord(buffers, 0, sync);
    PutWord(buffers, 1, order);
    switch (order) {
        case kOrderTeachRow:
            if (row >= kTeachRows) return;
            PutWord(buffers, 2, row);
            for (int w = 0; w < 6; ++w) PutWord(buffers, 3 + w, buffers.pp[TeachRowWord(row, w)]);
            break;
        case kOrderSendCF:
            PutWord(buffers, 2, factors.cfrot);
            PutWord(buffers, 3, factors.cfgruen);
            PutWord(buffers, 4, factors.cfblau);
            break;
        default:
            // All anzframe image words go behind the header; the first sixteen are sent.
            for (int w = 0; w < anzframe; ++w) PutWord(buffers, 2 + w, buffers.pp[w]);
            break;
    }
}

void CopyVarsToPP(FrameBuffers& buffers) {
    auto& pp = buffers.pp;
    pp[0] = 250;    // power
    pp[1] = 0;      // pmode STAT
    pp[2] = 128;    // average
    pp[3] = 0;      // evalmode
    pp[4] = 10;     // hold
    pp[5] = 50;     // intlim
    pp[6] = 1;      // maxcolno
    pp[7] = 0;      // outmode
    pp[8] = 0;      // trigger
    pp[9] = 0;      // exteach
    pp[10] = 0;     // calcmode
    pp[11] = 3000;  // dynwinlo
    pp[12] = 3500;  // dynwinhi
    pp[13] = 0;     // colorgroup
    pp[14] = 0;     // frei15
    pp[15] = 0;     // frei16
    for (int row = 0; row < kTeachRows; ++row) {
        for (int c = 0; c < kTeachColumns; ++c) pp[TeachRowWord(row, c)] = 1;
        pp[TeachRowWord(row, 5)] = 0;
    }
}

void WriteMeasuringSet(FrameBuffers& buffers, std::uint16_t power) {
    auto& pp = buffers.pp;
    pp[0] = power;
    pp[1] = 0;       // pmode STAT
    pp[2] = 0x8000;  // average
    pp[3] = 0;       // evalmode
    pp[4] = 10;      // hold
    pp[5] = 0;       // intlim
    pp[6] = 1;       // maxcolno
    pp[7] = 0;       // outmode
    pp[8] = 0;       // trigger
    pp[9] = 0;       // exteach
    pp[10] = 0;      // calcmode
    pp[11] = 3000;   // dynwinlo
    pp[12] = 3500;   // dynwinhi
    pp[13] = 0;      // colorgroup
}

void CopyDatatoVars(const FrameBuffers& buffers, CalibLiveValues& live) {
    const auto& d = buffers.databuf;
    live.dataR = d[2];
    live.dataG = d[3];
    live.dataB = d[4];
    live.dataX = d[5];
    live.dataY = d[6];
    live.dataINT = d[7];
    live.dataCOL = d[8];
    live.dataRawR = d[9];
    live.dataRawG = d[10];
    live.dataRawB = d[11];
}

CalibrationFactors FactorsFromReply(const FrameBuffers& buffers) {
    return {buffers.pp[2], buffers.pp[3], buffers.pp[4]};
}

}  // namespace tvx::calib
