// The margin report's computation on small recordings written for each case.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "frame_line.h"
#include "margin_report.h"

namespace tvx::cli {
namespace {

// 2026-12-09T10:00:00.000+01:00.
constexpr std::int64_t kStartMs = 1796806800000;

struct Frame {
    double seconds;
    double margin;
    int colour = 0;
    QString second = QStringLiteral("-1.000");
    int x = 2047;
};

class MarginReportTest : public ::testing::Test {
  protected:
    // A recording with the margin columns, or without them (then only the values).
    QString Write(const QString& name, const std::vector<Frame>& frames, bool margins = true) {
        QString text =
            margins ? CsvHeader(false) : QStringLiteral("time,R,G,B,X,Y,INT,C-No,GROUP,TEMP");
        for (const Frame& f : frames) {
            const auto ms = kStartMs + static_cast<std::int64_t>(f.seconds * 1000);
            text +=
                QStringLiteral("\r\n%1,1,2,3,%2,1228,1333,%3,0,25")
                    .arg(IsoLocalTime(QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, 3600)))
                    .arg(f.x)
                    .arg(f.colour);
            if (margins) text += QStringLiteral(",%1,0,%2").arg(MarginText(f.margin), f.second);
        }
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8() + "\r\n");
        return path;
    }
    std::vector<Recording> Read(const QStringList& paths) {
        std::vector<Recording> recordings;
        for (const QString& path : paths) {
            QString error;
            auto recording = ReadRecording(path, &error);
            EXPECT_TRUE(recording) << qPrintable(error);
            if (recording) recordings.push_back(std::move(*recording));
        }
        return recordings;
    }

    QTemporaryDir dir;
};

// Seconds since the recording's start, as the report names a time.
double At(const RecordedTime& time) {
    return static_cast<double>(time.msSinceEpoch - kStartMs) / 1000.0;
}

TEST(MarginSummary, PercentilesAreNearestRank) {
    const struct {
        std::vector<double> margins;
        std::optional<double> min, p5, median;
    } cases[] = {
        {{}, {}, {}, {}},
        {{0.3}, 0.3, 0.3, 0.3},
        {{0.4, -0.2, 0.9, 0.1}, -0.2, -0.2, 0.1},
        // 20 values: the 5th percentile is the first, the median the 10th.
        {{0.95, 0.9, 0.85, 0.8, 0.75, 0.7, 0.65, 0.6, 0.55, 0.5,
          0.45, 0.4, 0.35, 0.3, 0.25, 0.2, 0.15, 0.1, 0.05, 0.0},
         0.0,
         0.0,
         0.45},
        // 21 values: the second and the 11th.
        {{1.0,  0.95, 0.9,  0.85, 0.8,  0.75, 0.7,  0.65, 0.6,  0.55, 0.5,
          0.45, 0.4,  0.35, 0.3,  0.25, 0.2,  0.15, 0.1,  0.05, 0.0},
         0.0,
         0.05,
         0.5},
    };
    for (const auto& c : cases) {
        const MarginSummary summary = SummariseMargins(c.margins);
        EXPECT_EQ(summary.min, c.min);
        EXPECT_EQ(summary.p5, c.p5);
        EXPECT_EQ(summary.median, c.median);
    }
}

