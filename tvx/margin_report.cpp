#include "margin_report.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "frame_line.h"

namespace tvx::cli {

namespace {

// Positions of the values ReadCsvRecord gives, in FrameLineValueNames order.
constexpr std::size_t kX = 3, kY = 4, kIntensity = 5, kColour = 6;

// The offset of a time stamp ReadCsvRecord accepted: its last six characters, "+01:00".
int OffsetSeconds(const QString& stamp) {
    const QStringView offset = QStringView(stamp).right(6);
    const int seconds = offset.mid(1, 2).toInt() * 3600 + offset.mid(4, 2).toInt() * 60;
    return offset.front() == QLatin1Char('-') ? -seconds : seconds;
}

// The margins as the file's columns give them. The second row is not recorded, only its margin.
std::optional<RecognitionMargin> RecordedMargin(const CsvRecord& record, std::int32_t colour) {
    if (!record.margin) return std::nullopt;
    RecognitionMargin margin;
    margin.first = *record.margin;
    margin.reported = colour >= 0 && colour < kTeachRows;
    if (record.secondMargin) margin.second = RowMargin{-1, *record.secondMargin};
    return margin;
}

double Seconds(std::int64_t fromMs, std::int64_t toMs) {
    return static_cast<double>(toMs - fromMs) / 1000.0;
}

// The sensor's frames, every file's, in time order, and the files' names.
SensorReport MergeFiles(std::vector<Recording>& files) {
    SensorReport sensor;
    sensor.name = files.front().sensor;
    for (Recording& file : files) {
        sensor.files << file.path;
        sensor.frames.insert(sensor.frames.end(), std::make_move_iterator(file.frames.begin()),
                             std::make_move_iterator(file.frames.end()));
        file.frames.clear();
    }
    std::stable_sort(sensor.frames.begin(), sensor.frames.end(),
                     [](const RecordedFrame& a, const RecordedFrame& b) {
                         return a.time.msSinceEpoch < b.time.msSinceEpoch;
                     });
    return sensor;
}

// Frames farther apart than this are a gap: max(5 s, 10 x the median spacing).
std::int64_t GapThresholdMs(const std::vector<RecordedFrame>& frames) {
    constexpr std::int64_t kShortestGapMs = 5000;
    if (frames.size() < 2) return kShortestGapMs;
    std::vector<std::int64_t> spacing;
    spacing.reserve(frames.size() - 1);
    for (std::size_t i = 1; i < frames.size(); ++i)
        spacing.push_back(frames[i].time.msSinceEpoch - frames[i - 1].time.msSinceEpoch);
    const std::size_t middle = (spacing.size() + 1) / 2 - 1;
    std::nth_element(spacing.begin(), spacing.begin() + static_cast<std::ptrdiff_t>(middle),
                     spacing.end());
    return std::max(kShortestGapMs, 10 * spacing[middle]);
}

struct RowTally {
    RowReport report;
    std::vector<double> margins;
    double recordedSeconds = 0, alarmSeconds = 0;
    DistanceCapability capability;
};

double Share(double part, double whole) {
    return whole > 0 ? part / whole : 0.0;
}

void Evaluate(SensorReport& sensor, const MarginReportSettings& settings) {
    MarginAlarm alarm(settings.alarm);
    std::map<int, RowTally> rows;
    std::vector<double> margins;
    margins.reserve(sensor.frames.size());
    const std::int64_t gapMs = GapThresholdMs(sensor.frames);
    const std::int64_t originMs =
        sensor.frames.empty() ? 0 : sensor.frames.front().time.msSinceEpoch;
    double alarmSeconds = 0;
    for (std::size_t i = 0; i < sensor.frames.size(); ++i) {
        const RecordedFrame& frame = sensor.frames[i];
        if (i > 0) {
            // The time since the previous frame belongs to that frame's state and row.
            const RecordedFrame& previous = sensor.frames[i - 1];
            if (frame.time.msSinceEpoch - previous.time.msSinceEpoch > gapMs) {
                sensor.gaps.push_back({previous.time, frame.time});
                alarm.Interrupt();
            } else {
                const double dt = Seconds(previous.time.msSinceEpoch, frame.time.msSinceEpoch);
                sensor.recordedSeconds += dt;
                if (alarm.InAlarm()) alarmSeconds += dt;
                if (previous.margin) {
                    RowTally& row = rows[previous.margin->first.row];
                    row.recordedSeconds += dt;
                    if (alarm.InAlarm()) row.alarmSeconds += dt;
                }
            }
        }
        const bool noMatch = frame.colour < 0 || frame.colour >= kTeachRows;
        sensor.noMatch += noMatch ? 1 : 0;
        if (const auto change =
                alarm.Take(Seconds(originMs, frame.time.msSinceEpoch), frame.margin)) {
            if (change->alarm) {
                const RecordedTime since{
                    originMs + static_cast<std::int64_t>(std::llround(change->since * 1000.0)),
                    frame.time.offsetSeconds};
                sensor.alarms.push_back({frame.time, since, std::nullopt, change->at});
            } else
                sensor.alarms.back().end = frame.time;
        }
        if (!frame.margin) continue;
        const RecognitionMargin& margin = *frame.margin;
        RowTally& row = rows[margin.first.row];
        ++row.report.frames;
        row.report.noMatch += noMatch ? 1 : 0;
        row.report.ambiguous += margin.Ambiguous() ? 1 : 0;
        sensor.ambiguous += margin.Ambiguous() ? 1 : 0;
        ++row.report.histogram[static_cast<std::size_t>(MarginBin(margin.first.margin))];
        row.margins.push_back(margin.first.margin);
        margins.push_back(margin.first.margin);
        // Every frame of the row counts, those outside its circle (C-No 255) too: they are
        // what a capability has to show. Distances in the other colour plane would mean nothing.
        if (settings.parameters && frame.siMode == (settings.parameters->calcmode == 1)) {
            const auto& centre =
                settings.parameters->ctt[static_cast<std::size_t>(margin.first.row)];
            row.capability.Add(
                std::hypot(double(frame.x) - centre[0], double(frame.y) - centre[1]));
        }
    }
    sensor.alarmShare = Share(alarmSeconds, sensor.recordedSeconds);
    sensor.margin = SummariseMargins(std::move(margins));
    for (auto& [number, tally] : rows) {
        RowReport& row = tally.report;
        row.row = number;
        row.margin = SummariseMargins(std::move(tally.margins));
        row.alarmShare = Share(tally.alarmSeconds, tally.recordedSeconds);
        if (settings.parameters)
            row.cpu =
                tally.capability.Cpu(settings.parameters->ctt[static_cast<std::size_t>(number)][2]);
        sensor.rows.push_back(row);
    }
}

const char* ModeName(bool siMode) {
    return siMode ? "calculation mode 1 (s, i, M)" : "calculation mode 0 (X, Y, INT)";
}

QString Number(const std::optional<double>& value) {
    return value ? MarginText(*value) : QStringLiteral("-");
}

QString Percent(double share) {
    return QString::number(100.0 * share, 'f', 1) + QLatin1Char('%');
}

QJsonValue JsonNumber(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// Margins as the recording writes them: three decimals.
QJsonValue JsonMargin(const std::optional<double>& value) {
    return value ? QJsonValue(std::round(*value * 1000.0) / 1000.0) : QJsonValue(QJsonValue::Null);
}

QJsonObject JsonSummary(const MarginSummary& summary) {
    return {{"min", JsonMargin(summary.min)},
            {"p5", JsonMargin(summary.p5)},
            {"median", JsonMargin(summary.median)}};
}

}  // namespace

QString RecordedTimeText(const RecordedTime& time) {
    return IsoLocalTime(
        QDateTime::fromMSecsSinceEpoch(time.msSinceEpoch, Qt::OffsetFromUTC, time.offsetSeconds));
}

std::optional<Recording> ReadRecording(const QString& path, QString* error) {
    auto fail = [&](qint64 line, const QString& reason) {
        if (error) *error = QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(reason);
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    Recording recording;
    recording.path = path;
    recording.sensor = QFileInfo(path).fileName();
    if (recording.sensor.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        recording.sensor.chop(4);
    std::optional<CsvLayout> layout;
    QString reason;
    for (qint64 lineNo = 1; !file.atEnd(); ++lineNo) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty()) continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (!layout) {
            layout = ReadCsvHeader(fields, &reason);
            if (!layout) return fail(lineNo, reason);
            recording.siMode = layout->siMode;
            recording.hasMargins = layout->marginField.has_value();
            continue;
        }
        const std::optional<CsvRecord> record = ReadCsvRecord(*layout, fields, &reason);
        if (!record) return fail(lineNo, reason);
        RecordedFrame frame;
        frame.time = {record->msSinceEpoch, OffsetSeconds(fields[layout->timeField])};
        frame.x = record->values[kX];
        frame.y = record->values[kY];
        frame.intensity = record->values[kIntensity];
        frame.colour = record->values[kColour];
        frame.siMode = layout->siMode;
        frame.margin = RecordedMargin(*record, frame.colour);
        recording.frames.push_back(frame);
    }
    if (!layout) return fail(1, QStringLiteral("missing header"));
    return recording;
}

QString ReportProblem(const std::vector<Recording>& recordings,
                      const MarginReportSettings& settings, QStringList* warnings) {
    for (const Recording& recording : recordings) {
        if (!recording.hasMargins && !settings.parameters)
            return QStringLiteral(
                       "%1 has no margin columns (MARGIN, MARGIN-ROW, SECOND): give "
                       "--parameters FILE.dat, the teach table it was recorded with")
                .arg(recording.path);
        if (!settings.parameters || (settings.parameters->calcmode == 1) == recording.siMode)
            continue;
        const QString mismatch = QStringLiteral("%1 is in %2, but %3 is for %4")
                                     .arg(recording.path, ModeName(recording.siMode),
                                          settings.parametersFile, ModeName(!recording.siMode));
        if (!recording.hasMargins) return mismatch;
        if (warnings) *warnings << mismatch + QStringLiteral(": its frames give no Cpu");
    }
    return {};
}

MarginSummary SummariseMargins(std::vector<double> margins) {
    if (margins.empty()) return {};
    std::sort(margins.begin(), margins.end());
    // Nearest rank: the smallest value with at least p percent of the values at or below it.
    const auto rank = [&margins](double percent) {
        const auto n = static_cast<double>(margins.size());
        const auto index = static_cast<std::size_t>(std::max(1.0, std::ceil(percent / 100.0 * n)));
        return margins[index - 1];
    };
    return {margins.front(), rank(5), rank(50)};
}

int MarginBin(double margin) {
    const int bin = static_cast<int>(std::floor((margin + 1.0) * kMarginBins / 2.0));
    return std::clamp(bin, 0, kMarginBins - 1);
}

MarginReport BuildMarginReport(std::vector<Recording> recordings,
                               const MarginReportSettings& settings) {
    MarginReport report;
    report.settings = settings;
    if (!settings.parameters)
        report.cpuNote = QStringLiteral(
            "Cpu needs each row's centre and radius: give --parameters FILE.dat, the teach table "
            "the sensor had");
    // NAME-2.csv ... go on from NAME.csv.
    std::set<QString> names;
    for (const Recording& recording : recordings) names.insert(recording.sensor);
    static const QRegularExpression continuation(QStringLiteral("^(.+)-([2-9]|[1-9][0-9]+)$"));
    for (Recording& recording : recordings) {
        const QRegularExpressionMatch match = continuation.match(recording.sensor);
        if (match.hasMatch() && names.count(match.captured(1)))
            recording.sensor = match.captured(1);
    }
    std::map<QString, std::vector<Recording>> bySensor;
    for (Recording& recording : recordings) {
        if (!recording.hasMargins) {
            const MarginTable table(*settings.parameters);
            for (RecordedFrame& frame : recording.frames)
                frame.margin = table.Evaluate(frame.x, frame.y, frame.intensity, frame.colour);
        }
        bySensor[recording.sensor].push_back(std::move(recording));
    }
    for (auto& [name, files] : bySensor) {
        report.sensors.push_back(MergeFiles(files));
        Evaluate(report.sensors.back(), settings);
    }
    return report;
}

QString MarginReportText(const MarginReport& report) {
    const MarginAlarmSettings& alarm = report.settings.alarm;
    QString text = QStringLiteral("margin alarm: below %1 for %2 s, cleared above %3\n")
                       .arg(MarginText(alarm.warn))
                       .arg(alarm.delaySeconds)
                       .arg(MarginText(alarm.warn + alarm.deadband));
    for (const SensorReport& sensor : report.sensors) {
        text += QStringLiteral("\n%1: %2 frames").arg(sensor.name).arg(sensor.frames.size());
        if (!sensor.frames.empty())
            text += QStringLiteral(", %1 ... %2")
                        .arg(RecordedTimeText(sensor.frames.front().time),
                             RecordedTimeText(sensor.frames.back().time));
        text += QStringLiteral(" (%1 file%2)\n")
                    .arg(sensor.files.size())
                    .arg(sensor.files.size() == 1 ? "" : "s");
        text += QStringLiteral(
                    "  margin min %1, p5 %2, median %3; no match %4, ambiguous %5; "
                    "in alarm %6 of %7 s recorded\n")
                    .arg(Number(sensor.margin.min), Number(sensor.margin.p5),
                         Number(sensor.margin.median))
                    .arg(sensor.noMatch)
                    .arg(sensor.ambiguous)
                    .arg(Percent(sensor.alarmShare))
                    .arg(sensor.recordedSeconds, 0, 'f', 1);
        text += QStringLiteral(
            "  row   frames      min       p5   median  no match  ambiguous  in alarm    Cpu\n");
        for (const RowReport& row : sensor.rows)
            text += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9\n")
                        .arg(row.row, 3)
                        .arg(row.frames, 8)
                        .arg(Number(row.margin.min), 8)
                        .arg(Number(row.margin.p5), 8)
                        .arg(Number(row.margin.median), 8)
                        .arg(row.noMatch, 9)
                        .arg(row.ambiguous, 10)
                        .arg(Percent(row.alarmShare), 9)
                        .arg(row.cpu ? QString::number(*row.cpu, 'f', 2) : QStringLiteral("-"), 6);
        for (const AlarmEpisode& episode : sensor.alarms)
            text +=
                QStringLiteral("  alarm %1 ... %2, raised in row %3 at margin %4 (low since %5)\n")
                    .arg(RecordedTimeText(episode.start),
                         episode.end ? RecordedTimeText(*episode.end)
                                     : QStringLiteral("(still on at the end)"))
                    .arg(episode.raisedAt.row)
                    .arg(MarginText(episode.raisedAt.margin), RecordedTimeText(episode.lowSince));
        for (const RecordingGap& gap : sensor.gaps)
            text += QStringLiteral("  gap %1 ... %2 (%3 s without frames)\n")
                        .arg(RecordedTimeText(gap.from), RecordedTimeText(gap.to))
                        .arg(Seconds(gap.from.msSinceEpoch, gap.to.msSinceEpoch), 0, 'f', 1);
    }
    if (!report.cpuNote.isEmpty()) text += QStringLiteral("\nCpu -: ") + report.cpuNote + '\n';
    return text;
}

QByteArray MarginReportJson(const MarginReport& report) {
    const MarginAlarmSettings& alarm = report.settings.alarm;
    QJsonArray sensors;
    for (const SensorReport& sensor : report.sensors) {
        QJsonArray alarms, gaps, rows;
        for (const AlarmEpisode& episode : sensor.alarms)
            alarms.append(QJsonObject{
                {"start", RecordedTimeText(episode.start)},
                {"low_since", RecordedTimeText(episode.lowSince)},
                {"end", episode.end ? QJsonValue(RecordedTimeText(*episode.end)) : QJsonValue()},
                {"row", episode.raisedAt.row},
                {"margin", JsonMargin(episode.raisedAt.margin)}});
        for (const RecordingGap& gap : sensor.gaps)
            gaps.append(
                QJsonObject{{"start", RecordedTimeText(gap.from)},
                            {"end", RecordedTimeText(gap.to)},
                            {"seconds", Seconds(gap.from.msSinceEpoch, gap.to.msSinceEpoch)}});
        for (const RowReport& row : sensor.rows)
            rows.append(QJsonObject{{"row", row.row},
                                    {"frames", row.frames},
                                    {"margin", JsonSummary(row.margin)},
                                    {"no_match", row.noMatch},
                                    {"ambiguous", row.ambiguous},
                                    {"alarm_share", row.alarmShare},
                                    {"cpu", JsonNumber(row.cpu)}});
        const bool any = !sensor.frames.empty();
        sensors.append(QJsonObject{
            {"name", sensor.name},
            {"files", QJsonArray::fromStringList(sensor.files)},
            {"frames", static_cast<qint64>(sensor.frames.size())},
            {"start",
             any ? QJsonValue(RecordedTimeText(sensor.frames.front().time)) : QJsonValue()},
            {"end", any ? QJsonValue(RecordedTimeText(sensor.frames.back().time)) : QJsonValue()},
            {"recorded_seconds", sensor.recordedSeconds},
            {"margin", JsonSummary(sensor.margin)},
            {"no_match", sensor.noMatch},
            {"ambiguous", sensor.ambiguous},
            {"alarm_share", sensor.alarmShare},
            {"alarms", alarms},
            {"gaps", gaps},
            {"rows", rows}});
    }
    const QJsonObject document{
        {"alarm",
         QJsonObject{
             {"warn", alarm.warn}, {"delay", alarm.delaySeconds}, {"deadband", alarm.deadband}}},
        {"parameters", report.settings.parametersFile.isEmpty()
                           ? QJsonValue()
                           : QJsonValue(report.settings.parametersFile)},
        {"cpu_note", report.cpuNote.isEmpty() ? QJsonValue() : QJsonValue(report.cpuNote)},
        {"sensors", sensors}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace tvx::cli
