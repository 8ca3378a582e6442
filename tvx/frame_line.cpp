#include "frame_line.h"

#include <QStringList>

namespace tvx::cli {

namespace {

QStringList ValueNames(bool siMode) {
    return siMode ? QStringList{"R", "G", "B", "s", "i", "M", "C-No", "GROUP", "TEMP"}
                  : QStringList{"R", "G", "B", "X", "Y", "INT", "C-No", "GROUP", "TEMP"};
}

QList<qint64> Values(const LiveValues& v) {
    return {v.dataR,   v.dataG,   v.dataB,     v.dataX,   v.dataY,
            v.dataINT, v.dataCOL, v.dataGroup, v.dataTemp};
}

}  // namespace

QString IsoLocalTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    const int offset = local.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString CsvHeader(bool siMode) {
    return QStringLiteral("time,") + ValueNames(siMode).join(QLatin1Char(','));
}

QString CsvLine(const StampedFrame& frame) {
    QString line = IsoLocalTime(frame.time);
    for (const qint64 value : Values(frame.values))
        line += QLatin1Char(',') + QString::number(value);
    return line;
}

QString JsonLine(const StampedFrame& frame, long long seq) {
    const QStringList names = ValueNames(frame.siMode);
    const QList<qint64> values = Values(frame.values);
    QString line = seq > 0 ? QStringLiteral("{\"seq\":%1,").arg(seq) : QStringLiteral("{");
    line += QStringLiteral("\"time\":\"%1\"").arg(IsoLocalTime(frame.time));
    for (qsizetype i = 0; i < names.size(); ++i)
        line += QStringLiteral(",\"%1\":%2").arg(names[i]).arg(values[i]);
    return line + QLatin1Char('}');
}

}  // namespace tvx::cli
