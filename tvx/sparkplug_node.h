#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame_line.h"
#include "parameter_set.h"

namespace tvx::cli::sparkplug {

// The edge node's place in the Sparkplug namespace: spBv1.0/GROUP/TYPE/EDGE[/DEVICE].
struct NodeName {
    QString group;
    QString edge;

    QString Topic(const char* type, const QString& device = {}) const;
};

// GROUP/EDGE; nothing and a one-line reason for an empty part or one holding '/', '+' or '#'.
std::optional<NodeName> ParseNodeName(const QString& text, QString& error);
// A sensor's name as a device id: separators and wildcards become '_'.
QString DeviceId(const QString& sensorName);

// Sparkplug B datatypes the node sends.
enum class DataType : std::uint32_t {
    Int64 = 4,
    UInt16 = 6,
    UInt32 = 7,
    Float = 9,
    Boolean = 11,
    String = 12
};

// One metric as births name it and data messages refer to it by alias.
struct Metric {
    std::string name;
    std::uint64_t alias = 0;  // 0: none (bdSeq, Node Control/Rebirth)
    DataType type = DataType::UInt16;
    bool null = true;
    std::uint64_t integer = 0;  // Int64, UInt16, UInt32, Boolean
    float real = 0;             // Float
    std::string text;           // String

    bool SameValue(const Metric& other) const {
        return null == other.null && integer == other.integer && real == other.real &&
               text == other.text;
    }
};

Metric Unsigned(std::string name, std::uint64_t alias, DataType type, std::uint64_t value);

// A frame as the node keeps it until it is sent: its time and the values of the device's frame
// metrics, in the order FrameMetricNames gives.
struct SpooledFrame {
    std::int64_t msSinceEpoch = 0;
    std::array<std::uint16_t, kFrameLineValues> values{};
    std::optional<float> margin;
    std::optional<float> secondMargin;
};
SpooledFrame SpooledFrameOf(const StampedFrame& frame);
QByteArray EncodeSpooled(const SpooledFrame& frame);
std::optional<SpooledFrame> DecodeSpooled(const QByteArray& bytes);

// The metrics of one sensor as a device: the frame values (the names of its calculation mode),
// the margins where its teach table has active rows, its version and its parameter set. Aliases
// run from `aliasBase` in that order, so a frame's metrics keep theirs across births.
class DeviceMetrics {
  public:
    static constexpr int kFrameMetrics = kFrameLineValues + 2;  // the values, both margins

    DeviceMetrics() = default;
    // Names the metric set; a name that comes twice keeps its first metric and is listed in
    // `collisions`.
    DeviceMetrics(const ParameterSet& params, const QString& version, std::uint64_t aliasBase,
                  std::vector<std::string>& collisions);

    // Every metric with its latest value, for a DBIRTH.
    const std::vector<Metric>& All() const { return all_; }
    // A frame's metrics: every one (history) or those that differ from the last sent (live),
    // which then become the last sent. A frame where nothing changed keeps its C-No, so that
    // each frame is a message with its time.
    std::vector<Metric> FrameMetrics(const SpooledFrame& frame, bool every);
    // The latest recorded frame: the values the next birth carries.
    void Latest(const SpooledFrame& frame);
    bool Empty() const { return all_.empty(); }

  private:
    std::vector<Metric> Values(const SpooledFrame& frame) const;

    std::vector<Metric> all_;  // the frame metrics first (absent margins are never sent)
    std::array<int, kFrameMetrics> index_{};  // of each frame metric in all_; -1: not a metric
};

// The payloads, serialized.
QByteArray DeathPayload(std::uint64_t bdSeq);
QByteArray BirthPayload(std::int64_t nowMs, int seq, const std::vector<Metric>& metrics);
QByteArray DataPayload(std::int64_t nowMs, int seq, const std::vector<Metric>& metrics,
                       std::int64_t metricMs, bool historical);

// What an NCMD asks: a rebirth, or nothing the node does (with the reason).
struct NodeCommand {
    bool rebirth = false;
    QString refused;  // empty: understood
};
NodeCommand ReadNodeCommand(const QByteArray& payload);

// A primary host's STATE: {"online":BOOL,"timestamp":MS}.
struct HostState {
    bool online = false;
    std::int64_t timestamp = 0;
};
std::optional<HostState> ReadHostState(const QByteArray& payload);

}  // namespace tvx::cli::sparkplug