// The alarm as the recorder raises it (warn 0.2, delay 2 s, deadband 0.05), on frames a second
// apart, and how a gap breaks its delay.
TEST_F(MarginReportTest, AlarmEpisodesFollowTheDelayTheDeadbandAndTheGaps) {
    const auto steady = [](double from, double to, double margin, int colour = 0) {
        std::vector<Frame> frames;
        for (double s = from; s <= to; ++s) frames.push_back({s, margin, colour});
        return frames;
    };
    const auto join = [](std::initializer_list<std::vector<Frame>> parts) {
        std::vector<Frame> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const struct {
        const char* what;
        std::vector<Frame> frames;
        std::vector<std::pair<double, std::optional<double>>> episodes;
        int gaps;
        double alarmShare;
    } cases[] = {
        {"low for the delay, then high for as long",
         join({steady(0, 2, 0.5), steady(3, 6, 0.1), steady(7, 10, 0.5)}),
         {{5, 9}},
         0,
         0.4},
        {"a margin in the deadband keeps the alarm",
         join({steady(0, 2, 0.1), steady(3, 6, 0.22), steady(7, 9, 0.3)}),
         {{2, 9}},
         0,
         7.0 / 9.0},
        {"a gap starts the delay again; the alarm is on at the end",
         join({steady(0, 1, 0.1), steady(20, 22, 0.1)}),
         {{22, std::nullopt}},
         1,
         0},
        {"no match is low whatever the margin",
         steady(0, 4, 0.9, 255),
         {{2, std::nullopt}},
         0,
         0.5},
        {"ambiguous is low",
         {{0, 0.9, 0, "0.100"}, {1, 0.9, 0, "0.100"}, {2, 0.9, 0, "0.000"}},
         {{2, std::nullopt}},
         0,
         0},
    };
    MarginReportSettings settings;
    settings.alarm = {0.2, 2, 0.05};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const MarginReport report =
            BuildMarginReport(Read({Write(QStringLiteral("s.csv"), c.frames)}), settings);
        ASSERT_EQ(report.sensors.size(), 1u);
        const SensorReport& sensor = report.sensors.front();
        ASSERT_EQ(sensor.alarms.size(), c.episodes.size());
        for (std::size_t i = 0; i < c.episodes.size(); ++i) {
            EXPECT_EQ(At(sensor.alarms[i].start), c.episodes[i].first);
            // Frames a second apart: the low run began exactly the delay before.
            EXPECT_EQ(At(sensor.alarms[i].lowSince), c.episodes[i].first - 2);
            const auto& end = sensor.alarms[i].end;
            EXPECT_EQ(end ? std::optional(At(*end)) : std::nullopt, c.episodes[i].second);
        }
        EXPECT_EQ(sensor.gaps.size(), static_cast<std::size_t>(c.gaps));
        EXPECT_DOUBLE_EQ(sensor.alarmShare, c.alarmShare);
    }
}

// Recordings of one sensor from several folders become one, in time order, and so does the file
// the recorder went on in (NAME-2.csv); another sensor gets a section of its own, in name order; a
// recording without margins takes them from the teach table, and the teach table gives Cpu.
TEST_F(MarginReportTest, FilesOfOneSensorMergeAndTheTeachTableGivesMarginsAndCpu) {
    ParameterSet params;
    params.maxcolno = 1;
    params.ctt[0] = {2000, 1228, 100, 1333, 100};
    MarginReportSettings settings;
    settings.parameters = params;
    // 10, 20 and 30 units from the centre: margins 0.9, 0.8, 0.7; the frame without a match lies
    // 200 units out: margin -1. Cpu: mean 65, standard deviation 90.37, (100 - 65) / (3 x 90.37).
    const QStringList paths = {
        Write(QStringLiteral("other-2.csv"), {{0, 0.5}, {1, 0.5}}),
        Write(QStringLiteral("day2/line-2.csv"), {{40, 0, 0, {}, 2020}, {41, 0, 255, {}, 2200}},
              false),
        Write(QStringLiteral("day1/line.csv"), {{0, 0, 0, {}, 2010}, {1, 0, 0, {}, 2030}}, false),
    };
    const MarginReport report = BuildMarginReport(Read(paths), settings);
    ASSERT_EQ(report.sensors.size(), 2u);
    const SensorReport& line = report.sensors[0];
    EXPECT_EQ(line.name, QStringLiteral("line"));
    EXPECT_EQ(report.sensors[1].name, QStringLiteral("other-2")) << "no other.csv to go on from";
    EXPECT_EQ(line.files, QStringList({paths[1], paths[2]}));
    std::vector<double> times, margins;
    for (const RecordedFrame& frame : line.frames) {
        times.push_back(At(frame.time));
        margins.push_back(frame.margin->first.margin);
    }
    EXPECT_EQ(times, std::vector<double>({0, 1, 40, 41}));
    EXPECT_EQ(margins, std::vector<double>({0.9, 0.7, 0.8, -1.0}));
    ASSERT_EQ(line.gaps.size(), 1u) << "the days do not join";
    EXPECT_EQ(line.recordedSeconds, 2);
    ASSERT_EQ(line.rows.size(), 1u);
    EXPECT_EQ(line.rows[0].noMatch, 1);
    ASSERT_TRUE(line.rows[0].cpu);
    EXPECT_NEAR(*line.rows[0].cpu, 35.0 / (3 * std::sqrt(24500.0 / 3)), 1e-9);
    EXPECT_TRUE(report.cpuNote.isEmpty());

    settings.parameters.reset();
    EXPECT_FALSE(BuildMarginReport(Read({paths[0]}), settings).sensors[0].rows[0].cpu);
}

