#include "fleet_metrics.h"

#include <QLocale>
#include <cmath>
#include <functional>

namespace tvx::cli {

namespace {

// A label value with backslash, double quote and line feed escaped.
QByteArray LabelValue(const QString& text) {
    QByteArray value = text.toUtf8();
    value.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return '"' + value + '"';
}

// The shortest text that reads back as the same double, never in exponent form, so that a
// bucket bound reads le="0.0005" as a query would write it, not "0.00050000000000000001".
QByteArray Number(double value) {
    // Counts are whole numbers, and the integer path is several times faster.
    if (std::abs(value) < 1e15 && value == std::trunc(value))
        return QByteArray::number(static_cast<qint64>(value));
    return QByteArray::number(value, 'f', QLocale::FloatingPointShortest);
}

// Appends one line of the exposition piece by piece: a thousand sensors make twenty thousand
// lines, and building each from temporaries costs several times as much.
void Line(QByteArray& out, std::initializer_list<QByteArrayView> parts) {
    for (const QByteArrayView part : parts) out += part;
    out += '\n';
}

void Header(QByteArray& out, const char* name, const char* type, const char* help) {
    out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

}  // namespace

void SecondsHistogram::Count(double seconds) {
    for (std::size_t i = 0; i < kSecondsBounds.size(); ++i)
        if (seconds <= kSecondsBounds[i]) ++buckets[i];
    ++count;
    sum += seconds;
}

const std::vector<QString>& FailureKinds() {
    static const std::vector<QString> kinds = [] {
        std::vector<QString> all;
        for (const LinkOutcome outcome :
             {LinkOutcome::OpenFailed, LinkOutcome::ConnectFailed, LinkOutcome::WriteIncomplete,
              LinkOutcome::NoReply, LinkOutcome::ShortReply, LinkOutcome::LongReply,
              LinkOutcome::ClosedBySensor, LinkOutcome::LineHungUp})
            all.push_back(FailureKind(outcome));
        all.push_back(QStringLiteral("wrong_reply"));
        return all;
    }();
    return kinds;
}

void SensorFigures::CountMargin(const std::optional<RecognitionMargin>& margin) {
    if (!margin) return;
    if (!margin->reported) ++noMatchFrames;
    if (margin->Ambiguous()) ++ambiguousFrames;
    // An exponentially weighted average whose weight, 2 / (N + 1), spans about N = 100 frames.
    constexpr double kWeight = 2.0 / 101.0;
    const double value = margin->first.margin;
    marginAverage = marginAverage ? *marginAverage + kWeight * (value - *marginAverage) : value;
}

// Every kind from 0, so that a query for the increase sees the first failure too.
SensorFigures::SensorFigures() {
    for (const QString& kind : FailureKinds()) failures[kind] = 0;
}

SensorFigures& FleetMetrics::Sensor(const QString& name) {
    auto& entry = sensors_[name];
    if (!entry) entry = std::make_unique<SensorFigures>();
    return *entry;
}

void FleetMetrics::RemoveSensor(const QString& name) {
    sensors_.erase(name);
}

SinkFigures& FleetMetrics::Sink(const QString& name) {
    auto& entry = sinks_[name];
    if (!entry) entry = std::make_unique<SinkFigures>();
    return *entry;
}

QByteArray FleetMetrics::Exposition() const {
    QByteArray out;
    out.reserve(qsizetype(sensors_.size()) * 1200 + 4096);  // about what a sensor takes
    // Each sensor's label once, not once per line.
    std::vector<std::pair<QByteArray, const SensorFigures*>> labelled;
    labelled.reserve(sensors_.size());
    for (const auto& [sensor, figures] : sensors_)
        labelled.emplace_back("sensor=" + LabelValue(sensor), figures.get());
    const auto perSensor = [&](const char* name, const char* type, const char* help,
                               const std::function<double(const SensorFigures&)>& value) {
        Header(out, name, type, help);
        for (const auto& [label, figures] : labelled)
            Line(out, {name, "{", label, "} ", Number(value(*figures))});
    };
    perSensor("tvx_frames_total", "counter", "Live frames recorded.",
              [](const SensorFigures& f) { return double(f.frames); });

    Header(out, "tvx_exchange_failures_total", "counter",
           "Exchanges and connection attempts that failed, by kind.");
    for (const auto& [sensor, figures] : sensors_)
        for (const auto& [kind, count] : figures->failures)
            Line(out, {"tvx_exchange_failures_total{sensor=", LabelValue(sensor),
                       ",kind=", LabelValue(kind), "} ", Number(double(count))});

    perSensor("tvx_reconnects_total", "counter", "Handshakes after a lost link.",
              [](const SensorFigures& f) { return double(f.reconnects); });
    perSensor("tvx_link_up", "gauge", "1 while the sensor answers, else 0.",
              [](const SensorFigures& f) { return f.linkUp ? 1.0 : 0.0; });
    perSensor("tvx_no_match_frames_total", "counter",
              "Frames with C-No 255 while colours are taught (no colour recognised).",
              [](const SensorFigures& f) { return double(f.noMatchFrames); });
    perSensor("tvx_ambiguous_frames_total", "counter",
              "Frames whose point lies in two taught colours at once.",
              [](const SensorFigures& f) { return double(f.ambiguousFrames); });
    Header(out, "tvx_margin_ratio", "gauge",
           "Recognition margin over about the last 100 frames: 1 at the taught colour's centre, "
           "0 on the edge of its tolerance, below 0 outside.");
    for (const auto& [label, figures] : labelled)
        if (figures->marginAverage)
            Line(out, {"tvx_margin_ratio{", label, "} ", Number(*figures->marginAverage)});
    Header(out, "tvx_margin_alarm", "gauge",
           "1 while the margin has stayed below the warn level (or no colour, or two at once) "
           "for the delay, until it stays above warn + deadband for as long; else 0.");
    for (const auto& [label, figures] : labelled)
        if (figures->marginAlarm)
            Line(out, {"tvx_margin_alarm{", label, "} ", *figures->marginAlarm ? "1" : "0"});
    Header(out, "tvx_margin_trend_per_hour", "gauge",
           "How fast the smoothed margin moves, per hour, while its drift chart says it moves "
           "(negative: toward the edge); 0 while it is steady.");
    for (const auto& [label, figures] : labelled)
        if (figures->marginTrendPerHour)
            Line(out,
                 {"tvx_margin_trend_per_hour{", label, "} ", Number(*figures->marginTrendPerHour)});
    perSensor("tvx_last_frame_timestamp_seconds", "gauge",
              "Unix time of the last frame, 0 before the first.",
              [](const SensorFigures& f) { return f.lastFrameSeconds; });

    std::array<QByteArray, kSecondsBounds.size()> bounds;
    for (std::size_t i = 0; i < bounds.size(); ++i)
        bounds[i] = "le=\"" + Number(kSecondsBounds[i]) + "\"} ";
    // A histogram's lines; `label` is empty or ends with a comma.
    const auto histogram = [&](const char* name, const QByteArray& label,
                               const SecondsHistogram& figures) {
        const QByteArray bucket = QByteArray(name) + "_bucket{" + label;
        for (std::size_t i = 0; i < bounds.size(); ++i)
            Line(out, {bucket, bounds[i], Number(double(figures.buckets[i]))});
        const QByteArray count = Number(double(figures.count));
        Line(out, {bucket, "le=\"+Inf\"} ", count});
        const QByteArray braces = label.isEmpty() ? QByteArray() : "{" + label.chopped(1) + "}";
        Line(out, {name, "_sum", braces, " ", Number(figures.sum)});
        Line(out, {name, "_count", braces, " ", count});
    };
    Header(out, "tvx_exchange_seconds", "histogram", "Time from a request to its complete reply.");
    for (const auto& [label, figures] : labelled)
        histogram("tvx_exchange_seconds", label + ',', figures->exchangeSeconds);
    Header(out, "tvx_loop_lag_seconds", "histogram",
           "How late the recorder's due steps start: whether it keeps up.");
    histogram("tvx_loop_lag_seconds", {}, loopLag_);

    const auto perSink = [&](const char* name, const char* type, const char* help, bool mqttOnly,
                             const std::function<double(const SinkFigures&)>& value) {
        Header(out, name, type, help);
        for (const auto& [sink, figures] : sinks_)
            if (figures->mqtt || !mqttOnly)
                Line(out, {name, "{sink=", LabelValue(sink), "} ", Number(value(*figures))});
    };
    perSink("tvx_mqtt_connected", "gauge", "1 while the broker connection is up, else 0.", true,
            [](const SinkFigures& f) { return f.connected ? 1.0 : 0.0; });
    perSink("tvx_spool_frames", "gauge", "Frames in the spool, not yet acknowledged.", true,
            [](const SinkFigures& f) { return double(f.spoolFrames); });
    perSink("tvx_spool_bytes", "gauge",
            "Size of the spool's files on disk (the database and its write-ahead log).", true,
            [](const SinkFigures& f) { return double(f.spoolBytes); });
    perSink("tvx_dropped_frames_total", "counter", "Frames given up for good.", false,
            [](const SinkFigures& f) { return double(f.droppedFrames); });
    return out;
}

}  // namespace tvx::cli
