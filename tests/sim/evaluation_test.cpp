// How the sensor turns R, G, B into a colour-plane point and a colour number.

#include <gtest/gtest.h>

#include "measurement.h"

namespace tvx::sim {
namespace {

// A teach table with rows 0..3 active and the intensity limit at 50.
class EvaluationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        image = DefaultImage();
        SetRow(0, 1000, 1000, 100, 500, 50, 7);
        SetRow(1, 3000, 500, 40, 2000, 100, 3);
        SetRow(2, 1000, 1000, 100, 900, 50, 9);      // same place as row 0, other intensity
        SetRow(3, 1150, 1000, 100, 500, 50, 4);      // overlaps row 0's circle
        SetRow(4, 2000, 2000, 200, 1000, 1000, 11);  // inactive with maxcolno 4
        image[kMaxcolno] = 4;
        image[kIntlim] = 50;
        image[kColorgroup] = 1;
    }
    void SetRow(int row, std::uint16_t x, std::uint16_t y, std::uint16_t cto, std::uint16_t in,
                std::uint16_t ito, std::uint16_t group) {
        image[RowWord(row, kRowX)] = x;
        image[RowWord(row, kRowY)] = y;
        image[RowWord(row, kRowCto)] = cto;
        image[RowWord(row, kRowInt)] = in;
        image[RowWord(row, kRowIto)] = ito;
        image[RowWord(row, kRowGroup)] = group;
    }
    Evaluation At(std::uint16_t x, std::uint16_t y, std::uint16_t in) {
        return EvaluatePoint(image, PlanePoint{x, y, in});
    }
    ParameterImage image;
};

TEST_F(EvaluationTest, PointInsideACircleAndItsBandGivesThatRowAndGroup) {
    EXPECT_EQ(At(3010, 520, 2050).colour, 1);
    EXPECT_EQ(At(3010, 520, 2050).group, 3);
    EXPECT_EQ(At(940, 1000, 500).colour, 0);
    EXPECT_EQ(At(940, 1000, 500).group, 7);
}

TEST_F(EvaluationTest, CircleEdgeCountsAsInsideOneUnitFurtherDoesNot) {
    EXPECT_EQ(At(3000 + 24, 500 + 32, 2000).colour, 1);  // distance exactly 40
    EXPECT_EQ(At(3000 + 24, 500 + 33, 2000).colour, kNoColour);
    EXPECT_EQ(At(3040, 500, 2000).colour, 1);
    EXPECT_EQ(At(3041, 500, 2000).colour, kNoColour);
}

TEST_F(EvaluationTest, IntensityBandIsClosedOnBothEnds) {
    EXPECT_EQ(At(3000, 500, 1900).colour, 1);
    EXPECT_EQ(At(3000, 500, 2100).colour, 1);
    EXPECT_EQ(At(3000, 500, 1899).colour, kNoColour);
    EXPECT_EQ(At(3000, 500, 2101).colour, kNoColour);
}

TEST_F(EvaluationTest, SamePlaceIsToldApartByIntensity) {
    EXPECT_EQ(At(1000, 990, 900).colour, 2);
    EXPECT_EQ(At(1000, 990, 900).group, 9);
    EXPECT_EQ(At(1000, 990, 700).colour, kNoColour);
}

TEST_F(EvaluationTest, OverlappingCirclesGoToTheNearestCentre) {
    EXPECT_EQ(At(1060, 1000, 500).colour, 0);
    EXPECT_EQ(At(1090, 1000, 500).colour, 3);
    EXPECT_EQ(At(1075, 1000, 500).colour, 0) << "a tie goes to the lower row";
}

TEST_F(EvaluationTest, OnlyRowsBelowMaxcolnoAreEvaluated) {
    EXPECT_EQ(At(2000, 2000, 1000).colour, kNoColour);
    image[kMaxcolno] = 5;
    EXPECT_EQ(At(2000, 2000, 1000).colour, 4);
    image[kMaxcolno] = 0;
    EXPECT_EQ(At(1000, 1000, 500).colour, kNoColour);
    image[kMaxcolno] = 40;  // more than the table holds: all 15 rows
    EXPECT_EQ(At(2000, 2000, 1000).colour, 4);
}

