#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

#include "parameter_set.h"
#include "recognition_margin.h"

namespace tvx {

// One live frame as it is printed, recorded and played back: `tvx watch` and `tvx record` write
// it as a CSV or JSON line, the simulator reads the CSV back. The format lives here only.
struct StampedFrame {
    QDateTime time;
    LiveValues values;
    bool siMode = false;  // calculation mode 1: s, i, M instead of X, Y, INT
    // Against the teach table the sensor was read with; none without an active row.
    std::optional<RecognitionMargin> margin;
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

// The margin columns after the values: the margin of the reported row (of the nearest row for
// C-No 255), that row, and the largest margin of the other rows.
inline constexpr int kFrameLineMargins = 3;
using MarginColumnNames = std::array<const char*, kFrameLineMargins>;
const MarginColumnNames& MarginColumns();  // MARGIN, MARGIN-ROW, SECOND
// A margin as the lines carry it: three decimals, "0.000" rather than "-0.000".
QString MarginText(double margin);

// The CSV header: time, the value names the scope shows, then the margin columns.
QString CsvHeader(bool siMode);
// One RFC 4180 record, without its line end. The margin columns are empty where there is no
// margin, SECOND also where there is no other row.
QString CsvLine(const StampedFrame& frame);
// One JSON object on one line, the same names as the CSV header, the margin's as "margin",
// "margin_row" and "second_margin" (null where there is none); with a sequence number above 0
// it leads as "seq".
QString JsonLine(const StampedFrame& frame, long long seq = 0);

// Reading a CSV back. The header names `time` and the value columns of one calculation mode,
// each once, in any order, and the three margin columns (any order) or none of them: files
// written before the margin was recorded have none.
struct CsvLayout {
    bool siMode = false;
    int timeField = -1;
    std::array<int, kFrameLineValues> valueField{};  // field of each value, in name order
    // Field of MARGIN, MARGIN-ROW and SECOND; nothing in a file without them.
    std::optional<std::array<int, kFrameLineMargins>> marginField;
    int Fields() const { return 1 + kFrameLineValues + (marginField ? kFrameLineMargins : 0); }
};
struct CsvRecord {
    std::int64_t msSinceEpoch = 0;
    std::array<std::uint16_t, kFrameLineValues> values{};  // in name order
    // From the margin columns where the line has them: the margin, its row (0 ... 14) and the
    // second margin, each -1 ... 1.
    std::optional<RowMargin> margin;
    std::optional<double> secondMargin;
};
// The layout the header's fields give; nothing, with the reason in *reason, when they are not a
// header of these columns.
std::optional<CsvLayout> ReadCsvHeader(const QStringList& fields, QString* reason);
// One record under `layout`: its time (exactly the form IsoLocalTime writes) and whole numbers
// 0...65535; nothing, with the reason in *reason, for anything else.
std::optional<CsvRecord> ReadCsvRecord(const CsvLayout& layout, const QStringList& fields,
                                       QString* reason);

}  // namespace tvx
