#include "replay.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>
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

// Milliseconds since the epoch of "2026-12-09T01:02:03.456+01:00", exactly that form.
std::optional<std::int64_t> ParseTimeStamp(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{3})([+-])(\d\d):(\d\d)$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) return std::nullopt;
    auto part = [&match](int i) { return match.capturedView(i).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const int hour = part(4), minute = part(5), second = part(6);
    const int offsetHours = part(9), offsetMinutes = part(10);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59 || offsetHours > 14 ||
        offsetMinutes > 59) {
        return std::nullopt;
    }
    constexpr std::int64_t kUnixEpochJulianDay = 2440588;
    const std::int64_t offsetMs =
        (match.capturedView(8) == QLatin1String("-") ? -1 : 1) *
        (offsetHours * std::int64_t{3600000} + offsetMinutes * std::int64_t{60000});
    const std::int64_t localMs = (date.toJulianDay() - kUnixEpochJulianDay) * 86400000 +
                                 hour * std::int64_t{3600000} + minute * std::int64_t{60000} +
                                 second * std::int64_t{1000} + part(7);
    return localMs - offsetMs;
}

std::optional<std::uint16_t> ParseValue(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,5}$"));
    if (!digits.match(text).hasMatch()) return std::nullopt;
    const int value = text.toInt();
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
    Replay replay;
    auto fail = [&](int line, const QString& reason) {
        if (error) *error = QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(reason);
        return std::nullopt;
    };
    const QStringList lines = text.split(QLatin1Char('\n'));
    int headerLine = 0;
    // Field index of each value column, in the order of ValueSlot.
    std::array<int, kValueColumns> fieldOf{};
    int timeField = -1;
    std::int64_t lastTime = 0;
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        const int lineNo = n + 1;
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
        if (!replay.entries_.empty()) {
            // A clock set back on the recording PC is no pause, not a reason to refuse.
            entry.at = replay.entries_.back().at + std::max<std::int64_t>(0, *time - lastTime);
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
        replay.entries_.push_back(entry);
    }
    if (headerLine == 0) return fail(1, QStringLiteral("missing header"));
    if (replay.entries_.empty())
        return fail(headerLine, QStringLiteral("no frame after the header"));
    replay.typicalGapMs_ = TypicalGap(replay.entries_);
    return replay;
}

std::optional<Replay> Replay::Load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return Parse(QString::fromUtf8(file.readAll()), path, error);
}

const Measurement& Replay::FrameAt(std::int64_t ms) const {
    std::int64_t t = std::max<std::int64_t>(ms, 0);
    if (!hold_) t %= loopPeriod();
    // The last frame whose time has come.
    const auto it =
        std::upper_bound(entries_.begin(), entries_.end(), t,
                         [](std::int64_t value, const Entry& e) { return value < e.at; });
    return std::prev(it)->frame;
}

}  // namespace tvx::sim
