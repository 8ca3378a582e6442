#include "frames.h"

#include <algorithm>

#include "orders.h"

namespace tvx {

namespace {

std::uint16_t PpWordOrZero(const FrameBuffers& buffers, int index) {
    return index >= 0 && index < kPpWords ? buffers.pp[static_cast<std::size_t>(index)] : 0;
}

void ClampMaxColNo(ParameterSet& vars) {
    vars.maxcolno = std::min<std::uint32_t>(vars.maxcolno, kMaxColNoLimit);
}

void TakeModeWords(const std::uint16_t* words, ParameterSet& vars) {
    vars.power = words[0];
    vars.pmode = words[1];
    vars.average = words[2];
    vars.evalmode = words[3];
    vars.hold = words[4];
    vars.intlim = words[5];
    vars.maxcolno = words[6];
    vars.outmode = words[7];
    vars.trigger = words[8];
    vars.exteach = words[9];
    vars.calcmode = words[10];
    vars.dynwinlo = words[11];
    vars.dynwinhi = words[12];
    vars.colorgroup = words[13];
    vars.frei15 = words[14];
    vars.frei16 = words[15];
}

void TakeTeachRow(const std::uint16_t* words, std::size_t row, ParameterSet& vars) {
    for (std::size_t c = 0; c < kTeachColumns; ++c) vars.ctt[row][c] = words[c];
    vars.groupbuf[row] = words[kTeachColumns];
}

}  // namespace

void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row) {
    PutTxHeader(buffers, sync, order);
    if (order == kOrderWriteTeachRow) {
        PutTxWord(buffers, 2, row);
        // A row the table does not have would read past the image; such words go out as zero.
        for (int i = 0; i < 6; ++i)
            PutTxWord(buffers, 3 + i, PpWordOrZero(buffers, TeachRowWord(row, i)));
    } else if (order == kOrderReadTeachRow) {
        PutTxWord(buffers, 2, row);
    } else {
        PutTxWords(buffers, 2, buffers.pp.data(), anzdata);
    }
}

void GetRxBufPara(FrameBuffers& buffers) {
    TakeRxWords(buffers, buffers.pp.data(), anzframe);
}

void GetRxBufData(FrameBuffers& buffers) {
    TakeRxWords(buffers, buffers.databuf.data(), anzframe);
}

void CopyVarsToPP(const ParameterSet& vars, FrameBuffers& buffers) {
    auto& pp = buffers.pp;
    const std::uint32_t modeWords[16] = {
        vars.power,    vars.pmode,      vars.average, vars.evalmode, vars.hold,     vars.intlim,
        vars.maxcolno, vars.outmode,    vars.trigger, vars.exteach,  vars.calcmode, vars.dynwinlo,
        vars.dynwinhi, vars.colorgroup, vars.frei15,  vars.frei16};
    for (std::size_t i = 0; i < 16; ++i) pp[i] = static_cast<std::uint16_t>(modeWords[i]);
    for (std::size_t r = 0; r < kTeachRows; ++r) {
        for (std::size_t c = 0; c < kTeachColumns; ++c)
            pp[static_cast<std::size_t>(TeachRowWord(static_cast<int>(r), static_cast<int>(c)))] =
                vars.ctt[r][c];
        pp[static_cast<std::size_t>(TeachRowWord(static_cast<int>(r), 5))] = vars.groupbuf[r];
    }
}

void CopyPPtoVars(const FrameBuffers& buffers, ParameterSet& vars) {
    const auto& pp = buffers.pp;
    if (pp[0] != sync) return;
    if (pp[1] == kOrderReadModes) {
        TakeModeWords(&pp[2], vars);
        ClampMaxColNo(vars);
    } else if (pp[1] == kOrderReadTeachRow) {
        // The table has 15 rows; a reply naming another row changes nothing.
        if (pp[2] < kTeachRows) TakeTeachRow(&pp[3], pp[2], vars);
    }
}

void CopyFileParatoVars(const FrameBuffers& buffers, ParameterSet& vars) {
    const auto& pp = buffers.pp;
    TakeModeWords(&pp[0], vars);
    for (std::size_t r = 0; r < kTeachRows; ++r)
        TakeTeachRow(&pp[static_cast<std::size_t>(TeachRowWord(static_cast<int>(r), 0))], r, vars);
    ClampMaxColNo(vars);
}

void CopyDatatoVars(const FrameBuffers& buffers, LiveValues& live) {
    const auto& d = buffers.databuf;
    live.dataR = d[2];
    live.dataG = d[3];
    live.dataB = d[4];
    live.dataX = d[5];
    live.dataY = d[6];
    live.dataINT = d[7];
    live.dataCOL = d[8];
    live.dataTemp = d[12];
    live.dataGroup = d[13];
}

}  // namespace tvx
