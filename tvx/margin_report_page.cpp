// The report as one HTML page that needs nothing else: inline SVG drawn here, plain CSS, no
// script, so that it can be mailed, archived and opened offline years later.
#include <algorithm>
#include <limits>

#include "frame_line.h"
#include "margin_report.h"

namespace tvx::cli {

namespace {

// The margin chart: the plot area inside the picture.
constexpr int kChartWidth = 960, kChartHeight = 260;
constexpr int kLeft = 52, kRight = 12, kTop = 12, kBottom = 30;
constexpr int kPlotWidth = kChartWidth - kLeft - kRight;
constexpr int kPlotHeight = kChartHeight - kTop - kBottom;

// A row's histogram.
constexpr int kHistWidth = 240, kHistHeight = 130, kHistPad = 24;

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString Px(double value) {
    return QString::number(value, 'f', 1);
}

double MarginY(double margin) {
    return kTop + (1.0 - std::clamp(margin, -1.0, 1.0)) / 2.0 * kPlotHeight;
}

// Time to x: the recording's first frame on the left edge, its last on the right.
struct TimeAxis {
    std::int64_t firstMs = 0, lastMs = 0;
    double X(std::int64_t ms) const {
        if (lastMs <= firstMs) return kLeft + kPlotWidth / 2.0;
        return kLeft + static_cast<double>(ms - firstMs) / static_cast<double>(lastMs - firstMs) *
                           kPlotWidth;
    }
    int Column(std::int64_t ms) const {
        return std::clamp(static_cast<int>(X(ms)) - kLeft, 0, kPlotWidth - 1);
    }
};

QString Rect(double x0, double y0, double x1, double y1, const char* style) {
    return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" %5/>")
        .arg(Px(x0), Px(y0), Px(std::max(1.0, x1 - x0)), Px(y1 - y0), QLatin1String(style));
}

QString Label(double x, double y, const QString& text, const char* anchor = "middle") {
    return QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\">%4</text>")
        .arg(Px(x), Px(y), QLatin1String(anchor), Escaped(text));
}

// The margin's trace. A long recording is drawn as the smallest and largest margin of each
// pixel column, so that the page stays small and no low frame disappears between pixels; a short
// one as a line through its frames. Either is broken at the gaps.
QString Trace(const SensorReport& sensor, const TimeAxis& axis) {
    const auto& frames = sensor.frames;
    auto isGapBefore = [&sensor](const RecordedFrame& frame) {
        return std::any_of(sensor.gaps.begin(), sensor.gaps.end(), [&](const RecordingGap& gap) {
            return gap.to.msSinceEpoch == frame.time.msSinceEpoch;
        });
    };
    QString path;
    if (frames.size() <= 2 * static_cast<std::size_t>(kPlotWidth)) {
        bool penDown = false;
        for (const RecordedFrame& frame : frames) {
            if (!frame.margin || isGapBefore(frame)) penDown = false;
            if (!frame.margin) continue;
            path += QStringLiteral("%1%2 %3 ")
                        .arg(penDown ? 'L' : 'M')
                        .arg(Px(axis.X(frame.time.msSinceEpoch)),
                             Px(MarginY(frame.margin->first.margin)));
            penDown = true;
        }
        return QStringLiteral(
                   "<path d=\"%1\" fill=\"none\" stroke=\"#1f5fa8\" stroke-width=\"1.5\"/>")
            .arg(path);
    }
    constexpr double kNone = std::numeric_limits<double>::infinity();
    std::vector<double> low(kPlotWidth, kNone), high(kPlotWidth, -kNone);
    for (const RecordedFrame& frame : frames) {
        if (!frame.margin) continue;
        const auto column = static_cast<std::size_t>(axis.Column(frame.time.msSinceEpoch));
        low[column] = std::min(low[column], frame.margin->first.margin);
        high[column] = std::max(high[column], frame.margin->first.margin);
    }
    for (int column = 0; column < kPlotWidth; ++column) {
        const auto c = static_cast<std::size_t>(column);
        if (low[c] > high[c]) continue;
        const double top = MarginY(high[c]), bottom = std::max(MarginY(low[c]), top + 1.0);
        path += QStringLiteral("M%1 %2V%3").arg(kLeft + column + 0.5).arg(Px(top), Px(bottom));
    }
    return QStringLiteral("<path d=\"%1\" stroke=\"#1f5fa8\" stroke-width=\"1\"/>").arg(path);
}

