#pragma once

#include <QDateTime>
#include <QString>

#include "parameter_set.h"

namespace tvx::cli {

// One live frame as tvx prints and records it.
struct StampedFrame {
    QDateTime time;
    LiveValues values;
    bool siMode = false;  // calculation mode 1: s, i, M instead of X, Y, INT
};

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

}  // namespace tvx::cli
