#include "sparkplug_node.h"

#include <QDataStream>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>

#include "frames.h"
#include "mode_rules.h"
#include "parameter_image.h"
#include "parameter_names.h"
#include "sparkplug_b.pb.h"

namespace tvx::cli::sparkplug {

namespace pb = org::eclipse::tahu::protobuf;

namespace {

constexpr const char* kNamespace = "spBv1.0";
// The spooled frame's layout; a spool from a later layout is not read as this one.
constexpr quint8 kSpooledVersion = 1;

bool TopicLevelValid(const QString& level) {
    return !level.isEmpty() && !level.contains(QLatin1Char('/')) &&
           !level.contains(QLatin1Char('+')) && !level.contains(QLatin1Char('#'));
}

void Put(pb::Payload::Metric& to, const Metric& metric, bool named) {
    if (named) {
        to.set_name(metric.name);
        to.set_datatype(static_cast<std::uint32_t>(metric.type));
    }
    if (metric.alias != 0) to.set_alias(metric.alias);
    if (metric.null) {
        to.set_is_null(true);
        return;
    }
    switch (metric.type) {
        case DataType::Int64:
            to.set_long_value(metric.integer);
            break;
        case DataType::UInt16:
        case DataType::UInt32:
            to.set_int_value(static_cast<std::uint32_t>(metric.integer));
            break;
        case DataType::Float:
            to.set_float_value(metric.real);
            break;
        case DataType::Boolean:
            to.set_boolean_value(metric.integer != 0);
            break;
        case DataType::String:
            to.set_string_value(metric.text);
            break;
    }
}

QByteArray Serialized(const pb::Payload& payload) {
    QByteArray bytes(static_cast<qsizetype>(payload.ByteSizeLong()), Qt::Uninitialized);
    payload.SerializeToArray(bytes.data(), static_cast<int>(bytes.size()));
    return bytes;
}

Metric Declared(std::string name, std::uint64_t alias, DataType type) {
    Metric metric;
    metric.name = std::move(name);
    metric.alias = alias;
    metric.type = type;
    return metric;
}

Metric Text(std::string name, std::uint64_t alias, const QString& value) {
    Metric metric = Declared(std::move(name), alias, DataType::String);
    metric.null = false;
    metric.text = value.toStdString();
    return metric;
}

}  // namespace

QString NodeName::Topic(const char* type, const QString& device) const {
    QString topic = QStringLiteral("%1/%2/%3/%4")
                        .arg(QLatin1String(kNamespace), group, QLatin1String(type), edge);
    if (!device.isEmpty()) topic += QLatin1Char('/') + device;
    return topic;
}

std::optional<NodeName> ParseNodeName(const QString& text, QString& error) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2 || !TopicLevelValid(parts[0]) || !TopicLevelValid(parts[1])) {
        error = QStringLiteral(
                    "--sparkplug expects GROUP/EDGE, each non-empty and without /, + or #, got "
                    "\"%1\"")
                    .arg(text);
        return std::nullopt;
    }
    return NodeName{parts[0], parts[1]};
}

QString DeviceId(const QString& sensorName) {
    QString id = sensorName;
    for (QChar& c : id)
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    return id;
}

Metric Unsigned(std::string name, std::uint64_t alias, DataType type, std::uint64_t value) {
    Metric metric = Declared(std::move(name), alias, type);
    metric.null = false;
    metric.integer = value;
    return metric;
}

SpooledFrame SpooledFrameOf(const StampedFrame& frame) {
    SpooledFrame spooled;
    spooled.msSinceEpoch = frame.time.toMSecsSinceEpoch();
    const auto values = FrameLineValues(frame.values);
    for (int i = 0; i < kFrameLineValues; ++i)
        spooled.values[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(
            std::clamp<qint64>(values[static_cast<std::size_t>(i)], 0, 0xFFFF));
    if (frame.margin) {
        spooled.margin = static_cast<float>(frame.margin->first.margin);
        if (frame.margin->second)
            spooled.secondMargin = static_cast<float>(frame.margin->second->margin);
    }
    return spooled;
}

QByteArray EncodeSpooled(const SpooledFrame& frame) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << kSpooledVersion << qint64(frame.msSinceEpoch);
    for (std::uint16_t value : frame.values) out << quint16(value);
    out << frame.margin.has_value() << frame.margin.value_or(0.0f) << frame.secondMargin.has_value()
        << frame.secondMargin.value_or(0.0f);
    return bytes;
}

