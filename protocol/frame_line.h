#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

#include "parameter_set.h"

namespace tvx {

// One live frame as it is printed, recorded and played back: `tvx watch` and `tvx record` write
// it as a CSV or JSON line, the simulator reads the CSV back. The format lives here only.
struct StampedFrame {
    QDateTime time;
    LiveValues values;
    bool siMode = false;  // calculation mode 1: s, i, M instead of X, Y, INT
};

// The value columns after "time", as each calculation mode names them.
inline constexpr int kFrameLineValues = 9;
using FrameLineNames = std::array<const char*, kFrameLineValues>;
const FrameLineNames& FrameLineValueNames(bool siMode);
// A frame's values in the order of those names.
std::array<qint64, kFrameLineValues> FrameLineValues(const LiveValues& values);

// The current local time, with the zone's offset as of the current quarter hour: zones change
// their offset only at quarter hours, and asking the zone on every frame costs a look at the
// zone file each time.
QDateTime LocalNow();

// ISO 8601 local time with its offset and milliseconds: 2026-03-01T14:05:09.042+01:00.
QString IsoLocalTime(const QDateTime& time);

// The CSV header: time and the value names the scope shows.
QString CsvHeader(bool siMode);
// One RFC 4180 record, without its line end.
QString CsvLine(const StampedFrame& frame);
// One JSON object on one line, the same names as the CSV header; with a sequence number above 0
// it leads as "seq".
QString JsonLine(const StampedFrame& frame, long long seq = 0);

// Reading a CSV back. The header names `time` and the value columns of one calculation mode,
// each once, in any order.
struct CsvLayout {
    bool siMode = false;
    int timeField = -1;
    std::array<int, kFrameLineValues> valueField{};  // field of each value, in name order
};
struct CsvRecord {
    std::int64_t msSinceEpoch = 0;
    std::array<std::uint16_t, kFrameLineValues> values{};  // in name order
};
// The layout the header's fields give; nothing, with the reason in *reason, when they are not a
// header of these columns.
std::optional<CsvLayout> ReadCsvHeader(const QStringList& fields, QString* reason);
// One record under `layout`: its time (exactly the form IsoLocalTime writes) and whole numbers
// 0...65535; nothing, with the reason in *reason, for anything else.
std::optional<CsvRecord> ReadCsvRecord(const CsvLayout& layout, const QStringList& fields,
                                       QString* reason);

}  // namespace tvx
