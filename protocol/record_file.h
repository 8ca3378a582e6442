#pragma once

// The record file of the data recorder: a header naming the columns, then one line per recorded
// frame with the local date and time and the seven measured values, all separated by TAB.
// Both are only ever appended; nothing is rewritten and nothing reads the file back.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>

#include "parameter_set.h"

namespace tvx {

// R, G, B, X (s), Y (i), INT (M), TEMP, in the order of the file's columns.
using RecordValues = std::array<std::uint16_t, 7>;

RecordValues RecordValuesOf(const LiveValues& live);

// The nine column names, each followed by a TAB and a zero byte, then CR LF. The same in both
// calculation modes ("X s" names the X or the s column).
QByteArray RecordFileHeader();

// The date as MM-DD-YYYY in a 12-byte field filled up with zero bytes.
QByteArray RecordDateField(const QDate& date);
// The time as HH:MM:SS (24 hours) in a 12-byte field filled up with zero bytes.
QByteArray RecordTimeField(const QTime& time);
// The seven values as unsigned decimal numbers separated by TAB, ended by CR LF.
QByteArray RecordValueRow(const RecordValues& values);
// One whole record line: date field, TAB, time field, TAB, value row.
QByteArray RecordLine(const QDateTime& now, const RecordValues& values);

// Starts a new record file at `path` (an existing one is replaced) holding only the header.
// False when the file cannot be written.
bool WriteFileHeader(const QString& path);
// Appends one record line to the file at `path`, piece by piece as the line is built (date,
// TAB, time, TAB, values), so that another program reading the file sees whole pieces only.
// False when any piece could not be appended.
bool ToFile(const QString& path, const QDateTime& now, const RecordValues& values);

}  // namespace tvx
