#include "record_file.h"

#include <QFile>

namespace tvx {

namespace {

constexpr int kDateTimeFieldBytes = 12;

QByteArray ZeroFilledField(const QString& text) {
    QByteArray field = text.toLatin1();
    field.resize(kDateTimeFieldBytes, '\0');
    return field;
}

bool Append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

}  // namespace

RecordValues RecordValuesOf(const LiveValues& live) {
    return {live.dataR, live.dataG,   live.dataB,   live.dataX,
            live.dataY, live.dataINT, live.dataTemp};
}

QByteArray RecordFileHeader() {
    static constexpr const char* kNames[] = {"DATE", "TIME", "RED",   "GREEN", "BLUE",
                                             "X s",  "Y i",  "INT M", "TEMP"};
    QByteArray header;
    for (const char* name : kNames) {
        header.append(name);
        header.append('\t');
        header.append('\0');
    }
    header.append("\r\n");
    return header;
}

QByteArray RecordDateField(const QDate& date) {
    return ZeroFilledField(date.toString(QStringLiteral("MM-dd-yyyy")));
}

QByteArray RecordTimeField(const QTime& time) {
    return ZeroFilledField(time.toString(QStringLiteral("HH:mm:ss")));
}

QByteArray RecordValueRow(const RecordValues& values) {
    QByteArray row;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) row.append('\t');
        row.append(QByteArray::number(values[i]));
    }
    row.append("\r\n");
    return row;
}

QByteArray RecordLine(const QDateTime& now, const RecordValues& values) {
    return RecordDateField(now.date()) + '\t' + RecordTimeField(now.time()) + '\t' +
           RecordValueRow(values);
}

bool WriteFileHeader(const QString& path) {
    if (path.isEmpty()) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray header = RecordFileHeader();
    return file.write(header) == header.size() && file.flush();
}

bool ToFile(const QString& path, const QDateTime& now, const RecordValues& values) {
    if (path.isEmpty()) return false;
    const QByteArray tab(1, '\t');
    // A piece that failed would leave the rest of the line without its columns: stop there.
    for (const QByteArray& piece : {RecordDateField(now.date()), tab, RecordTimeField(now.time()),
                                    tab, RecordValueRow(values)})
        if (!Append(path, piece)) return false;
    return true;
}

}  // namespace tvx
