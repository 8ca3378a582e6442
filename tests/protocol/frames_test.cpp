#include "frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tvx {
namespace {

std::vector<std::uint8_t> Sent(const FrameBuffers& b) {
    return {b.szWriteBuf.begin(), b.szWriteBuf.begin() + kFrameBytes};
}

void PutReply(FrameBuffers& b, const std::vector<std::uint16_t>& words) {
    for (std::size_t i = 0; i < words.size(); ++i) PackWord(&b.szReadBuf[2 * i], words[i]);
}

ParameterSet SampleSet() {
    ParameterSet s;
    s.power = 1000;
    s.pmode = 1;
    s.average = 0x1234;
    s.evalmode = 2;
    s.hold = 0x8001;
    s.intlim = 0xFF00;
    s.maxcolno = 7;
    s.outmode = 1;
    s.trigger = 2;
    s.exteach = 3;
    s.calcmode = 1;
    s.dynwinlo = 100;
    s.dynwinhi = 3900;
    s.colorgroup = 1;
    s.frei15 = 0xABCD;
    s.frei16 = 0x00FE;
    for (int r = 0; r < kTeachRows; ++r) {
        for (int c = 0; c < kTeachColumns; ++c)
            s.ctt[r][c] = static_cast<std::uint16_t>(0x8000 + 0x100 * r + c);
        s.groupbuf[r] = static_cast<std::uint16_t>(14 - r);
    }
    return s;
}

TEST(FillTxBuf, ParameterWriteHeaderAndModeWordsGoHighByteFirst) {
    FrameBuffers b;
    ParameterSet s;
    s.power = 1000;
    s.intlim = 0xFF80;
    CopyVarsToPP(s, b);
    FillTxBuf(b, 1, 0);
    const auto frame = Sent(b);
    const std::vector<std::uint8_t> head = {0x00, 0x55, 0x00, 0x01, 0x03, 0xE8};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), frame.begin()));
    EXPECT_EQ(frame[14], 0xFF);  // word 5 = intlim, byte 4 + 2*5
    EXPECT_EQ(frame[15], 0x80);
}

TEST(FillTxBuf, TeachRowFourteenCarriesImageWords100To105) {
    FrameBuffers b;
    CopyVarsToPP(SampleSet(), b);
    FillTxBuf(b, 2, 14);
    const auto frame = Sent(b);
    EXPECT_EQ(UnpackWord(&frame[2]), 2);
    EXPECT_EQ(UnpackWord(&frame[4]), 14);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(UnpackWord(&frame[6 + 2 * i]), b.pp[100 + i]) << i;
    EXPECT_EQ(UnpackWord(&frame[6]), 0x8E00);  // row 14, column 0
    EXPECT_EQ(UnpackWord(&frame[16]), 0);      // group of row 14
}

TEST(FillTxBuf, UnfilledPayloadKeepsThePreviousFrame) {
    FrameBuffers b;
    CopyVarsToPP(SampleSet(), b);
    FillTxBuf(b, 1, 0);
    const auto before = Sent(b);
    FillTxBuf(b, 4, 9);
    const auto after = Sent(b);
    EXPECT_EQ(UnpackWord(&after[2]), 4);
    EXPECT_EQ(UnpackWord(&after[4]), 9);
    EXPECT_TRUE(std::equal(before.begin() + 6, before.end(), after.begin() + 6));
    FillTxBuf(b, 2, 3);
    const auto row = Sent(b);
    EXPECT_TRUE(std::equal(before.begin() + 18, before.end(), row.begin() + 18));
}

TEST(FillTxBuf, RowOutsideTheTableStaysInsideTheImage) {
    FrameBuffers b;
    b.pp.fill(0x7777);
    FillTxBuf(b, 2, 0xFFFF);
    const auto frame = Sent(b);
    EXPECT_EQ(UnpackWord(&frame[4]), 0xFFFF);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(UnpackWord(&frame[6 + 2 * i]), 0) << i;
}

TEST(GetRxBuf, HighBytesUnpackUnsigned) {
    FrameBuffers b;
    for (int i = 0; i < kFrameBytes; ++i) b.szReadBuf[i] = 0xFF;
    b.szReadBuf[4] = 0x80;
    b.szReadBuf[5] = 0x00;
    GetRxBufData(b);
    EXPECT_EQ(b.databuf[0], 0xFFFF);
    EXPECT_EQ(b.databuf[2], 0x8000);
    GetRxBufPara(b);
    EXPECT_EQ(b.pp[17], 0xFFFF);
    EXPECT_EQ(b.pp[18], 0);  // only the 18 frame words are touched
}