std::optional<SpooledFrame> DecodeSpooled(const QByteArray& bytes) {
    QDataStream in(bytes);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    quint8 version = 0;
    qint64 ms = 0;
    in >> version >> ms;
    if (version != kSpooledVersion) return std::nullopt;
    SpooledFrame frame;
    frame.msSinceEpoch = ms;
    for (std::uint16_t& value : frame.values) in >> value;
    bool hasMargin = false, hasSecond = false;
    float margin = 0, second = 0;
    in >> hasMargin >> margin >> hasSecond >> second;
    if (in.status() != QDataStream::Ok) return std::nullopt;
    if (hasMargin) frame.margin = margin;
    if (hasSecond) frame.secondMargin = second;
    return frame;
}

DeviceMetrics::DeviceMetrics(const ParameterSet& params, const QString& version,
                             std::uint64_t aliasBase, std::vector<std::string>& collisions) {
    std::uint64_t alias = aliasBase;
    std::set<std::string> names;
    const auto add = [&](Metric metric) {
        if (!names.insert(metric.name).second) {
            collisions.push_back(metric.name);
            return false;
        }
        all_.push_back(std::move(metric));
        return true;
    };
    const bool siMode = params.calcmode == 1;
    const FrameLineNames& valueNames = FrameLineValueNames(siMode);
    index_.fill(-1);
    for (int i = 0; i < kFrameLineValues; ++i) {
        const int at = static_cast<int>(all_.size());
        if (add(Declared(valueNames[static_cast<std::size_t>(i)], alias++, DataType::UInt16)))
            index_[static_cast<std::size_t>(i)] = at;
    }
    // The second margin exists only beside another active row.
    const int active = MarginTable(params).ActiveRows();
    const std::pair<const char*, bool> marginMetrics[] = {{"margin", active > 0},
                                                          {"second margin", active > 1}};
    for (int m = 0; m < 2; ++m) {
        const int at = static_cast<int>(all_.size());
        const std::uint64_t its = alias++;
        const auto& [name, exists] = marginMetrics[m];
        if (exists && add(Declared(name, its, DataType::Float)))
            index_[static_cast<std::size_t>(kFrameLineValues + m)] = at;
    }
    add(Text("Properties/Version", alias++, version));
    const ParameterImage image = ImageOf(params);
    const auto& words = ModeWordNames();
    for (int word = 0; word < anzdata; ++word)
        add(Unsigned(std::string("Parameters/") + words[static_cast<std::size_t>(word)].label,
                     alias++, DataType::UInt16, image[static_cast<std::size_t>(word)]));
    const auto& columns = TeachColumnNames(siMode ? 1 : 0);
    for (int row = 0; row < kTeachRows; ++row) {
        for (int column = 0; column <= kTeachColumns; ++column) {
            const std::string columnName =
                column < kTeachColumns ? columns[static_cast<std::size_t>(column)] : "group";
            add(Unsigned("Teach/row " + std::to_string(row) + "/" + columnName, alias++,
                         DataType::UInt16,
                         image[static_cast<std::size_t>(TeachRowWord(row, column))]));
        }
    }
}

