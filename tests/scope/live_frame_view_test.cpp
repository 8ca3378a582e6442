// What one live frame puts on the panel, without a window: the strip-chart histories, the colour
// patch, the colour-number indicators and the intensity band.
#include <gtest/gtest.h>

#include "live_frame_view.h"

namespace tvx {
namespace {

TEST(StripChartHistoryTest, SamplesEnterAtTheEndAndTheOldestFallsOut) {
    StripChartHistory history{};
    PushSample(history, 1, 2, 3);
    EXPECT_EQ(history[297], 1);
    EXPECT_EQ(history[298], 2);
    EXPECT_EQ(history[299], 3);
    EXPECT_EQ(history[296], 0);
    PushSample(history, 4, 5, 6);
    EXPECT_EQ(history[294], 1);
    EXPECT_EQ(history[295], 2);
    EXPECT_EQ(history[296], 3);
    EXPECT_EQ(history[299], 6);

    // After 100 more samples the first one has gone and every trace holds its own values.
    for (int i = 0; i < kHistorySamples; ++i) PushSample(history, 1000 + i, 2000 + i, 3000 + i);
    for (int s = 0; s < kHistorySamples; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(history[static_cast<std::size_t>(3 * s)], 1000 + s);
        EXPECT_EQ(history[static_cast<std::size_t>(3 * s + 1)], 2000 + s);
        EXPECT_EQ(history[static_cast<std::size_t>(3 * s + 2)], 3000 + s);
    }
}

TEST(PatchColourTest, RawSignalsBecomeEightBitComponents) {
    EXPECT_EQ(PatchColour(4095, 4095, 4095), 0xFFFFFFu);
    EXPECT_EQ(PatchColour(4095, 0, 0), 0xFF0000u);
    EXPECT_EQ(PatchColour(0, 4095, 0), 0x00FF00u);
    EXPECT_EQ(PatchColour(0, 0, 4095), 0x0000FFu);
    EXPECT_EQ(PatchColour(15, 16, 31), 0x000101u) << "integer division by 16";
    EXPECT_EQ(PatchColour(2000, 1200, 800), 0x7D4B32u);
    // A signal beyond the 12-bit range never spills into the neighbouring component.
    EXPECT_EQ(PatchColour(0, 65535, 0), 0x00FF00u);
}

TEST(ColourNumberBitsTest, NumbersUpTo15ShowTheirBitsLargerOnesLightAll) {
    using Bits = std::array<bool, 4>;  // indicators 8, 4, 2, 1
    EXPECT_EQ(ColourNumberBits(0), (Bits{false, false, false, false}));
    EXPECT_EQ(ColourNumberBits(5), (Bits{false, true, false, true}));
    EXPECT_EQ(ColourNumberBits(10), (Bits{true, false, true, false}));
    EXPECT_EQ(ColourNumberBits(15), (Bits{true, true, true, true}));
    EXPECT_EQ(ColourNumberBits(16), (Bits{true, true, true, true}));
    EXPECT_EQ(ColourNumberBits(255), (Bits{true, true, true, true}));
}

TEST(IntensityBandTest, BandStaysWithinTheTwelveBitRange) {
    IntensityBand band = BandOfRow(4000, 200);
    EXPECT_EQ(band.upper, 4095);
    EXPECT_EQ(band.lower, 3800);
    band = BandOfRow(100, 200);
    EXPECT_EQ(band.upper, 300);
    EXPECT_EQ(band.lower, 0);
    band = BandOfRow(1000, 50);
    EXPECT_EQ(band.upper, 1050);
    EXPECT_EQ(band.lower, 950);
    // Cells near the top of their 16-bit range neither wrap to negative nor leave the chart.
    band = BandOfRow(65535, 65535);
    EXPECT_EQ(band.upper, 4095);
    EXPECT_EQ(band.lower, 0);
    band = BandOfRow(30000, 0);
    EXPECT_EQ(band.upper, 4095);
    EXPECT_EQ(band.lower, 4095);
}

}  // namespace
}  // namespace tvx