QString MarginChart(const SensorReport& sensor, const MarginAlarmSettings& alarm) {
    TimeAxis axis;
    if (!sensor.frames.empty())
        axis = {sensor.frames.front().time.msSinceEpoch, sensor.frames.back().time.msSinceEpoch};
    const double right = kLeft + kPlotWidth, bottom = kTop + kPlotHeight;
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                      "viewBox=\"0 0 %1 %2\" role=\"img\"><title>%3: margin over time</title>")
                      .arg(kChartWidth)
                      .arg(kChartHeight)
                      .arg(Escaped(sensor.name));
    svg += Rect(kLeft, kTop, right, bottom, "fill=\"#ffffff\" stroke=\"#999\"");
    // Below the warn level, and the deadband above it that clearing has to pass.
    svg += Rect(kLeft, MarginY(alarm.warn), right, bottom, "fill=\"#f8d7d3\"");
    svg += Rect(kLeft, MarginY(alarm.warn + alarm.deadband), right, MarginY(alarm.warn),
                "fill=\"#fcefc7\"");
    for (const double m : {1.0, 0.5, 0.0, -0.5, -1.0}) {
        svg += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"#ccc\"/>")
                   .arg(kLeft)
                   .arg(right)
                   .arg(Px(MarginY(m)));
        svg += Label(kLeft - 6, MarginY(m) + 4, MarginText(m).chopped(2), "end");
    }
    svg += Label(kLeft - 6, MarginY(alarm.warn) + 4, QStringLiteral("warn"), "end");
    for (const AlarmEpisode& episode : sensor.alarms) {
        const double x0 = axis.X(episode.start.msSinceEpoch);
        const double x1 = axis.X(episode.end ? episode.end->msSinceEpoch : axis.lastMs);
        svg += Rect(x0, kTop, x1, bottom, "fill=\"#d62728\" fill-opacity=\"0.1\"");
        svg += Rect(x0, kTop, x1, kTop + 6, "fill=\"#d62728\"");
    }
    for (const RecordingGap& gap : sensor.gaps)
        svg += Rect(axis.X(gap.from.msSinceEpoch), kTop, axis.X(gap.to.msSinceEpoch), bottom,
                    "fill=\"#e4e4e4\"");
    svg += Trace(sensor, axis);
    if (!sensor.frames.empty()) {
        svg += Label(kLeft, bottom + 18, RecordedTimeText(sensor.frames.front().time), "start");
        svg += Label(right, bottom + 18, RecordedTimeText(sensor.frames.back().time), "end");
        // Between them the time of day, in the first frame's offset.
        for (const double share : {0.25, 0.5, 0.75}) {
            const auto ms =
                axis.firstMs +
                static_cast<std::int64_t>(share * static_cast<double>(axis.lastMs - axis.firstMs));
            const double x = axis.X(ms);
            svg += QStringLiteral("<line x1=\"%1\" x2=\"%1\" y1=\"%2\" y2=\"%3\" stroke=\"#999\"/>")
                       .arg(Px(x), Px(bottom), Px(bottom + 5));
            svg +=
                Label(x, bottom + 18,
                      RecordedTimeText({ms, sensor.frames.front().time.offsetSeconds}).mid(11, 8));
        }
    }
    return svg + QStringLiteral("</svg>");
}

QString Histogram(const RowReport& row, const MarginAlarmSettings& alarm) {
    const long long tallest =
        std::max<long long>(1, *std::max_element(row.histogram.begin(), row.histogram.end()));
    const double plotWidth = kHistWidth - 2 * kHistPad, plotHeight = kHistHeight - 2 * kHistPad;
    const double binWidth = plotWidth / kMarginBins, base = kHistPad + plotHeight;
    const auto x = [&](double margin) { return kHistPad + (margin + 1.0) / 2.0 * plotWidth; };
    QString svg = QStringLiteral(
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                      "viewBox=\"0 0 %1 %2\" role=\"img\"><title>row %3: margin histogram</title>")
                      .arg(kHistWidth)
                      .arg(kHistHeight)
                      .arg(row.row);
    svg += Rect(kHistPad, kHistPad, x(alarm.warn), base, "fill=\"#f8d7d3\"");
    for (int bin = 0; bin < kMarginBins; ++bin) {
        const long long count = row.histogram[static_cast<std::size_t>(bin)];
        if (count == 0) continue;
        const double height =
            std::max(1.0, plotHeight * static_cast<double>(count) / static_cast<double>(tallest));
        svg += Rect(kHistPad + bin * binWidth + 1, base - height, kHistPad + (bin + 1) * binWidth,
                    base, "fill=\"#1f5fa8\"");
    }
    svg += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"#666\"/>")
               .arg(kHistPad)
               .arg(Px(kHistPad + plotWidth))
               .arg(Px(base));
    for (const double m : {-1.0, 0.0, 1.0})
        svg += Label(x(m), base + 14, QString::number(m, 'f', 0));
    svg += Label(kHistWidth / 2.0, 14,
                 QStringLiteral("row %1, %2 frames").arg(row.row).arg(row.frames));
    return svg + QStringLiteral("</svg>");
}

QString Cell(const QString& text, const char* cls = nullptr) {
    return cls ? QStringLiteral("<td class=\"%1\">%2</td>").arg(QLatin1String(cls), Escaped(text))
               : QStringLiteral("<td>%1</td>").arg(Escaped(text));
}