std::vector<Metric> DeviceMetrics::Values(const SpooledFrame& frame) const {
    std::vector<Metric> values;
    for (int i = 0; i < kFrameMetrics; ++i) {
        const int at = index_[static_cast<std::size_t>(i)];
        if (at < 0) continue;
        Metric metric = all_[static_cast<std::size_t>(at)];
        if (i < kFrameLineValues) {
            metric.null = false;
            metric.integer = frame.values[static_cast<std::size_t>(i)];
        } else {
            const std::optional<float>& margin =
                i == kFrameLineValues ? frame.margin : frame.secondMargin;
            metric.null = !margin;
            metric.real = margin.value_or(0.0f);
        }
        values.push_back(std::move(metric));
    }
    return values;
}

void DeviceMetrics::Latest(const SpooledFrame& frame) {
    std::size_t next = 0;
    for (Metric& metric : Values(frame)) {
        while (all_[next].alias != metric.alias) ++next;
        all_[next] = std::move(metric);
    }
}

std::vector<Metric> DeviceMetrics::FrameMetrics(const SpooledFrame& frame, bool every) {
    std::vector<Metric> values = Values(frame);
    if (every) return values;
    std::vector<Metric> changed;
    std::size_t next = 0;
    for (Metric& metric : values) {
        while (all_[next].alias != metric.alias) ++next;
        if (!all_[next].SameValue(metric)) {
            all_[next] = metric;
            changed.push_back(std::move(metric));
        }
    }
    if (changed.empty() && index_[6] >= 0) changed.push_back(values[6]);  // C-No
    return changed;
}

QByteArray DeathPayload(std::uint64_t bdSeq) {
    pb::Payload payload;
    Put(*payload.add_metrics(), Unsigned("bdSeq", 0, DataType::Int64, bdSeq), true);
    return Serialized(payload);
}

QByteArray BirthPayload(std::int64_t nowMs, int seq, const std::vector<Metric>& metrics) {
    pb::Payload payload;
    payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
    payload.set_seq(static_cast<std::uint64_t>(seq));
    for (const Metric& metric : metrics) {
        pb::Payload::Metric& to = *payload.add_metrics();
        Put(to, metric, true);
        to.set_timestamp(static_cast<std::uint64_t>(nowMs));
    }
    return Serialized(payload);
}

QByteArray DataPayload(std::int64_t nowMs, int seq, const std::vector<Metric>& metrics,
                       std::int64_t metricMs, bool historical) {
    pb::Payload payload;
    payload.set_timestamp(static_cast<std::uint64_t>(nowMs));
    payload.set_seq(static_cast<std::uint64_t>(seq));
    for (const Metric& metric : metrics) {
        pb::Payload::Metric& to = *payload.add_metrics();
        Put(to, metric, false);
        to.set_timestamp(static_cast<std::uint64_t>(metricMs));
        if (historical) to.set_is_historical(true);
    }
    return Serialized(payload);
}

NodeCommand ReadNodeCommand(const QByteArray& payload) {
    pb::Payload command;
    if (!command.ParseFromArray(payload.constData(), static_cast<int>(payload.size())))
        return {false, QStringLiteral("not a Sparkplug B payload")};
    NodeCommand read;
    for (const pb::Payload::Metric& metric : command.metrics()) {
        if (metric.name() != "Node Control/Rebirth") {
            read.refused = QStringLiteral("metric \"%1\" is not one the node takes")
                               .arg(QString::fromStdString(metric.name()));
            continue;
        }
        if (!metric.has_boolean_value()) {
            read.refused = QStringLiteral("Node Control/Rebirth without a Boolean value");
            continue;
        }
        read.rebirth = read.rebirth || metric.boolean_value();
    }
    if (command.metrics_size() == 0) read.refused = QStringLiteral("no metric");
    return read;
}

std::optional<HostState> ReadHostState(const QByteArray& payload) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    const QJsonObject object = document.object();
    const QJsonValue online = object.value(QStringLiteral("online"));
    const QJsonValue timestamp = object.value(QStringLiteral("timestamp"));
    if (error.error != QJsonParseError::NoError || !online.isBool() || !timestamp.isDouble())
        return std::nullopt;
    return HostState{online.toBool(), static_cast<std::int64_t>(timestamp.toDouble())};
}

}  // namespace tvx::cli::sparkplug
