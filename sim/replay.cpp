#include "replay.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <array>

#include "frame_line.h"

namespace tvx::sim {

namespace {

// Where a value column goes in the data frame.
std::uint16_t* ValueSlot(Measurement& m, std::size_t column) {
    std::uint16_t* const fields[kFrameLineValues] = {
        &m.calR, &m.calG, &m.calB, &m.x, &m.y, &m.intensity, &m.colour, &m.group, &m.temp};
    return fields[column];
}

// When every frame carries the same time there is no gap to take: the loop then turns at about
// the rate of the scope's live view, a frame every 50 ms.
constexpr std::int64_t kFallbackGapMs = 50;

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
    std::optional<CsvLayout> layout;
    std::int64_t lastTime = 0;
    QString line;
    QString reason;
    for (int lineNo = 1; nextLine(&line); ++lineNo) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        const QStringList fields = line.split(QLatin1Char(','));
        if (headerLine == 0) {
            headerLine = lineNo;
            layout = ReadCsvHeader(fields, &reason);
            if (!layout) return fail(lineNo, reason);
            replay.siMode_ = layout->siMode;
            continue;
        }
        const std::optional<CsvRecord> record = ReadCsvRecord(*layout, fields, &reason);
        if (!record) return fail(lineNo, reason);
        Entry entry;
        if (!entries.empty()) {
            // A clock set back on the recording PC is no pause, not a reason to refuse.
            entry.at =
                entries.back().at + std::max<std::int64_t>(0, record->msSinceEpoch - lastTime);
        }
        lastTime = record->msSinceEpoch;
        for (std::size_t c = 0; c < kFrameLineValues; ++c)
            *ValueSlot(entry.frame, c) = record->values[c];
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