QString Margin(const std::optional<double>& margin) {
    return margin ? MarginText(*margin) : QStringLiteral("-");
}

QString Percent(double share) {
    return QString::number(100.0 * share, 'f', 1) + QStringLiteral(" %");
}

}  // namespace

QString MarginReportPage(const MarginReport& report) {
    const MarginAlarmSettings& alarm = report.settings.alarm;
    QString page = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Recognition margin report</title><style>\n"
        "body{font-family:'DejaVu Sans',Arial,sans-serif;font-size:14px;color:#222;"
        "background:#fff;margin:24px;max-width:1000px}\n"
        "h1{font-size:22px}h2{font-size:18px;margin-top:32px;border-bottom:1px solid #ccc}\n"
        "table{border-collapse:collapse;margin:8px 0}th,td{border:1px solid #bbb;"
        "padding:3px 8px;text-align:right}th{background:#eee}td.name{text-align:left}\n"
        "td.alarm{background:#f8d7d3}svg text{font-size:11px;fill:#333}"
        ".hist{display:flex;flex-wrap:wrap;gap:8px}\n"
        "</style></head><body>\n<h1>Recognition margin</h1>\n");
    page += QStringLiteral(
                "<p>Margin: 1 at the centre of the recognised row, 0 on its edge, below 0 "
                "outside. Alarm: below %1 for %2 s (red band), cleared above %3 for as long "
                "(yellow band: the deadband). Grey: gaps without frames.</p>\n")
                .arg(MarginText(alarm.warn))
                .arg(alarm.delaySeconds)
                .arg(MarginText(alarm.warn + alarm.deadband));
    page += QStringLiteral(
        "<table><tr><th>sensor</th><th>frames</th><th>min</th><th>p5</th><th>median</th>"
        "<th>no match</th><th>ambiguous</th><th>in alarm</th><th>alarms</th><th>gaps</th></tr>\n");
    for (const SensorReport& sensor : report.sensors) {
        page += QStringLiteral("<tr>") + Cell(sensor.name, "name") +
                Cell(QString::number(sensor.frames.size())) + Cell(Margin(sensor.margin.min)) +
                Cell(Margin(sensor.margin.p5)) + Cell(Margin(sensor.margin.median)) +
                Cell(QString::number(sensor.noMatch)) + Cell(QString::number(sensor.ambiguous)) +
                Cell(Percent(sensor.alarmShare), sensor.alarms.empty() ? nullptr : "alarm") +
                Cell(QString::number(sensor.alarms.size())) +
                Cell(QString::number(sensor.gaps.size())) + QStringLiteral("</tr>\n");
    }
    page += QStringLiteral("</table>\n");
    for (const SensorReport& sensor : report.sensors) {
        page += QStringLiteral("<h2>%1</h2>\n<p>%2</p>\n")
                    .arg(Escaped(sensor.name), Escaped(sensor.files.join(QStringLiteral(", "))));
        page += MarginChart(sensor, alarm) + QStringLiteral("\n<div class=\"hist\">");
        for (const RowReport& row : sensor.rows) page += Histogram(row, alarm);
        page += QStringLiteral(
            "</div>\n<table><tr><th>row</th><th>frames</th><th>min</th><th>p5</th>"
            "<th>median</th><th>no match</th><th>ambiguous</th><th>in alarm</th>"
            "<th>Cpu</th></tr>\n");
        for (const RowReport& row : sensor.rows)
            page += QStringLiteral("<tr>") + Cell(QString::number(row.row)) +
                    Cell(QString::number(row.frames)) + Cell(Margin(row.margin.min)) +
                    Cell(Margin(row.margin.p5)) + Cell(Margin(row.margin.median)) +
                    Cell(QString::number(row.noMatch)) + Cell(QString::number(row.ambiguous)) +
                    Cell(Percent(row.alarmShare)) +
                    Cell(row.cpu ? QString::number(*row.cpu, 'f', 2) : QStringLiteral("-")) +
                    QStringLiteral("</tr>\n");
        page += QStringLiteral("</table>\n");
        if (!sensor.alarms.empty()) {
            page += QStringLiteral("<p>Alarms:</p><ul>\n");
            for (const AlarmEpisode& episode : sensor.alarms)
                page += QStringLiteral(
                            "<li>%1 ... %2, raised in row %3 at margin %4 (low since %5)</li>\n")
                            .arg(RecordedTimeText(episode.start),
                                 episode.end ? RecordedTimeText(*episode.end)
                                             : QStringLiteral("the end"))
                            .arg(episode.raisedAt.row)
                            .arg(MarginText(episode.raisedAt.margin),
                                 RecordedTimeText(episode.lowSince));
            page += QStringLiteral("</ul>\n");
        }
    }
    if (!report.cpuNote.isEmpty())
        page += QStringLiteral("<p>Cpu -: %1</p>\n").arg(Escaped(report.cpuNote));
    return page + QStringLiteral("</body></html>\n");
}

}  // namespace tvx::cli
