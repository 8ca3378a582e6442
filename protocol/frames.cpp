#include "frames.h"

#include <algorithm>

#include "orders.h"
#include "parameter_image.h"

namespace tvx {

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
    vars.maxcolno = std::min<std::uint32_t>(vars.maxcolno, kMaxColNoLimit);
}

void TakeTeachRow(const std::uint16_t* words, std::size_t row, ParameterSet& vars) {
    for (std::size_t c = 0; c < kTeachColumns; ++c) vars.ctt[row][c] = words[c];
    vars.groupbuf[row] = words[kTeachColumns];
}

bool IsReplyTo(const std::uint16_t* words, std::uint16_t order, std::uint16_t row) {
    return words[0] == sync && words[1] == order &&
           (order != kOrderReadTeachRow || words[2] == row);
}

LiveValues LiveValuesOfWords(const std::uint16_t* words) {
    LiveValues live;
    live.dataR = words[2];
    live.dataG = words[3];
    live.dataB = words[4];
    live.dataX = words[5];
    live.dataY = words[6];
    live.dataINT = words[7];
    live.dataCOL = words[8];
    live.dataTemp = words[12];
    live.dataGroup = words[13];
    return live;
}

LiveValues DecodeDataFrame(const std::uint8_t* frame) {
    std::uint16_t words[anzframe];
    UnpackWords(frame, words, anzframe);
    return LiveValuesOfWords(words);
}

void PutRequestWords(std::uint8_t* frame, std::uint16_t order, std::uint16_t row,
                     const std::uint16_t* image, int imageWords) {
    PackHeader(frame, sync, order);
    if (order == kOrderWriteTeachRow) {
        PackWord(frame + 4, row);
        // A row the table does not have would read past the image; such words go out as zero.
        for (int i = 0; i < 6; ++i) {
            const int word = TeachRowWord(row, i);
            PackWord(frame + 6 + 2 * i, word < imageWords ? image[word] : 0);
        }
    } else if (order == kOrderReadTeachRow) {
        PackWord(frame + 4, row);
    } else if (imageWords >= anzdata) {
        PackWords(frame + 4, image, anzdata);
    }
}

void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row) {
    PutRequestWords(buffers.szWriteBuf.data(), order, row, buffers.pp.data(), kPpWords);
}

void GetRxBufPara(FrameBuffers& buffers) {
    TakeRxWords(buffers, buffers.pp.data(), anzframe);
}

void GetRxBufData(FrameBuffers& buffers) {
    TakeRxWords(buffers, buffers.databuf.data(), anzframe);
}

void CopyVarsToPP(const ParameterSet& vars, FrameBuffers& buffers) {
    const ParameterImage image = ImageOf(vars);
    std::copy(image.begin(), image.end(), buffers.pp.begin());
}

void TakeParameterReply(const std::uint16_t* words, ParameterSet& vars) {
    if (words[0] != sync) return;
    if (words[1] == kOrderReadModes) {
        TakeModeWords(&words[2], vars);
    } else if (words[1] == kOrderReadTeachRow) {
        // The table has 15 rows; a reply naming another row changes nothing.
        if (words[2] < kTeachRows) TakeTeachRow(&words[3], words[2], vars);
    }
}

void CopyPPtoVars(const FrameBuffers& buffers, ParameterSet& vars) {
    TakeParameterReply(buffers.pp.data(), vars);
}

void CopyFileParatoVars(const FrameBuffers& buffers, ParameterSet& vars) {
    ParameterImage image{};
    std::copy_n(buffers.pp.begin(), image.size(), image.begin());
    TakeImage(image, vars);
}

void CopyDatatoVars(const FrameBuffers& buffers, LiveValues& live) {
    live = LiveValuesOfWords(buffers.databuf.data());
}

}  // namespace tvx
