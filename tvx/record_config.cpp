#include "record_config.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>

#include "service_notify.h"

namespace tvx::cli {

namespace {

const QString kRecord = QStringLiteral("record");
const QString kSensors = QStringLiteral("sensors");

// A line without what a ';' or '#' starts, trimmed (enough for section names and keys, which
// never hold those characters).
QString WithoutComment(const QString& line) {
    qsizetype end = line.size();
    for (const QChar mark : {QLatin1Char(';'), QLatin1Char('#')}) {
        const qsizetype at = line.indexOf(mark);
        if (at >= 0) end = std::min(end, at);
    }
    return line.left(end).trimmed();
}

// QSettings reads a value with commas as a list; the options want the text as written.
QString ValueText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<bool> ParseSwitch(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == "true" || t == "yes" || t == "on" || t == "1") return true;
    if (t == "false" || t == "no" || t == "off" || t == "0") return false;
    return std::nullopt;
}

// The structure QSettings does not tell: sections, each key's line, keys given twice (QSettings
// keeps the last one silently, which would lose a sensor of the same name).
struct FileLines {
    std::map<QString, int> lineOf;  // "section/key" -> line number
    QString error;
    int errorLine = 0;

    int LineOf(const QString& section, const QString& key) const {
        const auto it = lineOf.find(section + QLatin1Char('/') + key);
        return it == lineOf.end() ? 0 : it->second;
    }
    // A section's keys in the file's order (QSettings sorts them), so the first fault reported
    // is the first in the file.
    QStringList InFileOrder(QStringList keys, const QString& section) const {
        std::stable_sort(keys.begin(), keys.end(), [&](const QString& a, const QString& b) {
            return LineOf(section, a) < LineOf(section, b);
        });
        return keys;
    }
};

FileLines ScanLines(QFile& file) {
    FileLines scan;
    QString section;
    int number = 0;
    const auto fail = [&scan, &number](const QString& error) {
        scan.error = error;
        scan.errorLine = number;
        return scan;
    };
    while (!file.atEnd()) {
        ++number;
        const QString line = WithoutComment(QString::fromUtf8(file.readLine()));
        if (line.isEmpty()) continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']'))) return fail(QStringLiteral("expected [SECTION]"));
            section = line.mid(1, line.size() - 2).trimmed();
            if (section != kRecord && section != kSensors)
                return fail(QStringLiteral("unknown section [%1] (the sections are [record] and "
                                           "[sensors])")
                                .arg(section));
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq).trimmed();
        if (eq < 0 || key.isEmpty()) return fail(QStringLiteral("expected KEY = VALUE"));
        if (section.isEmpty())
            return fail(QStringLiteral("key \"%1\" comes before [record] or [sensors]").arg(key));
        const auto [first, fresh] =
            scan.lineOf.try_emplace(section + QLatin1Char('/') + key, number);
        if (!fresh) {
            const QString what = section == kSensors ? QStringLiteral("sensor \"%1\"").arg(key)
                                                     : QStringLiteral("key \"%1\"").arg(key);
            return fail(
                QStringLiteral("%1 given twice (first on line %2)").arg(what).arg(first->second));
        }
    }
    return scan;
}

// The arguments one [record] key stands for; an error naming the key when it is not an option
// of `tvx record` or its value does not fit.
QStringList RecordArguments(const QString& key, const QString& value, QString& error) {
    static const QStringList sensorOptions = {"sensor", "tcp", "serial"};
    if (sensorOptions.contains(key)) {
        error = QStringLiteral("key \"%1\": sensors go in [sensors] as NAME = URL").arg(key);
        return {};
    }
    const QString option = QStringLiteral("--") + key;
    const bool valued = OptionTakesValue(option);
    const QStringList probe = valued ? QStringList{option, value} : QStringList{option};
    // Checked on its own beside a stand-in sensor (and the Sparkplug keys beside a stand-in
    // broker and node), so the message is about this key alone.
    QStringList standIns{kRecord, QStringLiteral("--tcp=127.0.0.1:1")};
    if (key.startsWith(QLatin1String("sparkplug")))
        standIns << QStringLiteral("--mqtt=127.0.0.1:1") << QStringLiteral("--sparkplug=g/e");
    error = ParseTvxArguments(standIns + probe).error;
    if (error.startsWith(QLatin1String("unknown option")) || key == QLatin1String("config") ||
        key == QLatin1String("help")) {
        error = QStringLiteral("unknown key \"%1\" in [record]").arg(key);
        return {};
    }
    if (!error.isEmpty()) {
        error = QStringLiteral("key \"%1\": %2").arg(key, error);
        return {};
    }
    if (valued) return probe;
    const auto on = ParseSwitch(value);
    if (!on) error = QStringLiteral("key \"%1\" expects true or false").arg(key);
    return on.value_or(false) ? probe : QStringList{};
}

}  // namespace

