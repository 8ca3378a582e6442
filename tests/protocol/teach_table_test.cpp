// The teach table's computations: the taught row, AUTO ADJUST, the circles and the zoom window.
#include <gtest/gtest.h>

#include "teach_table.h"

namespace tvx {
namespace {

using Row = std::array<std::uint16_t, kTeachColumns>;

TeachTable TableOf(std::initializer_list<Row> rows) {
    TeachTable table{};
    for (auto& row : table) row = {1, 1, 1, 1, 1};  // as after RESET TABLE
    int r = 0;
    for (const Row& row : rows) table[static_cast<std::size_t>(r++)] = row;
    return table;
}

int Radius(const TeachTable& table, int row) {
    return table[static_cast<std::size_t>(row)][kColumnCto];
}

TEST(TaughtRowTest, ToleranceDefaultsFollowEvaluationModeAndPmode) {
    EXPECT_EQ(TaughtRow(1234, 2345, 3456, 0, 0), (Row{1234, 2345, 100, 3456, 100}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 2, 0), (Row{1, 2, 40, 3, 100}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 1, 1), (Row{1, 2, 100, 3, 20}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 3, 1), (Row{1, 2, 100, 3, 20}));
}

TEST(AutoAdjustTest, BandsDecideWhetherCirclesAtOnePlaceMayGrow) {
    // Same place, bands 480-520 and 510-550 overlap: both stay at 1.
    TeachTable table = TableOf({{1000, 1000, 77, 500, 20}, {1000, 1000, 77, 530, 20}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 1);
    EXPECT_EQ(Radius(table, 1), 1);
    // Bands that only touch (520 and 520) overlap too.
    table = TableOf({{1000, 1000, 1, 500, 20}, {1000, 1000, 1, 540, 20}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 1);
    EXPECT_EQ(Radius(table, 1), 1);
    // Separate bands (480-520, 580-620): the circles may overlap, both reach 200.
    table = TableOf({{1000, 1000, 1, 500, 20}, {1000, 1000, 1, 600, 20}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 200);
    EXPECT_EQ(Radius(table, 1), 200);
    // A band reaching below zero still counts with its negative bound.
    table = TableOf({{1000, 1000, 1, 10, 50}, {1000, 1000, 1, 30, 5}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 1);
}

TEST(AutoAdjustTest, NeighboursGrowInTurnsUntilTheyTouch) {
    TeachTable table = TableOf({{1000, 1000, 1, 500, 20}, {1100, 1000, 1, 510, 20}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 50);
    EXPECT_EQ(Radius(table, 1), 50);
    // 101 apart: row 0 grows first in the pass and takes the odd unit.
    table = TableOf({{1000, 1000, 1, 500, 20}, {1101, 1000, 1, 510, 20}});
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0), 51);
    EXPECT_EQ(Radius(table, 1), 50);
    // The distance is the integer part: 3-4-5 scaled, and sqrt(2) * 100 = 141.42 -> 141.
    table = TableOf({{1000, 1000, 1, 500, 20}, {1100, 1100, 1, 510, 20}});
    EXPECT_EQ(RowDistance(table, 0, 1), 141);
    EXPECT_EQ(RowDistance(TableOf({{1000, 1000, 1, 0, 0}, {1000, 1300, 1, 0, 0}}), 0, 1), 300);
    AutoAdjustRadii(table, 2);
    EXPECT_EQ(Radius(table, 0) + Radius(table, 1), 141);
    EXPECT_EQ(Radius(table, 0), 71);
}

TEST(AutoAdjustTest, OnlyActiveRowsTakePart) {
    TeachTable table =
        TableOf({{1000, 1000, 1, 500, 20}, {1000, 1000, 1, 500, 20}, {1000, 1000, 33, 500, 20}});
    AutoAdjustRadii(table, 1);
    EXPECT_EQ(Radius(table, 0), 200) << "one active row is never blocked";
    EXPECT_EQ(Radius(table, 1), 1) << "inactive rows keep their radius";
    EXPECT_EQ(Radius(table, 2), 33);

    table = TableOf({{1000, 1000, 9, 500, 20}});
    AutoAdjustRadii(table, 0);
    EXPECT_EQ(Radius(table, 0), 9);

    // All 15 rows far apart with overlapping bands: every one reaches 200.
    table = TableOf({});
    for (int r = 0; r < kTeachRows; ++r)
        table[static_cast<std::size_t>(r)] = {static_cast<std::uint16_t>(500 * r + 200), 3000, 1,
                                              800, 50};
    AutoAdjustRadii(table, 99);
    for (int r = 0; r < kTeachRows; ++r) EXPECT_EQ(Radius(table, r), 200) << r;
}

TEST(CircleTest, BoundsAndTheThreeOutlines) {
    const TeachTable table = TableOf({{1000, 2000, 50, 0, 0}, {20, 30, 100, 0, 0}});
    const CircleBounds c = CircleOfRow(table, 0);
    EXPECT_DOUBLE_EQ(c.x1, 950);
    EXPECT_DOUBLE_EQ(c.y1, 1950);
    EXPECT_DOUBLE_EQ(c.x2, 1050);
    EXPECT_DOUBLE_EQ(c.y2, 2050);
    const CircleBounds near = CircleOfRow(table, 1);
    EXPECT_DOUBLE_EQ(near.x1, -80) << "corners are signed";
    const auto outlines = CircleOutlines(c);
    EXPECT_DOUBLE_EQ(outlines[1].x1, 950.025);
    EXPECT_DOUBLE_EQ(outlines[1].y2, 2050.025);
    EXPECT_DOUBLE_EQ(outlines[2].x1, 950.05);
    EXPECT_DOUBLE_EQ(outlines[2].y1, 1950.05);
    EXPECT_DOUBLE_EQ(outlines[2].x2, 1050.005);
    EXPECT_DOUBLE_EQ(outlines[2].y2, 2050.005);
}

TEST(ZoomWindowTest, BoxOfTheTaughtCircles) {
    TeachTable table =
        TableOf({{1000, 1000, 50, 0, 0}, {1200, 1100, 50, 0, 0}, {10, 10, 100, 0, 0}});
    const ZoomBox box = ZoomBoxOfTable(table);
    EXPECT_EQ(box.minX, 950);
    EXPECT_EQ(box.maxX, 1250);
    EXPECT_EQ(box.minY, 950);
    EXPECT_EQ(box.maxY, 1150) << "the row at (10, 10) is drawn but does not count";

    const ZoomBox empty = ZoomBoxOfTable(TableOf({}));
    EXPECT_EQ(empty.minX, 0);
    EXPECT_EQ(empty.maxX, 10000);
    EXPECT_EQ(empty.minY, 0);
    EXPECT_EQ(empty.maxY, 10000);
    const ZoomWindow w = ZoomWindowFor(empty, 500, 500);
    EXPECT_EQ(w.xMin, -25);
    EXPECT_EQ(w.xMax, 10025);
    EXPECT_EQ(w.yMin, -25);
    EXPECT_EQ(w.yMax, 10025);
}

TEST(ZoomWindowTest, WindowFollowsTheMeasurement) {
    const ZoomBox box{950, 1250, 950, 1150};
    ZoomWindow w = ZoomWindowFor(box, 1100, 1050);
    EXPECT_EQ(w.xMin, 925);
    EXPECT_EQ(w.xMax, 1275);
    EXPECT_EQ(w.yMin, 875);
    EXPECT_EQ(w.yMax, 1225);
    // Beyond the box on the right: span 1050, centre 1475, half 525.
    w = ZoomWindowFor(box, 2000, 1050);
    EXPECT_EQ(w.xMin, 925);
    EXPECT_EQ(w.xMax, 2025);
    // Below the box: the measured value is the low end.
    w = ZoomWindowFor(box, 1100, 100);
    EXPECT_EQ(w.yMin, 100 + 525 - 525 - 25);
    EXPECT_EQ(w.yMax, 100 + 525 + 525 + 25);
    // An odd span rounds down: span 301 gives half 150.
    w = ZoomWindowFor(ZoomBox{1000, 1301, 1000, 1100}, 1100, 1050);
    EXPECT_EQ(w.xMin, 1150 - 150 - 25);
    EXPECT_EQ(w.xMax, 1150 + 150 + 25);
}

}  // namespace
}  // namespace tvx
