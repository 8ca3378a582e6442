// The mean-value teach computations: counter, means, deviations and the chosen tolerances.
#include <gtest/gtest.h>

#include <vector>

#include "mean_teach.h"

namespace tvx {
namespace {

CapturedFrame Frame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
    return {1, 2, 3, x, y, intensity};
}

TEST(MeanTeachTest, CounterStaysWithinTheHundredRows) {
    EXPECT_EQ(CounterAfterCapture(0), 1);
    EXPECT_EQ(CounterAfterCapture(99), 100);
    EXPECT_EQ(CounterAfterCapture(100), 100) << "the 101st capture replaces row 100";
    EXPECT_EQ(CounterAfterUndo(7), 6);
    EXPECT_EQ(CounterAfterUndo(0), 0);
}

TEST(MeanTeachTest, MeansAreTruncatedPerColumn) {
    const std::vector<CapturedFrame> frames = {
        {10, 20, 30, 100, 7, 500}, {11, 20, 31, 101, 8, 520}, {11, 21, 31, 101, 8, 540}};
    EXPECT_EQ(MeanOfFrames(frames), (CapturedFrame{10, 20, 30, 100, 7, 520}));
    EXPECT_EQ(MeanOfFrames({}), (CapturedFrame{}));
    // A hundred frames of the largest value do not overflow the sum.
    const std::vector<CapturedFrame> full(kCaptureRows,
                                          CapturedFrame{65535, 65535, 65535, 65535, 65535, 65535});
    EXPECT_EQ(MeanOfFrames(full)[0], 65535);
}

TEST(MeanTeachTest, MaxDeltaIsTheLargestDistanceFromTheMean) {
    std::vector<CapturedFrame> frames = {Frame(1000, 1000, 500), Frame(1003, 1004, 520),
                                         Frame(997, 996, 540)};
    MaxDeltas d = MaxDeltaOfFrames(frames, 1000, 1000, 520);
    EXPECT_EQ(d.xy, 5);
    EXPECT_EQ(d.intensity, 20);
    // sqrt(1) = 1 and sqrt(2) truncated = 1.
    frames = {Frame(1000, 1000, 0), Frame(1001, 1002, 0)};
    const CapturedFrame mean = MeanOfFrames(frames);
    EXPECT_EQ(mean[kCaptureColumnX], 1000);
    EXPECT_EQ(mean[kCaptureColumnY], 1001);
    d = MaxDeltaOfFrames(frames, mean[kCaptureColumnX], mean[kCaptureColumnY], 0);
    EXPECT_EQ(d.xy, 1);
    // Far-apart values neither overflow nor wrap: the distance stops at 65535.
    frames = {Frame(0, 0, 0), Frame(65535, 65535, 65535)};
    d = MaxDeltaOfFrames(frames, 0, 0, 0);
    EXPECT_EQ(d.xy, 65535);
    EXPECT_EQ(d.intensity, 65535);
}

TEST(MeanTeachTest, ToleranceChoices) {
    EXPECT_EQ(ChosenTolerance(0, 30, 12, 77), 30);
    EXPECT_EQ(ChosenTolerance(1, 30, 12, 77), 12);
    EXPECT_EQ(ChosenTolerance(2, 30, 12, 77), 42);
    EXPECT_EQ(ChosenTolerance(3, 30, 12, 77), 77);
    EXPECT_EQ(ChosenTolerance(2, 65530, 12, 77), 65535) << "the sum stops at the word's top";
}

}  // namespace
}  // namespace tvx