RecordConfig ReadRecordConfig(const QString& path) {
    RecordConfig config;
    const auto fail = [&config, &path](int line, const QString& error) {
        config.error = line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(error)
                                : QStringLiteral("%1: %2").arg(path, error);
        return config;
    };
    QFile file(path);
    if (QFileInfo(path).isDir()) return fail(0, QStringLiteral("is a folder, not a file"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail(0, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    const FileLines lines = ScanLines(file);
    if (!lines.error.isEmpty()) return fail(lines.errorLine, lines.error);

    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return fail(0, QStringLiteral("is not a readable INI file"));
    QStringList arguments{kRecord};
    settings.beginGroup(kRecord);
    for (const QString& key : lines.InFileOrder(settings.allKeys(), kRecord)) {
        const QString value = ValueText(settings.value(key));
        QString error;
        arguments += RecordArguments(key, value, error);
        if (!error.isEmpty()) return fail(lines.LineOf(kRecord, key), error);
        config.recordKeys[key] = value.trimmed();
    }
    settings.endGroup();

    settings.beginGroup(kSensors);
    const QStringList names = lines.InFileOrder(settings.allKeys(), kSensors);
    settings.endGroup();
    if (names.isEmpty())
        return fail(0, QStringLiteral("no sensor in [sensors] (NAME = tcp://HOST:PORT or "
                                      "serial:DEVICE)"));
    for (const QString& name : names) {
        const QString sensor =
            name + QLatin1Char('=') + ValueText(settings.value(kSensors + QLatin1Char('/') + name));
        QString error;
        if (!ParseNamedSensor(sensor, error)) return fail(lines.LineOf(kSensors, name), error);
        arguments << QStringLiteral("--sensor") << sensor;
    }

    // What concerns several keys at once: --csv beside --mqtt, names that make one file name.
    ParsedTvxOptions parsed = ParseTvxArguments(arguments);
    if (!parsed.error.isEmpty()) return fail(0, parsed.error);
    config.options = std::move(parsed.options);
    config.options.configFile = path;
    return config;
}

namespace {

// The keys a running recording takes on a reload without a restart.
bool IsMarginAlarmKey(const QString& key) {
    return key == QLatin1String("margin-warn") || key == QLatin1String("margin-delay") ||
           key == QLatin1String("margin-deadband");
}

}  // namespace

ReloadPlan PlanReload(const RecordConfig& running, const RecordConfig& reread) {
    ReloadPlan plan;
    const auto find = [](const std::vector<NamedSensor>& sensors, const QString& name) {
        return std::find_if(sensors.begin(), sensors.end(),
                            [&name](const NamedSensor& s) { return s.name == name; });
    };
    const auto& before = running.options.sensors;
    const auto& after = reread.options.sensors;
    for (const NamedSensor& old : before) {
        const auto now = find(after, old.name);
        if (now == after.end() || now->address != old.address) plan.removed << old.name;
    }
    for (const NamedSensor& now : after) {
        const auto old = find(before, now.name);
        if (old == before.end() || old->address != now.address) plan.added.push_back(now);
    }
    std::map<QString, QString> keys = running.recordKeys;
    keys.insert(reread.recordKeys.begin(), reread.recordKeys.end());
    for (const auto& [key, value] : keys) {
        const auto old = running.recordKeys.find(key);
        const auto now = reread.recordKeys.find(key);
        const bool same = old != running.recordKeys.end() && now != reread.recordKeys.end() &&
                          old->second == now->second;
        if (same) continue;
        if (IsMarginAlarmKey(key))
            plan.marginAlarm = reread.options.marginAlarm;
        else
            plan.restartKeys << key;
    }
    return plan;
}

RecordReloader::RecordReloader(RecordConfig running, SensorChanges changes,
                               std::function<void(const QString&)> report,
                               ServiceNotifier* notifier)
    : running_(std::move(running)),
      changes_(std::move(changes)),
      report_(std::move(report)),
      notifier_(notifier) {}

void RecordReloader::Reload() {
    if (notifier_) notifier_->Reloading();
    const RecordConfig reread = ReadRecordConfig(running_.options.configFile);
    if (!reread.error.isEmpty()) {
        report_(reread.error + QStringLiteral("; the recording goes on unchanged"));
    } else {
        const ReloadPlan plan = PlanReload(running_, reread);
        const bool live = changes_.add && changes_.remove;
        const QString later = live ? QString() : QStringLiteral(" in the file; restart to apply");
        for (const QString& name : plan.removed) {
            const bool moved =
                std::any_of(plan.added.begin(), plan.added.end(),
                            [&name](const NamedSensor& s) { return s.name == name; });
            if (!moved) report_(QStringLiteral("%1: removed%2").arg(name, later));
            if (live) changes_.remove(name);
        }
        for (const NamedSensor& sensor : plan.added) {
            const bool moved = plan.removed.contains(sensor.name);
            report_(QStringLiteral("%1: %2 %3%4")
                        .arg(sensor.name,
                             moved ? QStringLiteral("moved to") : QStringLiteral("added,"),
                             sensor.address.Format(), later));
            if (live) changes_.add(sensor);
        }
        // A recording that cannot take them now says so, as for the keys only a restart applies.
        if (plan.marginAlarm && !changes_.marginAlarm)
            report_(QStringLiteral("restart to apply: the margin alarm's settings"));
        if (plan.marginAlarm && changes_.marginAlarm) {
            const MarginAlarmSettings& alarm = *plan.marginAlarm;
            changes_.marginAlarm(alarm);
            report_(QStringLiteral("margin alarm: warn %1, delay %2 s, deadband %3")
                        .arg(alarm.warn)
                        .arg(alarm.delaySeconds)
                        .arg(alarm.deadband));
            running_.options.marginAlarm = alarm;
            // What the recording runs with now, so that the next reload compares with it.
            for (auto it = running_.recordKeys.begin(); it != running_.recordKeys.end();)
                it = IsMarginAlarmKey(it->first) ? running_.recordKeys.erase(it) : std::next(it);
            for (const auto& [key, value] : reread.recordKeys)
                if (IsMarginAlarmKey(key)) running_.recordKeys[key] = value;
        }
        if (!plan.restartKeys.isEmpty())
            report_(QStringLiteral("restart to apply: ") +
                    plan.restartKeys.join(QLatin1String(", ")));
        if (plan.Empty())
            report_(
                QStringLiteral("%1 read again: nothing changed").arg(running_.options.configFile));
        // Only the sensors change while running; the other keys keep what the start took.
        if (live) running_.options.sensors = reread.options.sensors;
    }
    if (notifier_) notifier_->Ready();
}

}  // namespace tvx::cli
