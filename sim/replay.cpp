#include "replay.h"

#include <QDate>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>

namespace tvx::sim {

namespace {

constexpr int kValueColumns = 9;
constexpr int kColumns = 1 + kValueColumns;

// The value columns in the order of `ValueSlot`, as each calculation mode names them.
const std::array<const char*, kValueColumns> kXyNames = {"R",   "G",    "B",     "X",   "Y",
                                                         "INT", "C-No", "GROUP", "TEMP"};
const std::array<const char*, kValueColumns> kSiNames = {"R", "G",    "B",     "s",   "i",
                                                         "M", "C-No", "GROUP", "TEMP"};

// Where a value column goes in the data frame.
std::uint16_t* ValueSlot(Measurement& m, int column) {
    std::uint16_t* const fields[kValueColumns] = {&m.calR,      &m.calG,   &m.calB,  &m.x,   &m.y,
                                                  &m.intensity, &m.colour, &m.group, &m.temp};
    return fields[column];
}

// When every frame carries the same time there is no gap to take: the loop then turns at about
// the rate of the scope's live view, a frame every 50 ms.
constexpr std::int64_t kFallbackGapMs = 50;

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

// The median of the pauses between frames: a recording may hold a few long ones (a sensor
// reconnected, a run appended later), which would stretch a mean but not the median.
std::int64_t TypicalGap(const std::vector<Replay::Entry>& entries) {
    std::vector<std::int64_t> gaps;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const std::int64_t gap = entries[i].at - entries[i - 1].at;
        if (gap > 0) gaps.push_back(gap);
    }
    if (gaps.empty()) return kFallbackGapMs;
    const auto middle = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
    std::nth_element(gaps.begin(), middle, gaps.end());
    return *middle;
}

}  // namespace

std::optional<Replay> Replay::Parse(const QString& text, const QString& fileName, QString* error) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype next = 0;
    return ParseLines(
        [&](QString* line) {
            if (next == lines.size()) return false;
            *line = lines[next++];
            return true;
        },
        fileName, error);
}

std::optional<Replay> Replay::ParseLines(const std::function<bool(QString*)>& nextLine,
                                         const QString& fileName, QString* error) {
    Replay replay;
    std::vector<Entry> entries;
    auto fail = [&](int line, const QString& reason) {
        if (error) *error = QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(reason);
        return std::nullopt;
    };
    int headerLine = 0;
    // Field index of each value column, in the order of ValueSlot.
    std::array<int, kValueColumns> fieldOf{};
    int timeField = -1;
    std::int64_t lastTime = 0;
    QString line;
    for (int lineNo = 1; nextLine(&line); ++lineNo) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (headerLine == 0) {
            headerLine = lineNo;
            const bool si = fields.contains(QLatin1String("s")) ||
                            fields.contains(QLatin1String("i")) ||
                            fields.contains(QLatin1String("M"));
            const auto& names = si ? kSiNames : kXyNames;
            auto isKnown = [&names](const QString& field) {
                return field == QLatin1String("time") ||
                       std::find(names.begin(), names.end(), field) != names.end();
            };
            if (std::none_of(fields.begin(), fields.end(), isKnown)) {
                return fail(
                    lineNo,
                    QStringLiteral("missing header: expected \"time,%1\" or "
                                   "\"time,%2\"")
                        .arg(QStringList(kXyNames.begin(), kXyNames.end()).join(QLatin1Char(',')),
                             QStringList(kSiNames.begin(), kSiNames.end()).join(QLatin1Char(','))));
            }
            for (int f = 0; f < fields.size(); ++f) {
                if (!isKnown(fields[f]))
                    return fail(lineNo, QStringLiteral("unknown column \"%1\"").arg(fields[f]));
                if (fields.indexOf(fields[f]) != f)
                    return fail(lineNo, QStringLiteral("column \"%1\" named twice").arg(fields[f]));
            }
            timeField = static_cast<int>(fields.indexOf(QLatin1String("time")));
            if (timeField < 0) return fail(lineNo, QStringLiteral("missing column \"time\""));
            for (int c = 0; c < kValueColumns; ++c) {
                fieldOf[c] = static_cast<int>(fields.indexOf(QLatin1String(names[c])));
                if (fieldOf[c] < 0)
                    return fail(lineNo, QStringLiteral("missing column \"%1\"").arg(names[c]));
            }
            replay.siMode_ = si;
            continue;
        }
        if (fields.size() != kColumns) {
            return fail(
                lineNo,
                QStringLiteral("expected %1 fields, found %2").arg(kColumns).arg(fields.size()));
        }
        const auto time = ParseTimeStamp(fields[timeField]);
        if (!time) {
            return fail(lineNo, QStringLiteral("bad time stamp \"%1\": expected the form "
                                               "2026-12-09T01:02:03.456+01:00")
                                    .arg(fields[timeField]));
        }
        Entry entry;
        if (!entries.empty()) {
            // A clock set back on the recording PC is no pause, not a reason to refuse.
            entry.at = entries.back().at + std::max<std::int64_t>(0, *time - lastTime);
        }
        lastTime = *time;
        const auto& names = replay.siMode_ ? kSiNames : kXyNames;
        for (int c = 0; c < kValueColumns; ++c) {
            const QString& field = fields[fieldOf[c]];
            const auto value = ParseValue(field);
            if (!value) {
                return fail(lineNo, QStringLiteral("%1 \"%2\" is not a whole number 0...65535")
                                        .arg(QLatin1String(names[c]), field));
            }
            *ValueSlot(entry.frame, c) = *value;
        }
        entry.frame.rawR = entry.frame.calR;
        entry.frame.rawG = entry.frame.calG;
        entry.frame.rawB = entry.frame.calB;
        entries.push_back(entry);
    }
    if (headerLine == 0) return fail(1, QStringLiteral("missing header"));
    if (entries.empty()) return fail(headerLine, QStringLiteral("no frame after the header"));
    replay.typicalGapMs_ = TypicalGap(entries);
    replay.entries_ = std::make_shared<const std::vector<Entry>>(std::move(entries));
    return replay;
}

std::optional<Replay> Replay::Load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return ParseLines(
        [&file](QString* line) {
            if (file.atEnd()) return false;
            QByteArray bytes = file.readLine();
            if (bytes.endsWith('\n')) bytes.chop(1);
            *line = QString::fromUtf8(bytes);
            return true;
        },
        path, error);
}

const Measurement& Replay::FrameAt(std::int64_t ms) const {
    std::int64_t t = std::max<std::int64_t>(ms, 0);
    if (!hold_) t %= loopPeriod();
    // The last frame whose time has come.
    const auto it =
        std::upper_bound(entries_->begin(), entries_->end(), t,
                         [](std::int64_t value, const Entry& e) { return value < e.at; });
    return std::prev(it)->frame;
}

}  // namespace tvx::sim