TEST(CopyPPtoVars, ModeReplyTakesSixteenWordsAndClampsMaxColNo) {
    for (auto [sent, expected] : {std::pair{20, 15}, std::pair{15, 15}, std::pair{16, 15},
                                  std::pair{0xFFFF, 15}, std::pair{3, 3}}) {
        FrameBuffers b;
        std::vector<std::uint16_t> reply = {0x55, 3};
        for (std::uint16_t w = 0; w < 16; ++w)
            reply.push_back(static_cast<std::uint16_t>(0x9000 + w));
        reply[2 + 6] = static_cast<std::uint16_t>(sent);
        PutReply(b, reply);
        GetRxBufPara(b);
        ParameterSet vars;
        CopyPPtoVars(b, vars);
        EXPECT_EQ(vars.maxcolno, static_cast<std::uint32_t>(expected)) << sent;
        EXPECT_EQ(vars.power, 0x9000);
        EXPECT_EQ(vars.frei16, 0x900Fu);
        EXPECT_EQ(vars.average, 0x9002u);  // zero-extended
    }
}

TEST(CopyPPtoVars, WrongSyncOrOrderChangesNothing) {
    const ParameterSet original = SampleSet();
    for (auto header :
         {std::vector<std::uint16_t>{0x56, 3}, std::vector<std::uint16_t>{0x55, 5},
          std::vector<std::uint16_t>{0x5500, 3}, std::vector<std::uint16_t>{0x55, 8}}) {
        FrameBuffers b;
        std::vector<std::uint16_t> reply = header;
        reply.resize(18, 1);
        PutReply(b, reply);
        GetRxBufPara(b);
        ParameterSet vars = original;
        CopyPPtoVars(b, vars);
        EXPECT_EQ(vars, original);
    }
}

TEST(CopyPPtoVars, RowReplyChangesOnlyThatRow) {
    const ParameterSet original = SampleSet();
    // The first, a middle and the last row of the table.
    for (std::uint16_t row : {0, 7, 14}) {
        FrameBuffers b;
        PutReply(b, {0x55, 4, row, 0xF001, 0xF002, 0xF003, 0xF004, 0xF005, 3, 0xEEEE});
        GetRxBufPara(b);
        ParameterSet vars = original;
        CopyPPtoVars(b, vars);
        ParameterSet expected = original;
        expected.ctt[row] = {0xF001, 0xF002, 0xF003, 0xF004, 0xF005};
        expected.groupbuf[row] = 3;
        EXPECT_EQ(vars, expected) << row;
    }
}

TEST(CopyPPtoVars, RowReplyBeyondTheTableChangesNothing) {
    const ParameterSet original = SampleSet();
    for (std::uint16_t row : {15, 16, 0xFFFF}) {
        FrameBuffers b;
        PutReply(b, {0x55, 4, row, 1, 2, 3, 4, 5, 6});
        GetRxBufPara(b);
        ParameterSet vars = original;
        CopyPPtoVars(b, vars);
        EXPECT_EQ(vars, original) << row;
    }
}

TEST(ParameterImage, RoundTripKeepsEveryWordIncludingSpareWords) {
    const ParameterSet original = SampleSet();
    FrameBuffers b;
    CopyVarsToPP(original, b);
    EXPECT_EQ(b.pp[0], 1000);
    EXPECT_EQ(b.pp[14], 0xABCD);
    EXPECT_EQ(b.pp[15], 0x00FE);
    EXPECT_EQ(b.pp[16], 0x8000);  // row 0, X
    EXPECT_EQ(b.pp[21], 14);      // row 0, group
    EXPECT_EQ(b.pp[105], 0);      // row 14, group
    EXPECT_EQ(b.pp[106], 0);      // nothing beyond the image
    ParameterSet loaded;
    CopyFileParatoVars(b, loaded);
    EXPECT_EQ(loaded, original);
}

TEST(ParameterImage, WideVariablesCarryTheirLowSixteenBits) {
    ParameterSet s;
    s.average = 0x12345;
    s.frei15 = 0x10001;
    FrameBuffers b;
    CopyVarsToPP(s, b);
    EXPECT_EQ(b.pp[2], 0x2345);
    EXPECT_EQ(b.pp[14], 0x0001);
}

TEST(ParameterImage, FileImageClampsMaxColNo) {
    FrameBuffers b;
    b.pp[6] = 20;
    ParameterSet vars;
    CopyFileParatoVars(b, vars);
    EXPECT_EQ(vars.maxcolno, 15u);
}

TEST(CopyDatatoVars, TakesTheWordsTheScopeShows) {
    FrameBuffers b;
    for (std::uint16_t i = 0; i < anzframe; ++i)
        b.databuf[i] = static_cast<std::uint16_t>(0xFF00 + i);
    b.databuf[8] = 255;
    LiveValues live;
    CopyDatatoVars(b, live);
    EXPECT_EQ(live.dataR, 0xFF02);
    EXPECT_EQ(live.dataINT, 0xFF07);
    EXPECT_EQ(live.dataCOL, 255);
    EXPECT_EQ(live.dataTemp, 0xFF0C);
    EXPECT_EQ(live.dataGroup, 0xFF0D);
}

}  // namespace
}  // namespace tvx
