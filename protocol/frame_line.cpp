#include "frame_line.h"

#include <QDate>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tvx {

namespace {

const FrameLineNames kXyNames = {"R", "G", "B", "X", "Y", "INT", "C-No", "GROUP", "TEMP"};
const FrameLineNames kSiNames = {"R", "G", "B", "s", "i", "M", "C-No", "GROUP", "TEMP"};
const MarginColumnNames kMarginNames = {"MARGIN", "MARGIN-ROW", "SECOND"};

QString JoinedNames(const FrameLineNames& names) {
    return QStringList(names.begin(), names.end()).join(QLatin1Char(','));
}

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Milliseconds since the epoch of "2026-12-09T01:02:03.456+01:00", exactly that form. By hand
// rather than by a regular expression: a day's recording has a million lines.
std::optional<std::int64_t> ParseTimeStamp(QStringView text) {
    static constexpr char kForm[] = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";  // d: a digit, +: + or -
    constexpr qsizetype kLength = sizeof kForm - 1;
    if (text.size() != kLength) return std::nullopt;
    for (qsizetype i = 0; i < kLength; ++i) {
        const bool fits = kForm[i] == 'd' ? IsDigit(text[i])
                          : kForm[i] == '+'
                              ? text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')
                              : text[i] == QLatin1Char(kForm[i]);
        if (!fits) return std::nullopt;
    }
    auto number = [&text](qsizetype from, qsizetype digits) {
        int value = 0;
        for (qsizetype i = from; i < from + digits; ++i) value = 10 * value + text[i].digitValue();
        return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    const int offsetHours = number(24, 2), offsetMinutes = number(27, 2);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59 || offsetHours > 14 ||
        offsetMinutes > 59) {
        return std::nullopt;
    }
    constexpr std::int64_t kUnixEpochJulianDay = 2440588;
    const std::int64_t offsetMs =
        (text[23] == QLatin1Char('-') ? -1 : 1) *
        (offsetHours * std::int64_t{3600000} + offsetMinutes * std::int64_t{60000});
    const std::int64_t localMs = (date.toJulianDay() - kUnixEpochJulianDay) * 86400000 +
                                 hour * std::int64_t{3600000} + minute * std::int64_t{60000} +
                                 second * std::int64_t{1000} + number(20, 3);
    return localMs - offsetMs;
}

// A margin as MarginText writes it, or any plain decimal -1 ... 1.
std::optional<double> ParseMargin(QStringView text) {
    if (text.isEmpty() || text.size() > 16) return std::nullopt;
    for (const QChar c : text)
        if (!IsDigit(c) && c != QLatin1Char('-') && c != QLatin1Char('.')) return std::nullopt;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= -1.0 && value <= 1.0)) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> ParseValue(QStringView text) {
    if (text.isEmpty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = 10 * value + c.digitValue();
    }
    if (value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

const FrameLineNames& FrameLineValueNames(bool siMode) {
    return siMode ? kSiNames : kXyNames;
}

std::array<qint64, kFrameLineValues> FrameLineValues(const LiveValues& v) {
    return {v.dataR,   v.dataG,   v.dataB,     v.dataX,   v.dataY,
            v.dataINT, v.dataCOL, v.dataGroup, v.dataTemp};
}

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

const MarginColumnNames& MarginColumns() {
    return kMarginNames;
}

QString MarginText(double margin) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%.3f", margin);
    if (length == 6 && std::strcmp(text, "-0.000") == 0) return QStringLiteral("0.000");
    return QString::fromLatin1(text, length);
}

QString CsvHeader(bool siMode) {
    return QStringLiteral("time,") + JoinedNames(FrameLineValueNames(siMode)) + QLatin1Char(',') +
           QStringList(kMarginNames.begin(), kMarginNames.end()).join(',');
}

QString CsvLine(const StampedFrame& frame) {
    QString line = IsoLocalTime(frame.time);
    line.reserve(line.size() + 9 * 7 + 20);
    for (const qint64 value : FrameLineValues(frame.values)) {
        line += QLatin1Char(',');
        line += QString::number(value);
    }
    if (!frame.margin) return line + QStringLiteral(",,,");
    line += QLatin1Char(',') + MarginText(frame.margin->first.margin) + QLatin1Char(',') +
            QString::number(frame.margin->first.row) + QLatin1Char(',');
    if (frame.margin->second) line += MarginText(frame.margin->second->margin);
    return line;
}

QString JsonLine(const StampedFrame& frame, long long seq) {
    const FrameLineNames& names = FrameLineValueNames(frame.siMode);
    const auto values = FrameLineValues(frame.values);
    QString line = seq > 0 ? QStringLiteral("{\"seq\":%1,").arg(seq) : QStringLiteral("{");
    line += QStringLiteral("\"time\":\"%1\"").arg(IsoLocalTime(frame.time));
    for (int i = 0; i < kFrameLineValues; ++i)
        line += QStringLiteral(",\"%1\":%2").arg(QLatin1String(names[i])).arg(values[i]);
    const auto& margin = frame.margin;
    const QString null = QStringLiteral("null");
    line += QStringLiteral(",\"margin\":%1,\"margin_row\":%2,\"second_margin\":%3")
                .arg(margin ? MarginText(margin->first.margin) : null,
                     margin ? QString::number(margin->first.row) : null,
                     margin && margin->second ? MarginText(margin->second->margin) : null);
    return line + QLatin1Char('}');
}

std::optional<CsvLayout> ReadCsvHeader(const QStringList& fields, QString* reason) {
    auto fail = [reason](const QString& why) {
        if (reason) *reason = why;
        return std::nullopt;
    };
    CsvLayout layout;
    layout.siMode = fields.contains(QLatin1String("s")) || fields.contains(QLatin1String("i")) ||
                    fields.contains(QLatin1String("M"));
    const FrameLineNames& names = FrameLineValueNames(layout.siMode);
    auto isKnown = [&names](const QString& field) {
        return field == QLatin1String("time") ||
               std::find(names.begin(), names.end(), field) != names.end() ||
               std::find(kMarginNames.begin(), kMarginNames.end(), field) != kMarginNames.end();
    };
    if (std::none_of(fields.begin(), fields.end(), isKnown)) {
        return fail(QStringLiteral("missing header: expected \"time,%1\" or \"time,%2\"")
                        .arg(JoinedNames(kXyNames), JoinedNames(kSiNames)));
    }
    for (int f = 0; f < fields.size(); ++f) {
        if (!isKnown(fields[f]))
            return fail(QStringLiteral("unknown column \"%1\"").arg(fields[f]));
        if (fields.indexOf(fields[f]) != f)
            return fail(QStringLiteral("column \"%1\" named twice").arg(fields[f]));
    }
    layout.timeField = static_cast<int>(fields.indexOf(QLatin1String("time")));
    if (layout.timeField < 0) return fail(QStringLiteral("missing column \"time\""));
    for (int c = 0; c < kFrameLineValues; ++c) {
        const auto column = static_cast<std::size_t>(c);
        layout.valueField[column] = static_cast<int>(fields.indexOf(QLatin1String(names[column])));
        if (layout.valueField[column] < 0)
            return fail(QStringLiteral("missing column \"%1\"").arg(names[column]));
    }
    std::array<int, kFrameLineMargins> marginField{};
    int marginColumns = 0;
    for (std::size_t c = 0; c < kFrameLineMargins; ++c) {
        marginField[c] = static_cast<int>(fields.indexOf(QLatin1String(kMarginNames[c])));
        if (marginField[c] >= 0) ++marginColumns;
    }
    if (marginColumns == kFrameLineMargins) {
        layout.marginField = marginField;
    } else if (marginColumns > 0) {
        const auto missing = static_cast<std::size_t>(
            std::find(marginField.begin(), marginField.end(), -1) - marginField.begin());
        return fail(QStringLiteral("missing column \"%1\": MARGIN, MARGIN-ROW and SECOND "
                                   "come together")
                        .arg(QLatin1String(kMarginNames[missing])));
    }
    return layout;
}

std::optional<CsvRecord> ReadCsvRecord(const CsvLayout& layout, const QStringList& fields,
                                       QString* reason) {
    auto fail = [reason](const QString& why) {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (fields.size() != layout.Fields())
        return fail(
            QStringLiteral("expected %1 fields, found %2").arg(layout.Fields()).arg(fields.size()));
    CsvRecord record;
    const auto time = ParseTimeStamp(fields[layout.timeField]);
    if (!time) {
        return fail(QStringLiteral("bad time stamp \"%1\": expected the form "
                                   "2026-12-09T01:02:03.456+01:00")
                        .arg(fields[layout.timeField]));
    }
    record.msSinceEpoch = *time;
    const FrameLineNames& names = FrameLineValueNames(layout.siMode);
    for (std::size_t c = 0; c < kFrameLineValues; ++c) {
        const QString& field = fields[layout.valueField[c]];
        const auto value = ParseValue(field);
        if (!value) {
            return fail(QStringLiteral("%1 \"%2\" is not a whole number 0...65535")
                            .arg(QLatin1String(names[c]), field));
        }
        record.values[c] = *value;
    }
    if (!layout.marginField) return record;
    const auto& field = *layout.marginField;
    const QString &margin = fields[field[0]], &row = fields[field[1]], &second = fields[field[2]];
    if (margin.isEmpty() && row.isEmpty() && second.isEmpty()) return record;  // no active row
    const auto marginValue = ParseMargin(margin);
    if (!marginValue)
        return fail(QStringLiteral("MARGIN \"%1\" is not a number -1...1").arg(margin));
    const auto rowValue = ParseValue(row);
    if (!rowValue || *rowValue >= kTeachRows)
        return fail(QStringLiteral("MARGIN-ROW \"%1\" is not a row 0...14").arg(row));
    record.margin = RowMargin{*rowValue, *marginValue};
    if (!second.isEmpty()) {
        record.secondMargin = ParseMargin(second);
        if (!record.secondMargin)
            return fail(QStringLiteral("SECOND \"%1\" is not a number -1...1").arg(second));
    }
    return record;
}

}  // namespace tvx
