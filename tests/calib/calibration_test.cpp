// The calibration rules without a sensor: factors and their checks, the averaging, the frames the
// tool builds and how it reads a data frame.
#include "calibration.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvx::calib {
namespace {

TEST(CalibrationFactors, WhiteTargetGivesFactorsThatBringEveryChannelToTheSetValue) {
    const FactorResult r = ComputeFactors({2800, 3000, 3200, 40}, 3000, 100);
    ASSERT_EQ(r.outcome, FactorOutcome::Passed);
    EXPECT_EQ(r.factors, (CalibrationFactors{1097, 1024, 960}));
    EXPECT_EQ(r.failedChannel, -1);
    // A factor applied as the sensor applies it brings the mean close to the set value.
    EXPECT_NEAR(2800.0 * r.factors.cfrot / 1024, 3000, 2);
    EXPECT_NEAR(3200.0 * r.factors.cfblau / 1024, 3000, 2);
}

TEST(CalibrationFactors, BothEndsOfTheRangePassAndOneBeyondFailsForAllThree) {
    // 750 and 1300 exactly: setvalue * 1024 / 1024.
    EXPECT_EQ(ComputeFactors({1024, 1024, 1024, 0}, 750, 0).outcome, FactorOutcome::Passed);
    EXPECT_EQ(ComputeFactors({1024, 1024, 1024, 0}, 1300, 0).outcome, FactorOutcome::Passed);
    EXPECT_EQ(ComputeFactors({1024, 1024, 1024, 0}, 1300, 0).factors.cfgruen, 1300);

    const FactorResult low = ComputeFactors({1024, 1024, 1024, 0}, 749, 0);
    EXPECT_EQ(low.outcome, FactorOutcome::OutOfRange);
    EXPECT_EQ(low.failedChannel, 0);

    // Red and green in range, blue 1301: nothing is taken, not even red and green.
    const FactorResult high = ComputeFactors({1300, 1300, 1023, 0}, 1300, 0);
    EXPECT_EQ(high.outcome, FactorOutcome::OutOfRange);
    EXPECT_EQ(high.failedChannel, 2);
    EXPECT_EQ(high.quotients[0], 1024u);
    EXPECT_EQ(high.quotients[2], 1301u);
    EXPECT_EQ(high.factors, CalibrationFactors{});
}

TEST(CalibrationFactors, TheFirstChannelOutOfRangeIsTheOneNamed) {
    EXPECT_EQ(ComputeFactors({3000, 5000, 1000, 0}, 3000, 0).failedChannel, 1);
    EXPECT_EQ(ComputeFactors({1000, 5000, 1000, 0}, 3000, 0).failedChannel, 0);
}

TEST(CalibrationFactors, SpreadCheckComesFirstAndItsLimitPasses) {
    const FactorResult atLimit = ComputeFactors({3000, 3000, 3000, 200}, 3000, 200);
    EXPECT_EQ(atLimit.outcome, FactorOutcome::Passed);

    // One above: rejected before anything is computed, so a zero mean is not touched either.
    const FactorResult above = ComputeFactors({0, 3000, 3000, 201}, 3000, 200);
    EXPECT_EQ(above.outcome, FactorOutcome::SpreadTooHigh);
    EXPECT_EQ(above.means, (Means{0, 3000, 3000, 201}));
    EXPECT_EQ(above.quotients, (std::array<std::uint32_t, 3>{0, 0, 0}));
}

TEST(CalibrationFactors, ZeroMeanCountsAsOne) {
    const FactorResult r = ComputeFactors({3000, 0, 3000, 0}, 3000, 10);
    EXPECT_EQ(r.means.meanG, 1);
    EXPECT_EQ(r.quotients[1], 3000u * 1024u);
    EXPECT_EQ(r.outcome, FactorOutcome::OutOfRange);
    EXPECT_EQ(r.failedChannel, 1);
    // A set value of 1 over a zero mean: 1024, inside the range.
    const FactorResult tiny = ComputeFactors({1, 0, 1, 0}, 1, 0);
    EXPECT_EQ(tiny.outcome, FactorOutcome::Passed);
    EXPECT_EQ(tiny.factors.cfgruen, 1024);
}

TEST(CalibrationFactors, DarkTargetIsRejectedOnTheFullQuotient) {
    // 3000 * 1024 / 46 = 66782; cut to 16 bits it would read 1246, well inside the range.
    const FactorResult r = ComputeFactors({46, 46, 46, 0}, 3000, 10);
    EXPECT_EQ(r.quotients[0], 66782u);
    EXPECT_EQ(r.outcome, FactorOutcome::OutOfRange);
    // The largest set value over the smallest mean does not overflow.
    EXPECT_EQ(ComputeFactors({1, 1, 1, 0}, 65535, 0).quotients[0], 65535u * 1024u);
}

TEST(CalibrationAverage, HundredFramesTruncateToTheMeans) {
    FrameAverage average;
    for (int i = 0; i < kCalibFrames; ++i) {
        CalibLiveValues frame;
        frame.dataRawR = static_cast<std::uint16_t>(3000 + (i % 2));  // mean 3000.5
        frame.dataRawG = 65535;                                       // no overflow of the sum
        frame.dataRawB = static_cast<std::uint16_t>(i);               // mean 49.5
        frame.dataR = 1;                                              // not averaged
        average.Add(frame, static_cast<std::uint16_t>(i == 0 ? 99 : 0));
    }
    EXPECT_EQ(average.Frames(), kCalibFrames);
    EXPECT_EQ(average.Result(), (Means{3000, 65535, 49, 0}));
}

TEST(CalibrationAverage, SpreadsAreLargestMinusSmallest) {
    EXPECT_EQ(Spread(3000, 2800, 3200), 400);
    EXPECT_EQ(Spread(0, 65535, 1), 65535);
    EXPECT_EQ(Spread(7, 7, 7), 0);
    CalibLiveValues v;
    v.dataRawR = 10;
    v.dataRawG = 30;
    v.dataRawB = 20;
    v.dataR = 100;
    v.dataG = 100;
    v.dataB = 90;
    EXPECT_EQ(RawSpread(v), 20);
    EXPECT_EQ(CalibratedSpread(v), 10);
}

TEST(CalibrationButton, BlinksEveryFiveFramesAndEndsLightGrey) {
    std::vector<std::uint32_t> switches;
    for (int i = 0; i < kCalibFrames; ++i)
        if (auto colour = CalcButtonColourAt(i)) switches.push_back(*colour);
    ASSERT_EQ(switches.size(), 20u);
    for (std::size_t k = 0; k < switches.size(); ++k)
        EXPECT_EQ(switches[k], k % 2 == 0 ? kColourRed : kColourLightGrey) << k;
    EXPECT_FALSE(CalcButtonColourAt(4).has_value());
    EXPECT_EQ(CalcButtonColourAt(95), kColourLightGrey);
}

std::vector<std::uint8_t> Sent(const FrameBuffers& b, int from, int to) {
    return {b.szWriteBuf.begin() + from, b.szWriteBuf.begin() + to};
}

TEST(CalibrationFrames, MeasuringSetTravelsInOrderOneAndKeepsTheSpareWords) {
    FrameBuffers b;
    b.pp[14] = 0x1234;
    b.pp[15] = 0xABCD;
    WriteMeasuringSet(b, 1000);
    FillTxBuf(b, kOrderParameters, 0, {});
    const std::vector<std::uint16_t> words{1000, 0, 0x8000, 0,    10,   0, 1,      0,
                                           0,    0, 0,      3000, 3500, 0, 0x1234, 0xABCD};
    EXPECT_EQ(Sent(b, 0, 6), (std::vector<std::uint8_t>{0x00, 0x55, 0x00, 0x01, 0x03, 0xE8}));
    for (int w = 0; w < 16; ++w) EXPECT_EQ(UnpackWord(&b.szWriteBuf[4 + 2 * w]), words[w]) << w;
}

TEST(CalibrationFrames, DefaultSetIsAlwaysTheSame) {
    FrameBuffers b;
    b.pp.fill(0x7777);
    CopyVarsToPP(b);
    const std::vector<std::uint16_t> modes{250, 0, 128, 0,    10,   50, 1, 0,
                                           0,   0, 0,   3000, 3500, 0,  0, 0};
    for (int w = 0; w < 16; ++w) EXPECT_EQ(b.pp[w], modes[w]) << w;
    for (int row = 0; row < kTeachRows; ++row) {
        for (int c = 0; c < 5; ++c) EXPECT_EQ(b.pp[TeachRowWord(row, c)], 1) << row;
        EXPECT_EQ(b.pp[TeachRowWord(row, 5)], 0) << row;
    }
    EXPECT_EQ(b.pp[anzpara], 0x7777);  // nothing past the image
}

TEST(CalibrationFrames, RowFrameCarriesTheRowAndLeavesTheRestOfTheBuffer) {
    FrameBuffers b;
    b.szWriteBuf.fill(0xEE);
    CopyVarsToPP(b);
    b.pp[TeachRowWord(14, 0)] = 0x0102;
    b.pp[TeachRowWord(14, 5)] = 0x0304;
    FillTxBuf(b, kOrderTeachRow, 14, {});
    EXPECT_EQ(Sent(b, 0, 8),
              (std::vector<std::uint8_t>{0x00, 0x55, 0x00, 0x02, 0x00, 14, 0x01, 0x02}));
    EXPECT_EQ(UnpackWord(&b.szWriteBuf[8]), 1);
    EXPECT_EQ(UnpackWord(&b.szWriteBuf[16]), 0x0304);
    EXPECT_EQ(Sent(b, 18, 36), std::vector<std::uint8_t>(18, 0xEE));
}

TEST(CalibrationFrames, FactorFrameCarriesTheThreeFactorsOnly) {
    FrameBuffers b;
    b.szWriteBuf.fill(0xEE);
    FillTxBuf(b, kOrderSendCF, 0, {1097, 1024, 960});
    EXPECT_EQ(Sent(b, 0, 10), (std::vector<std::uint8_t>{0x00, 0x55, 0x00, 30, 0x04, 0x49, 0x04,
                                                         0x00, 0x03, 0xC0}));
    EXPECT_EQ(Sent(b, 10, 36), std::vector<std::uint8_t>(26, 0xEE));
}

TEST(CalibrationFrames, OtherOrdersCarryTheImageAsItIs) {
    FrameBuffers b;
    for (int w = 0; w < 18; ++w) b.pp[w] = static_cast<std::uint16_t>(0x100 + w);
    for (std::uint16_t order : {kOrderData, kOrderStore, kOrderGetCF}) {
        FillTxBuf(b, order, 0, {});
        EXPECT_EQ(UnpackWord(&b.szWriteBuf[2]), order);
        for (int w = 0; w < 16; ++w) EXPECT_EQ(UnpackWord(&b.szWriteBuf[4 + 2 * w]), 0x100 + w);
    }
}

TEST(CalibrationFrames, DataFrameGivesCalibratedThenRawValues) {
    FrameBuffers b;
    const std::vector<std::uint16_t> words{0x55, 5,    1001,   1002, 1003, 2047, 1228, 1333, 255,
                                           3001, 3002, 0xFF00, 25,   7,    0,    0,    0,    0};
    for (int w = 0; w < 18; ++w) PackWord(&b.szReadBuf[2 * w], words[w]);
    GetRxBufData(b);
    CalibLiveValues live;
    CopyDatatoVars(b, live);
    CalibLiveValues expected;
    expected.dataR = 1001;
    expected.dataG = 1002;
    expected.dataB = 1003;
    expected.dataX = 2047;
    expected.dataY = 1228;
    expected.dataINT = 1333;
    expected.dataCOL = 255;
    expected.dataRawR = 3001;
    expected.dataRawG = 3002;
    expected.dataRawB = 0xFF00;
    EXPECT_EQ(live, expected);
}

TEST(CalibrationFrames, StoredFactorsComeFromTheReplysFirstDataWords) {
    FrameBuffers b;
    const std::vector<std::uint16_t> words{0x55, 31, 1100, 1000, 900};
    for (int w = 0; w < 18; ++w)
        PackWord(&b.szReadBuf[2 * w], w < 5 ? words[w] : static_cast<std::uint16_t>(0));
    GetRxBufPara(b);
    EXPECT_EQ(FactorsFromReply(b), (CalibrationFactors{1100, 1000, 900}));
}

}  // namespace
}  // namespace tvx::calib
