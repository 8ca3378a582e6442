// The recognition margin of a frame against the teach table in force, one case a row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "frame_line.h"
#include "margin_alarm.h"
#include "margin_trend.h"
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

// The margin as a recorded line carries it, and read back from the CSV.
TEST(RecognitionMargin, InTheRecordedLines) {
    struct Row {
        std::optional<RecognitionMargin> margin;
        const char* csvTail;
        const char* jsonTail;
    };
    const RecognitionMargin both{{3, 0.1416}, true, RowMargin{5, -0.0004}};
    const RecognitionMargin alone{{0, -1.0}, false, std::nullopt};
    const Row rows[] = {
        {std::nullopt, ",,,", R"("margin":null,"margin_row":null,"second_margin":null})"},
        {both, ",0.142,3,0.000", R"("margin":0.142,"margin_row":3,"second_margin":0.000})"},
        {alone, ",-1.000,0,", R"("margin":-1.000,"margin_row":0,"second_margin":null})"},
    };
    QString reason;
    const QStringList header = CsvHeader(false).split(',');
    const auto layout = ReadCsvHeader(header, &reason);
    ASSERT_TRUE(layout && layout->marginField) << reason.toStdString();
    EXPECT_EQ(header.mid(10).join(','), "MARGIN,MARGIN-ROW,SECOND");
    for (const Row& row : rows) {
        StampedFrame frame;
        frame.time = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
        frame.margin = row.margin;
        const QString csv = CsvLine(frame), json = JsonLine(frame);
        EXPECT_TRUE(csv.endsWith(row.csvTail)) << csv.toStdString();
        EXPECT_TRUE(json.endsWith(row.jsonTail)) << json.toStdString();
        const auto record = ReadCsvRecord(*layout, csv.split(','), &reason);
        ASSERT_TRUE(record) << reason.toStdString();
        EXPECT_EQ(record->margin.has_value(), row.margin.has_value());
        if (row.margin) {
            EXPECT_EQ(record->margin->row, row.margin->first.row);
            EXPECT_NEAR(record->margin->margin, row.margin->first.margin, 0.0005);
            EXPECT_EQ(record->secondMargin.has_value(), row.margin->second.has_value());
        }
    }
}

// Frames one second apart through an alarm with warn 0.2, delay 3 s, deadband 0.05. Each frame:
// its margin, 'n' no match, 'a' ambiguous, '-' no margin at all, '|' a gap (Interrupt); what the
// alarm says after the whole sequence: the changes as "+SINCE" (raised) and "-SINCE" (cleared).
TEST(RecognitionMargin, AlarmWithOnDelayAndDeadband) {
    struct Row {
        const char* what;
        std::vector<const char*> frames;
        const char* changes;
    };
    const Row rows[] = {
        {"steady", {"0.5", "0.5", "0.5", "0.5", "0.5"}, ""},
        {"low for the delay", {"0.5", "0.1", "0.1", "0.1", "0.1"}, "+1"},
        {"low, but not for the delay", {"0.1", "0.1", "0.1", "0.5", "0.1", "0.1"}, ""},
        {"on the warn level is not low", {"0.2", "0.2", "0.2", "0.2", "0.2"}, ""},
        {"no match and ambiguous count as low", {"n", "a", "n", "0.9a", "0.5"}, "+0"},
        {"holds inside the deadband",
         {"0.1", "0.1", "0.1", "0.1", "0.24", "0.24", "0.24", "0.24", "0.24"},
         "+0"},
        {"clears above warn + deadband",
         {"0.1", "0.1", "0.1", "0.1", "0.26", "0.26", "0.26", "0.26"},
         "+0 -4"},
        {"a deadband frame breaks the clearing",
         {"0.1", "0.1", "0.1", "0.1", "0.26", "0.26", "0.22", "0.26", "0.26", "0.26"},
         "+0"},
        {"no margin is no evidence", {"0.1", "0.1", "-", "0.1", "0.1", "0.1"}, ""},
        {"a gap starts the run again", {"0.1", "0.1", "|", "0.1", "0.1", "0.1"}, ""},
        {"a gap keeps the state", {"n", "n", "n", "n", "|", "0.5", "0.5", "0.5"}, "+0"},
    };
    for (const Row& row : rows) {
        MarginAlarm alarm({0.2, 3, 0.05});
        std::string changes;
        double t = 0;
        for (const std::string frame : row.frames) {
            if (frame == "|") {
                alarm.Interrupt();
                continue;
            }
            std::optional<RecognitionMargin> margin;
            if (frame != "-") {
                margin = RecognitionMargin{{2, frame == "n" ? -0.5 : std::atof(frame.c_str())},
                                           frame != "n"};
                if (frame.back() == 'a') margin->second = RowMargin{4, 0.1};
            }
            if (const auto change = alarm.Take(t, margin)) {
                changes += (changes.empty() ? "" : " ") + std::string(change->alarm ? "+" : "-") +
                           std::to_string(static_cast<int>(change->since));
                EXPECT_EQ(change->at.row, 2) << row.what;
            }
            ++t;
        }
        EXPECT_EQ(changes, row.changes) << row.what;
    }
}

