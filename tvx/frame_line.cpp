#include "frame_line.h"

#include <QStringList>
#include <cstdio>

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

QDateTime LocalNow() {
    constexpr qint64 kQuarterHourMs = 15 * 60 * 1000;
    static qint64 quarter = -1;
    static int offsetSeconds = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / kQuarterHourMs != quarter) {
        quarter = now / kQuarterHourMs;
        offsetSeconds = QDateTime::fromMSecsSinceEpoch(quarter * kQuarterHourMs).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(now, Qt::OffsetFromUTC, offsetSeconds);
}

QString IsoLocalTime(const QDateTime& time) {
    // Put together by hand: a time that carries its offset (LocalNow) then needs no look at the
    // zone, which a formatted QDateTime would take again.
    const int offset = time.offsetFromUtc();
    constexpr qint64 kDayMs = 24 * 3600 * 1000;
    constexpr qint64 kUnixEpochJulianDay = 2440588;
    const qint64 local = time.toMSecsSinceEpoch() + offset * qint64{1000};
    const qint64 days = local / kDayMs - (local % kDayMs < 0 ? 1 : 0);
    const qint64 inDay = local - days * kDayMs;
    const QDate date = QDate::fromJulianDay(kUnixEpochJulianDay + days);
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    char text[48];
    const int length = std::snprintf(
        text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year(),
        date.month(), date.day(), static_cast<int>(inDay / 3600000),
        static_cast<int>(inDay / 60000 % 60), static_cast<int>(inDay / 1000 % 60),
        static_cast<int>(inDay % 1000), offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QString::fromLatin1(text, length);
}

QString CsvHeader(bool siMode) {
    return QStringLiteral("time,") + ValueNames(siMode).join(QLatin1Char(','));
}

QString CsvLine(const StampedFrame& frame) {
    QString line = IsoLocalTime(frame.time);
    line.reserve(line.size() + 9 * 7);
    for (const qint64 value : Values(frame.values)) {
        line += QLatin1Char(',');
        line += QString::number(value);
    }
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
