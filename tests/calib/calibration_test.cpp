// The calibration rules without a sensor: factors and their checks, the averaging, the blinking
// of the CALCULATE button.
#include "calibration.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvx::calib {
namespace {

TEST(CalibrationFactors, ChecksAndQuotients) {
    using O = FactorOutcome;
    struct Case {
        const char* what;
        Means means;
        std::uint16_t setvalue, maxdelta;
        O outcome;
        int failedChannel;
        std::array<std::uint32_t, 3> quotients;
    };
    const Case cases[] = {
        {"white target", {2800, 3000, 3200, 40}, 3000, 100, O::Passed, -1, {1097, 1024, 960}},
        {"lower end passes", {1024, 1024, 1024, 0}, 750, 0, O::Passed, -1, {750, 750, 750}},
        {"upper end passes", {1024, 1024, 1024, 0}, 1300, 0, O::Passed, -1, {1300, 1300, 1300}},
        {"one below", {1024, 1024, 1024, 0}, 749, 0, O::OutOfRange, 0, {749, 749, 749}},
        {"blue one above", {1300, 1300, 1023, 0}, 1300, 0, O::OutOfRange, 2, {1024, 1024, 1301}},
        {"first failure named",
         {3000, 5000, 1000, 0},
         3000,
         0,
         O::OutOfRange,
         1,
         {1024, 614, 3072}},
        {"spread at limit", {3000, 3000, 3000, 200}, 3000, 200, O::Passed, -1, {1024, 1024, 1024}},
        {"spread above", {0, 3000, 3000, 201}, 3000, 200, O::SpreadTooHigh, -1, {0, 0, 0}},
        {"zero mean counts as one",
         {3000, 0, 3000, 0},
         3000,
         10,
         O::OutOfRange,
         1,
         {1024, 3000 * 1024, 1024}},
        // 66782 cut to 16 bits would read 1246, inside the range.
        {"dark target", {46, 46, 46, 0}, 3000, 10, O::OutOfRange, 0, {66782, 66782, 66782}},
        {"no overflow", {1, 1, 1, 0}, 65535, 0, O::OutOfRange, 0, {67107840, 67107840, 67107840}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FactorResult r = ComputeFactors(c.means, c.setvalue, c.maxdelta);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.failedChannel, c.failedChannel);
        EXPECT_EQ(r.quotients, c.quotients);
        // Factors are taken only when all three pass.
        const auto& q = c.quotients;
        const CalibrationFactors taken{static_cast<std::uint16_t>(q[0]),
                                       static_cast<std::uint16_t>(q[1]),
                                       static_cast<std::uint16_t>(q[2])};
        EXPECT_EQ(r.factors, c.outcome == O::Passed ? taken : CalibrationFactors{});
        EXPECT_EQ(r.means, c.outcome == O::SpreadTooHigh ? c.means : r.means);  // untouched
    }
}

TEST(CalibrationRun, MeansTruncateSpreadsAreLargestMinusSmallestAndTheButtonBlinks) {
    FrameAverage average;
    for (int i = 0; i < kCalibFrames; ++i) {
        CalibLiveValues frame;
        frame.dataRawR = static_cast<std::uint16_t>(3000 + (i % 2));  // mean 3000.5
        frame.dataRawG = 65535;                                       // no overflow of the sum
        frame.dataRawB = static_cast<std::uint16_t>(i);               // mean 49.5
        average.Add(frame, static_cast<std::uint16_t>(i == 0 ? 99 : 0));
    }
    EXPECT_EQ(average.Result(), (Means{3000, 65535, 49, 0}));
    EXPECT_EQ(Spread(3000, 2800, 3200), 400);
    EXPECT_EQ(Spread(0, 65535, 1), 65535);
    // The CALCULATE button blinks every fifth frame of the run.
    std::vector<std::uint32_t> switches;
    for (int i = 0; i < kCalibFrames; ++i)
        if (auto colour = CalcButtonColourAt(i)) switches.push_back(*colour);
    ASSERT_EQ(switches.size(), 20u);
    for (std::size_t k = 0; k < switches.size(); ++k)
        EXPECT_EQ(switches[k], k % 2 == 0 ? kColourRed : kColourLightGrey) << k;
}

}  // namespace
}  // namespace tvx::calib