TEST(RecognitionMargin, AlarmSettingsOutOfRangeAreNamed) {
    const std::pair<MarginAlarmSettings, const char*> rows[] = {
        {{0.2, 10, 0.05}, ""},
        {{1.5, 10, 0.05}, "--margin-warn 1.5: a margin lies within -1 ... 1"},
        {{0.2, -1, 0.05}, "--margin-delay -1: seconds, 0 or more"},
        {{0.2, 10, -0.1}, "--margin-deadband -0.1: a margin difference, 0 ... 2"},
        {{1.0, 10, 0.05}, "--margin-warn 1 with --margin-deadband 0.05: the alarm could never"},
        {{0.9, 10, 0.0}, ""},
        {{std::numeric_limits<double>::quiet_NaN(), 10, 0.05}, "--margin-warn nan: a margin"},
    };
    for (const auto& [settings, problem] : rows)
        EXPECT_EQ(settings.Problem()
                      .left(*problem ? static_cast<qsizetype>(std::strlen(problem)) : -1)
                      .toStdString(),
                  problem);
}

// A frame a second for 80 minutes through the drift chart: a margin of 0.5 with a little noise
// (+-0.02), then what happens after `from` minutes, at `perHour`.
TEST(RecognitionMargin, DriftSaidInTime) {
    struct Row {
        const char* what;
        double from, perHour, step;  // a drift from minute `from`; a step there
        double minutes;
        const char* says;
    };
    const Row rows[] = {
        {"no margin yet", 0, 0, 0, 0.5, "no margin yet"},
        {"learning", 99, 0, 0, 4, "margin 0.50, its usual level is learnt in the first 10 minutes"},
        {"steady for hours", 99, 0, 0, 80, "margin 0.50, steady"},
        {"falling", 20, -0.2, 0, 80, "margin 0.34, falling 0.2 per hour: the edge in about 2 h"},
        {"fell, then stays", 20, 0, -0.1, 80, "margin 0.40, below its usual 0.50, not falling now"},
        {"cleaned: rising", 20, 0.3, 0, 40, "margin 0.55, rising 0.23 per hour"},
        {"past the edge", 12, -1.0, 0, 60, "margin -0.13, falling 0.99 per hour: past the edge"},
    };
    for (const Row& row : rows) {
        MarginTrend trend;
        unsigned noise = 12345;
        for (int s = 0; s < row.minutes * 60; ++s) {
            noise = noise * 1103515245u + 12345u;
            const double minute = s / 60.0,
                         jitter = (static_cast<int>((noise >> 16) % 41) - 20) / 1000.0;
            double margin = 0.5 + jitter;
            if (minute >= row.from) margin += row.step + row.perHour * (minute - row.from) / 60;
            trend.Take(s, RecognitionMargin{{0, std::clamp(margin, -1.0, 1.0)}, true});
        }
        EXPECT_EQ(trend.Now().Text().toStdString(), row.says) << row.what;
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
