#include "calib_frames.h"

namespace tvx::calib {

void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row,
               const CalibrationFactors& factors) {
    PutTxHeader(buffers, sync, order);
    switch (order) {
        case kOrderWriteTeachRow:
            if (row >= kTeachRows) return;
            PutTxWord(buffers, 2, row);
            PutTxWords(buffers, 3, &buffers.pp[TeachRowWord(row, 0)], 6);
            break;
        case kOrderWriteCF:
            PutTxWord(buffers, 2, factors.cfrot);
            PutTxWord(buffers, 3, factors.cfgruen);
            PutTxWord(buffers, 4, factors.cfblau);
            break;
        default:
            // All anzframe image words go behind the header; the first sixteen are sent.
            PutTxWords(buffers, 2, buffers.pp.data(), anzframe);
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