TEST_F(MarginReportTest, WhatCannotBeReportedIsSaidInOneLine) {
    const QString plain = Write(QStringLiteral("plain.csv"), {{0, 0}}, false);
    const QString margins = Write(QStringLiteral("a/plain.csv"), {{0, 0.5}});
    const QString si = dir.filePath(QStringLiteral("si.csv"));
    const QString siMargins = dir.filePath(QStringLiteral("si-margins.csv"));
    for (const QString& path : {si, siMargins}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(path == si ? "time,R,G,B,s,i,M,C-No,GROUP,TEMP\n"
                              : "time,R,G,B,s,i,M,C-No,GROUP,TEMP,MARGIN,MARGIN-ROW,SECOND\n");
    }
    const QString mismatch =
        " is in calculation mode 1 (s, i, M), but xy.dat is for calculation "
        "mode 0 (X, Y, INT)";
    ParameterSet xy;
    const struct {
        QStringList files;
        std::optional<ParameterSet> parameters;
        QString problem;
        QString warning = {};
    } cases[] = {
        {{margins}, {}, ""},
        {{plain}, xy, ""},
        {{margins, siMargins}, xy, "", siMargins + mismatch + ": its frames give no Cpu"},
        {{plain},
         {},
         plain + " has no margin columns (MARGIN, MARGIN-ROW, SECOND): give --parameters FILE.dat, "
                 "the teach table it was recorded with"},
        {{si}, xy, si + mismatch},
    };
    for (const auto& c : cases) {
        MarginReportSettings settings;
        settings.parameters = c.parameters;
        settings.parametersFile = QStringLiteral("xy.dat");
        QStringList warnings;
        EXPECT_EQ(ReportProblem(Read(c.files), settings, &warnings), c.problem);
        EXPECT_EQ(warnings.join('\n'), c.warning);
    }

    const struct {
        QByteArray content;
        QString error;  // after the file's name; empty: read
    } files[] = {
        {"", ":1: missing header"},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,SECOND,MARGIN-ROW,MARGIN\r\n"
         "2026-12-09T10:00:00.000+01:00,1,2,3,4,5,6,0,0,25,,0,0.500\r\n",
         ""},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,SECOND\r\n",
         ":1: missing column \"MARGIN-ROW\": MARGIN, MARGIN-ROW and SECOND come together"},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP\n\n2026-12-09 10:00:00,1,2,3,4,5,6,0,0,25\n",
         ":3: bad time stamp \"2026-12-09 10:00:00\": expected the form "
         "2026-12-09T01:02:03.456+01:00"},
    };
    for (const auto& f : files) {
        const QString path = dir.filePath(QStringLiteral("bad.csv"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(f.content);
        file.close();
        QString error;
        const bool read = ReadRecording(path, &error).has_value();
        EXPECT_EQ(read, f.error.isEmpty());
        EXPECT_EQ(error, f.error.isEmpty() ? QString() : path + f.error);
    }
}

}  // namespace
}  // namespace tvx::cli
