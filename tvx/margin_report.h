#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "margin_alarm.h"
#include "parameter_set.h"
#include "recognition_margin.h"

namespace tvx::cli {

// tvx report: how safely each sensor recognised its colours over a shift, from the CSV files
// `tvx record --csv` and `tvx watch` write. The margins are those recorded (against the teach
// table the sensor had), or, for files written before the margin was recorded, computed from the
// teach table of a parameter file. The alarm episodes are MarginAlarm's, as the recorder raises
// them.

// A moment as the recording gives it: the instant, and the offset of the local time it was
// written in, so that the report names times as the recording does.
struct RecordedTime {
    std::int64_t msSinceEpoch = 0;
    int offsetSeconds = 0;
};
// ISO 8601 local time with offset, as in the recording.
QString RecordedTimeText(const RecordedTime& time);

struct RecordedFrame {
    RecordedTime time;
    std::uint16_t x = 0, y = 0, intensity = 0;  // X, Y, INT (s, i, M in calculation mode 1)
    std::int32_t colour = 255;                  // C-No
    bool siMode = false;                        // s, i, M
    std::optional<RecognitionMargin> margin;    // none without an active row
};

// One CSV file, frames in file order.
struct Recording {
    QString path;
    QString sensor;  // the file's name without ".csv"; see BuildMarginReport for NAME-2.csv
    bool siMode = false;
    bool hasMargins = false;  // the file has the columns MARGIN, MARGIN-ROW and SECOND
    std::vector<RecordedFrame> frames;
};

// Reads one recording; nothing, with "FILE:LINE: reason" in *error, when it cannot be read.
std::optional<Recording> ReadRecording(const QString& path, QString* error);

struct MarginReportSettings {
    MarginAlarmSettings alarm;
    // The teach table of --parameters: margins for files without them, and Cpu.
    std::optional<ParameterSet> parameters;
    QString parametersFile;
};

// Why the recordings cannot be reported with these settings, in one line; empty when they can:
// a file without margins and no parameter file, or one of the other calculation mode than the
// parameter file. A file with margins in the other mode can be reported, but gives no Cpu: one
// line each in *warnings.
QString ReportProblem(const std::vector<Recording>& recordings,
                      const MarginReportSettings& settings, QStringList* warnings = nullptr);

// Minimum, 5th percentile and median (nearest rank) of a set of margins; none when it is empty.
struct MarginSummary {
    std::optional<double> min, p5, median;
};
MarginSummary SummariseMargins(std::vector<double> margins);

// The margin histogram's bins: -1 ... 1 in steps of 0.1, the last one closed.
inline constexpr int kMarginBins = 20;
int MarginBin(double margin);

struct AlarmEpisode {
    RecordedTime start;               // the frame that raised the alarm
    RecordedTime lowSince;            // when the frames began to be low, as the recorder says it
    std::optional<RecordedTime> end;  // the frame that cleared it; none: on to the end
    RowMargin raisedAt;               // that frame's row and margin
};

// Frames stopped for longer than max(5 s, 10 x the median spacing): a pause, a sensor offline,
// or recordings of one sensor that do not join. The alarm's runs start again after it, and its
// time is not recorded time.
struct RecordingGap {
    RecordedTime from, to;  // the last frame before, the first after
};

struct RowReport {
    int row = 0;  // MARGIN-ROW: the reported row, for C-No 255 the nearest
    long long frames = 0, noMatch = 0, ambiguous = 0;
    MarginSummary margin;
    double alarmShare = 0;  // of the time recorded while the frames were in this row
    std::optional<double> cpu;
    std::array<long long, kMarginBins> histogram{};
};

struct SensorReport {
    QString name;
    QStringList files;
    std::vector<RecordedFrame> frames;  // every file's, in time order
    double recordedSeconds = 0;         // without the gaps
    MarginSummary margin;
    long long noMatch = 0, ambiguous = 0;
    double alarmShare = 0;
    std::vector<AlarmEpisode> alarms;
    std::vector<RecordingGap> gaps;
    std::vector<RowReport> rows;  // the rows the frames name, in order
};

struct MarginReport {
    MarginReportSettings settings;
    std::vector<SensorReport> sensors;  // in name order
    // Why there is no Cpu, when there is none; empty with a parameter file.
    QString cpuNote;
};

// The report of recordings that ReportProblem accepts. Files of one sensor are merged: those of
// one name, and NAME-2.csv, NAME-3.csv ... with NAME.csv, where the recorder went on when the
// columns changed (a file NAME-2.csv alone is the sensor NAME-2).
MarginReport BuildMarginReport(std::vector<Recording> recordings,
                               const MarginReportSettings& settings);

// The report as a readable table per sensor, as one JSON document, and as one self-contained HTML
// page (inline SVG, nothing fetched, no script).
QString MarginReportText(const MarginReport& report);
QByteArray MarginReportJson(const MarginReport& report);
QString MarginReportPage(const MarginReport& report);

}  // namespace tvx::cli
