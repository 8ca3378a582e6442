#pragma once

#include <cstdint>

#include "frames.h"
#include "orders.h"

// The calibration tool's frames and its reading of them: the order-30 layout, its own data
// mapping, and the two parameter sets it writes.
namespace tvx::calib {

// A factor of 1 is 1024: the sensor's calibrated value is raw * CF / 1024.
inline constexpr std::uint32_t kCfScale = 1024;

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
