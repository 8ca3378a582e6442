#include "scenario.h"

#include <QFile>
#include <QStringList>
#include <algorithm>

namespace tvx::sim {

namespace {

bool ParseInt64(const QString& text, std::int64_t* value) {
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (ok) *value = v;
    return ok;
}

bool ParseSignal(const QString& text, double* value) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < 0 || v > 4095) return false;
    *value = v;
    return true;
}

}  // namespace

std::optional<Scenario> Scenario::Parse(const QString& text, QString* error) {
    Scenario scenario;
    bool sawEntry = false;
    bool sawLoop = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto fail = [&](int line, const QString& reason) {
        if (error) *error = QStringLiteral("line %1: %2").arg(line).arg(reason);
        return std::nullopt;
    };
    for (int n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        const int hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0) line.truncate(hash);
        const QStringList f = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.isEmpty()) continue;
        const int lineNo = n + 1;
        if (sawLoop) return fail(lineNo, QStringLiteral("nothing may follow \"loop\""));
        if (f[0] == QLatin1String("clock")) {
            if (sawEntry) return fail(lineNo, QStringLiteral("\"clock\" must come first"));
            if (f.size() != 2) return fail(lineNo, QStringLiteral("expected \"clock ms|frames\""));
            if (f[1] == QLatin1String("ms")) {
                scenario.clock_ = Clock::Milliseconds;
            } else if (f[1] == QLatin1String("frames")) {
                scenario.clock_ = Clock::Frames;
            } else {
                return fail(lineNo, QStringLiteral("unknown clock \"%1\"").arg(f[1]));
            }
            continue;
        }
        if (f[0] == QLatin1String("loop")) {
            std::int64_t period = 0;
            if (f.size() != 2 || !ParseInt64(f[1], &period) || period <= 0) {
                return fail(lineNo, QStringLiteral("expected \"loop PERIOD\" with PERIOD > 0"));
            }
            if (!sawEntry) return fail(lineNo, QStringLiteral("\"loop\" needs entries before"));
            if (period <= scenario.entries_.back().at) {
                return fail(lineNo, QStringLiteral("loop period must exceed the last time"));
            }
            scenario.loop_ = period;
            sawLoop = true;
            continue;
        }
        if (f.size() != 4 && f.size() != 5) {
            return fail(lineNo, QStringLiteral("expected \"T R G B [TEMP]\""));
        }
        Entry entry;
        if (!ParseInt64(f[0], &entry.at) || entry.at < 0) {
            return fail(lineNo, QStringLiteral("bad time \"%1\"").arg(f[0]));
        }
        if (sawEntry && entry.at < scenario.entries_.back().at) {
            return fail(lineNo, QStringLiteral("times must not decrease"));
        }
        if (!ParseSignal(f[1], &entry.sample.r) || !ParseSignal(f[2], &entry.sample.g) ||
            !ParseSignal(f[3], &entry.sample.b)) {
            return fail(lineNo, QStringLiteral("R, G and B must be numbers 0..4095"));
        }
        if (f.size() == 5) {
            bool ok = false;
            entry.sample.temp = f[4].toDouble(&ok);
            if (!ok || entry.sample.temp < -40 || entry.sample.temp > 150) {
                return fail(lineNo, QStringLiteral("TEMP must be a number -40..150"));
            }
        }
        scenario.entries_.push_back(entry);
        sawEntry = true;
    }
    if (!sawEntry) {
        if (error) *error = QStringLiteral("no entries");
        return std::nullopt;
    }
    return scenario;
}

std::optional<Scenario> Scenario::Load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString parseError;
    auto scenario = Parse(QString::fromUtf8(file.readAll()), &parseError);
    if (!scenario && error) *error = QStringLiteral("%1: %2").arg(path, parseError);
    return scenario;
}

Sample Scenario::SampleAt(std::int64_t ms, std::int64_t frames) const {
    if (entries_.empty()) return Sample{};
    std::int64_t t = clock_ == Clock::Frames ? frames : ms;
    if (loop_ > 0 && t >= 0) t %= loop_;
    // The last entry whose time has come.
    auto it = std::upper_bound(entries_.begin(), entries_.end(), t,
                               [](std::int64_t value, const Entry& e) { return value < e.at; });
    if (it == entries_.begin()) return entries_.front().sample;
    return std::prev(it)->sample;
}

}  // namespace tvx::sim
