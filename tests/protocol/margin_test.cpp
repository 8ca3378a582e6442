// The recognition margin of a frame against the teach table in force, one case a row.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "recognition_margin.h"

namespace tvx {
namespace {

// Rows 0 and 1 overlap around (1075, 1000); row 2 has zero tolerances; row 3 lies far off; row 4
// would hold every point near row 0 if it were evaluated.
ParameterSet Table(std::uint32_t maxcolno, std::uint32_t calcmode = 0) {
    ParameterSet p;
    p.maxcolno = maxcolno;
    p.calcmode = calcmode;
    p.ctt[0] = {1000, 1000, 100, 1000, 100};
    p.ctt[1] = {1150, 1000, 100, 1000, 100};
    p.ctt[2] = {3000, 500, 0, 2000, 0};
    p.ctt[3] = {2000, 2000, 200, 500, 50};
    p.ctt[4] = {1000, 1000, 4000, 1000, 4000};
    if (calcmode == 1) p.ctt[0] = {5000, 1200, 300, 800, 50};  // s, i, siTO, M, MTO
    return p;
}

// "ROW MARGIN / ROW MARGIN", the first row starred when it is the nearest for C-No 255, then
// " ambiguous" when the point lies in two rows; "none" without a margin.
std::string Describe(const std::optional<RecognitionMargin>& m) {
    if (!m) return "none";
    char text[96];
    std::snprintf(text, sizeof text, "%s%d %.3f", m->reported ? "" : "*", m->first.row,
                  m->first.margin);
    std::string out = text;
    if (m->second) {
        std::snprintf(text, sizeof text, " / %d %.3f", m->second->row, m->second->margin);
        out += text;
    }
    return out + (m->Ambiguous() ? " ambiguous" : "");
}

TEST(RecognitionMargin, OfAFrameAgainstTheTeachTable) {
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* what;
        std::uint32_t maxcolno, calcmode;
        double x, y, intensity;
        std::int32_t colour;
        const char* margin;
    };
    const Row rows[] = {
        {"centre", 4, 0, 1000, 1000, 1000, 0, "0 1.000 / 1 -0.500"},
        {"edge of the circle", 4, 0, 900, 1000, 1000, 0, "0 0.000 / 1 -1.000"},
        {"halfway out", 4, 0, 1000, 1050, 1000, 0, "0 0.500 / 1 -0.581"},
        {"intensity-limited", 4, 0, 1000, 1000, 1060, 0, "0 0.400 / 1 -0.500"},
        {"edge of the band", 4, 0, 1000, 1000, 900, 0, "0 0.000 / 1 -0.500"},
        {"in two rows", 4, 0, 1075, 1000, 1000, 1, "1 0.250 / 0 0.250 ambiguous"},
        {"no match: the nearest row", 4, 0, 1000, 1120, 1000, 255, "*0 -0.200 / 1 -0.921"},
        {"no match, far off: all -1", 4, 0, 4000, 0, 4000, 255, "*0 -1.000 / 1 -1.000"},
        {"zero tolerance, centre", 4, 0, 3000, 500, 2000, 2, "2 0.000 / 0 -1.000"},
        {"zero radius, one off", 4, 0, 3001, 500, 2000, 2, "2 -1.000 / 0 -1.000"},
        {"zero band, one off", 4, 0, 3000, 500, 2001, 2, "2 -1.000 / 0 -1.000"},
        {"s/i mode", 4, 1, 5000, 1350, 820, 0, "0 0.500 / 1 -1.000"},
        {"s/i mode, no match", 4, 1, 5000, 1500, 860, 255, "*0 -0.200 / 1 -1.000"},
        {"no active row", 0, 0, 1000, 1000, 1000, 255, "none"},
        {"no active row, a row reported", 0, 0, 1000, 1000, 1000, 0, "0 1.000"},
        {"MAXCOL-No. 1: row 1 not evaluated", 1, 0, 1075, 1000, 1000, 0, "0 0.250"},
        {"row reported beyond MAXCOL-No.", 1, 0, 1075, 1000, 1000, 1,
         "1 0.250 / 0 0.250 ambiguous"},
        {"MAXCOL-No. 5: row 4 holds it", 5, 0, 1000, 1120, 1000, 4, "4 0.970 / 0 -0.200"},
        {"MAXCOL-No. above 15", 99, 0, 1000, 1120, 1000, 4, "4 0.970 / 0 -0.200"},
        {"C-No naming no row", 4, 0, 1000, 1120, 1000, 200, "*0 -0.200 / 1 -0.921"},
        {"point not a number", 4, 0, nan, 1000, 1000, 0, "0 -1.000 / 1 -1.000"},
    };
    for (const Row& row : rows) {
        const MarginTable table(Table(row.maxcolno, row.calcmode));
        EXPECT_EQ(Describe(table.Evaluate(row.x, row.y, row.intensity, row.colour)), row.margin)
            << row.what;
    }
}

TEST(RecognitionMargin, OfARowAlone) {
    const std::array<std::uint16_t, kTeachColumns> row = {100, 100, 50, 1000, 20};
    const std::array<std::uint16_t, kTeachColumns> zero = {100, 100, 0, 1000, 0};
    EXPECT_DOUBLE_EQ(TeachRowMargin(row, 130, 140, 1000), 0.0);  // d = 50
    // On the edge exactly 0, also where 1 / 7^2 is not exact.
    EXPECT_EQ(TeachRowMargin({0, 0, 7, 100, 7}, 0, 7, 100), 0.0);
    EXPECT_EQ(TeachRowMargin({0, 0, 7, 100, 7}, 0, 0, 93), 0.0);
    EXPECT_DOUBLE_EQ(TeachRowMargin(row, 100, 100, 1005), 0.75);
    EXPECT_DOUBLE_EQ(TeachRowMargin(zero, 100, 100, 1000), 0.0);
    EXPECT_DOUBLE_EQ(TeachRowMargin(zero, 100, 100.5, 1000), -1.0);
    EXPECT_DOUBLE_EQ(TeachRowMargin(row, 1e300, 1e300, 1000), -1.0);
}

TEST(RecognitionMargin, CapabilityOfTheDistance) {
    struct Row {
        const char* what;
        std::vector<double> distances;
        double radius;
        const char* cpu;
    };
    const Row rows[] = {
        {"none", {}, 100, "none"},
        {"one", {10}, 100, "none"},
        {"no spread", {10, 10, 10}, 100, "none"},
        {"mean 20, s 10", {10, 20, 30}, 50, "1.000"},
        {"mean beyond the radius", {10, 20, 30}, 5, "-0.500"},
        {"not a number ignored",
         {10, std::numeric_limits<double>::quiet_NaN(), 20, 30},
         50,
         "1.000"},
        {"far from zero: no cancellation", {1e9 + 10, 1e9 + 20, 1e9 + 30}, 1e9 + 50, "1.000"},
    };
    for (const Row& row : rows) {
        DistanceCapability capability;
        for (const double d : row.distances) capability.Add(d);
        const auto cpu = capability.Cpu(row.radius);
        char text[32] = "none";
        if (cpu) std::snprintf(text, sizeof text, "%.3f", *cpu);
        EXPECT_STREQ(text, row.cpu) << row.what;
    }
}

TEST(RecognitionMargin, CrowdedRowsLeaveLessThanTheWarnLevel) {
    // Row 0 at (1000, 1000), INT 1000 / ITO 50; row 1 beside it. "r:n": row r crowded by n.
    struct Row {
        const char* what;
        std::uint32_t maxcolno;
        std::uint16_t cto0, x1, y1, cto1, int1;
        double warn;
        const char* crowded;
    };
    const Row rows[] = {
        {"touching, as AUTO ADJUST leaves them", 2, 50, 1060, 1080, 50, 1000, 0.2, "0:1 1:0"},
        {"gap of exactly 20 % of the radius", 2, 50, 1110, 1000, 50, 1000, 0.2, ""},
        {"gap of 18 %", 2, 50, 1109, 1000, 50, 1000, 0.2, "0:1 1:0"},
        {"gap 15: the larger circle is crowded", 2, 50, 1165, 1000, 100, 1000, 0.2, "1:0"},
        {"centre inside the other circle", 2, 20, 1050, 1000, 200, 1000, 0.2, "0:1 1:0"},
        {"separate intensity bands", 2, 50, 1060, 1080, 50, 1200, 0.2, ""},
        {"bands that touch overlap", 2, 50, 1060, 1080, 50, 1100, 0.2, "0:1 1:0"},
        {"neighbour not active", 1, 50, 1060, 1080, 50, 1000, 0.2, ""},
        {"warn level 0: touching is enough", 2, 50, 1060, 1080, 50, 1000, 0.0, ""},
    };
    for (const Row& row : rows) {
        ParameterSet p;
        p.maxcolno = row.maxcolno;
        p.ctt[0] = {1000, 1000, row.cto0, 1000, 50};
        p.ctt[1] = {row.x1, row.y1, row.cto1, row.int1, 50};
        std::string crowded;
        for (const CrowdedRow& c : CrowdedRows(p, row.warn))
            crowded += (crowded.empty() ? "" : " ") + std::to_string(c.row) + ":" +
                       std::to_string(c.neighbour);
        EXPECT_EQ(crowded, row.crowded) << row.what;
    }
}

}  // namespace
}  // namespace tvx