TEST_F(EvaluationTest, BelowTheIntensityLimitIsTheErrorState) {
    SetRow(0, 1000, 1000, 100, 40, 50, 7);
    EXPECT_EQ(At(1000, 1000, 49).colour, kNoColour);
    EXPECT_EQ(At(1000, 1000, 50).colour, 0);
}

TEST_F(EvaluationTest, GroupIsReportedOnlyWithColourGroupsOn) {
    EXPECT_EQ(At(5, 5, 500).group, kNoColour) << "no colour, groups on";
    image[kColorgroup] = 0;
    EXPECT_EQ(At(3000, 500, 2000).colour, 1);
    EXPECT_EQ(At(3000, 500, 2000).group, 0);
    EXPECT_EQ(At(5, 5, 500).group, 0);
}

TEST(PlanePointTest, XyIsTheShareOfRedAndGreenAndIntIsTheMean) {
    const auto root = StandardRootTable();
    const PlanePoint p = ComputePlanePoint(2000, 1200, 800, 0, root);
    EXPECT_EQ(p.x, 2047);
    EXPECT_EQ(p.y, 1228);
    EXPECT_EQ(p.intensity, 1333);
    const PlanePoint red = ComputePlanePoint(4095, 0, 0, 0, root);
    EXPECT_EQ(red.x, 4095);
    EXPECT_EQ(red.y, 0);
    const PlanePoint dark = ComputePlanePoint(0, 0, 0, 0, root);
    EXPECT_EQ(dark.x, 0);
    EXPECT_EQ(dark.y, 0);
    EXPECT_EQ(dark.intensity, 0);
    for (std::uint16_t r : {0, 1, 700, 4095}) {
        for (std::uint16_t g : {0, 3, 2048, 4095}) {
            const PlanePoint q = ComputePlanePoint(r, g, 1, 0, root);
            EXPECT_LE(q.x + q.y, 4095) << r << " " << g;
        }
    }
}

TEST(PlanePointTest, SiIsSaturationAndHueAndMTheScaledCubeRoot) {
    const auto root = StandardRootTable();
    const PlanePoint red = ComputePlanePoint(4095, 0, 0, 1, root);
    EXPECT_EQ(red.x, 10000);
    EXPECT_EQ(red.y, 0);
    EXPECT_EQ(red.intensity, root[1365 / 16] * 3 / 40);
    const PlanePoint green = ComputePlanePoint(0, 2000, 0, 1, root);
    EXPECT_EQ(green.y, 1200);
    const PlanePoint blue = ComputePlanePoint(0, 0, 2000, 1, root);
    EXPECT_EQ(blue.y, 2400);
    const PlanePoint magenta = ComputePlanePoint(2000, 0, 1000, 1, root);
    EXPECT_EQ(magenta.y, 3300);
    const PlanePoint grey = ComputePlanePoint(1000, 1000, 1000, 1, root);
    EXPECT_EQ(grey.x, 0);
    EXPECT_EQ(grey.y, 0);
    const PlanePoint white = ComputePlanePoint(4095, 4095, 4095, 1, root);
    EXPECT_EQ(white.intensity, 15979 * 3 / 40);  // 1198: fits the M range 0..1200
}

TEST(MeasureTest, WorkingParametersDecideTheCalculationMode) {
    SensorState state = DefaultSensorState();
    const Sample sample{2000, 1200, 800, 25};
    EXPECT_EQ(Measure(state, sample).x, 2047);
    state.ram[kCalcmode] = 1;
    const Measurement m = Measure(state, sample);
    EXPECT_EQ(m.x, 6000);  // (2000 - 800) / 2000
    EXPECT_EQ(m.y, 200);   // hue 20.0°
    EXPECT_EQ(m.colour, kNoColour) << "the taught X/Y rows do not fit s/i values";
}

TEST(MeasureTest, RawSignalsAreClampedAndTemperatureRounded) {
    const SensorState state = DefaultSensorState();
    const Measurement m = Measure(state, Sample{5000, -3, 100.6, 24.6}, 0, 0, 0);
    EXPECT_EQ(m.rawR, 4095);
    EXPECT_EQ(m.rawG, 0);
    EXPECT_EQ(m.rawB, 101);
    EXPECT_EQ(m.temp, 25);
}

}  // namespace
}  // namespace tvx::sim
