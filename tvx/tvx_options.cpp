#include "tvx_options.h"

#include <QRegularExpression>
#include <cmath>

#include "host_port.h"
#include "sparkplug_node.h"

namespace tvx::cli {

namespace {

struct CommandName {
    const char* name;
    Command command;
};
constexpr CommandName kCommands[] = {
    {"info", Command::Info},   {"get", Command::Get},       {"send", Command::Send},
    {"watch", Command::Watch}, {"record", Command::Record}, {"show", Command::Show},
    {"diff", Command::Diff},   {"check", Command::Check},   {"report", Command::Report}};

// A set of commands, one bit each.
using Commands = unsigned;
constexpr Commands Of(std::initializer_list<Command> commands) {
    Commands set = 0;
    for (const Command c : commands) set |= 1u << static_cast<unsigned>(c);
    return set;
}
// Every command but report, which reads recordings.
constexpr Commands kSensorCommands = ~Of({Command::None, Command::Report});

// Stores an option's value in the options, or says in `error` why it does not fit.
using Take = void (*)(TvxOptions& o, const QString& option, const QString& value, QString& error);

// One option: its name with the dashes, the commands that accept it, whether it takes a value,
// and how the value is stored and checked.
struct OptionRule {
    const char* name;
    Commands commands;
    bool takesValue;
    Take take;
};

std::optional<double> ParseSeconds(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0.0) return std::nullopt;
    return value;
}

void TakeSensor(TvxOptions& o, const QString& option, const QString& value, QString& error) {
    QString url = value;
    if (option == QLatin1String("--tcp")) url = QStringLiteral("tcp://") + value;
    if (option == QLatin1String("--serial")) url = QStringLiteral("serial:") + value;
    const auto sensor = ParseNamedSensor(url, error);
    if (!sensor) return;
    // diff may compare a sensor's RAM with its own EEPROM: the same sensor twice.
    for (const NamedSensor& other : o.sensors) {
        if (o.command == Command::Diff) break;
        if (other.name == sensor->name) {
            error = QStringLiteral("sensor name \"%1\" given twice").arg(sensor->name);
        } else if (SafeFileName(other.name) == SafeFileName(sensor->name)) {
            error = QStringLiteral("sensors \"%1\" and \"%2\" give the same file name")
                        .arg(other.name, sensor->name);
        }
    }
    if (!error.isEmpty()) return;
    o.sensors.push_back(*sensor);
    if (o.command == Command::Show || o.command == Command::Diff)
        o.sources.push_back({QString(), o.sensors.size() - 1, false});
}

void TakeEeprom(TvxOptions& o, const QString&, const QString&, QString& error) {
    o.eeprom = true;
    if (o.command != Command::Diff) return;
    // Each side has its own memory: --eeprom goes with the sensor just before it.
    if (o.sources.empty() || !o.sources.back().sensor) {
        error = QStringLiteral("--eeprom follows the sensor whose EEPROM is meant");
        return;
    }
    o.sources.back().eeprom = true;
}

template <bool TvxOptions::*field, bool value>
void Set(TvxOptions& o, const QString&, const QString&, QString&) {
    o.*field = value;
}

// A name kept as given; an empty one lacks `kLacks[lacks]` ("--csv needs a folder").
enum class Lacks { Nothing, Value, Folder, File };
template <QString TvxOptions::*field, Lacks lacks>
void TakeName(TvxOptions& o, const QString& option, const QString& value, QString& error) {
    static constexpr const char* kLacks[] = {"", "a value", "a folder", "a file"};
    if (lacks != Lacks::Nothing && value.isEmpty())
        error = QStringLiteral("%1 needs %2").arg(option, QLatin1String(kLacks[int(lacks)]));
    o.*field = value;
}

void TakeCount(TvxOptions& o, const QString&, const QString& value, QString& error) {
    bool ok = false;
    const long long n = value.toLongLong(&ok);
    if (!ok || n < 1) error = QStringLiteral("--count expects a whole number above 0");
    o.count = n;
}

// --margin-warn RATIO, --margin-delay SECONDS, --margin-deadband RATIO: a number here, its range
// once all are read (MarginAlarmSettings::Problem).
void TakeMarginSetting(TvxOptions& o, const QString& option, const QString& value, QString& error) {
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok) {
        error = QStringLiteral("%1 expects a number, got \"%2\"").arg(option, value);
        return;
    }
    if (option == QLatin1String("--margin-warn"))
        o.marginAlarm.warn = number;
    else if (option == QLatin1String("--margin-delay"))
        o.marginAlarm.delaySeconds = number;
    else
        o.marginAlarm.deadband = number;
}

void TakeFormat(TvxOptions& o, const QString&, const QString& value, QString& error) {
    if (o.command != Command::Watch) {
        if (value == QLatin1String("text"))
            o.reportFormat = ReportFormat::Text;
        else if (value == QLatin1String("json"))
            o.reportFormat = ReportFormat::Json;
        else
            error = QStringLiteral("--format expects text or json, got \"%1\"").arg(value);
        return;
    }
    if (value == QLatin1String("csv"))
        o.format = LineFormat::Csv;
    else if (value == QLatin1String("jsonl"))
        o.format = LineFormat::Jsonl;
    else
        error = QStringLiteral("--format expects csv or jsonl, got \"%1\"").arg(value);
}

void TakeSeconds(TvxOptions& o, const QString& option, const QString& value, QString& error) {
    const auto seconds = ParseSeconds(value);
    if (!seconds)
        error = QStringLiteral("%1 expects seconds above 0, got \"%2\"").arg(option, value);
    else if (option == QLatin1String("--interval"))
        o.interval = *seconds;
    else
        o.duration = seconds;
}

void TakeBroker(TvxOptions& o, const QString&, const QString& value, QString& error) {
    const HostPort broker = ParseHostPort(value, o.mqttPort);
    if (broker.host.isEmpty())
        error = QStringLiteral("--mqtt needs a broker host");
    else if (!broker.port)
        error = QStringLiteral("--mqtt expects HOST[:PORT], got \"%1\"").arg(value);
    o.mqttHost = broker.host;
    o.mqttPort = broker.port.value_or(0);
}

void TakeTopic(TvxOptions& o, const QString&, const QString& value, QString& error) {
    if (value.isEmpty() || value.contains(QLatin1Char('#')) || value.contains(QLatin1Char('+')))
        error = QStringLiteral("--topic expects a topic prefix without wildcards");
    o.topic = value;
}

void TakeSparkplug(TvxOptions& o, const QString&, const QString& value, QString& error) {
    if (const auto node = sparkplug::ParseNodeName(value, error)) {
        o.sparkplugGroup = node->group;
        o.sparkplugEdge = node->edge;
    }
}

void TakeSparkplugHost(TvxOptions& o, const QString&, const QString& value, QString& error) {
    if (value.isEmpty() || value != sparkplug::DeviceId(value))
        error = QStringLiteral("--sparkplug-host expects a host id without /, + or #, got \"%1\"")
                    .arg(value);
    o.sparkplugHost = value;
}

void TakeMetrics(TvxOptions& o, const QString&, const QString& value, QString& error) {
    // Loopback unless a host is given: the figures name the plant's sensors.
    const bool hostGiven = value.contains(QLatin1Char(':'));
    const HostPort address =
        ParseHostPort(hostGiven ? value : QStringLiteral("127.0.0.1:") + value);
    o.metricsHost = address.host;
    if (o.metricsHost.startsWith(QLatin1Char('[')) && o.metricsHost.endsWith(QLatin1Char(']')))
        o.metricsHost = o.metricsHost.mid(1, o.metricsHost.size() - 2);
    o.metricsPort = address.port;
    if (o.metricsHost.isEmpty() || !o.metricsPort)
        error = QStringLiteral("--metrics expects [HOST:]PORT, PORT from 1 to 65535, got \"%1\"")
                    .arg(value);
}

void TakeSpoolMax(TvxOptions& o, const QString&, const QString& value, QString& error) {
    bool ok = false;
    o.spoolMaxMegabytes = value.toLongLong(&ok);
    if (!ok || o.spoolMaxMegabytes < 1)
        error = QStringLiteral("--spool-max expects megabytes above 0, got \"%1\"").arg(value);
}

constexpr Commands kParameterSets = Of({Command::Get, Command::Send, Command::Show, Command::Diff});
constexpr Commands kRecord = Of({Command::Record});
constexpr Commands kMarginAlarm = Of({Command::Record, Command::Report});

constexpr OptionRule kOptions[] = {
    {"--sensor", kSensorCommands, true, TakeSensor},
    {"--tcp", kSensorCommands, true, TakeSensor},
    {"--serial", kSensorCommands, true, TakeSensor},
    {"--eeprom", kParameterSets, false, TakeEeprom},
    {"--strict", Of({Command::Send}), false, Set<&TvxOptions::strict, true>},
    {"--no-verify", Of({Command::Send}), false, Set<&TvxOptions::verify, false>},
    {"-o", Of({Command::Get}), true, TakeName<&TvxOptions::path, Lacks::Nothing>},
    {"--golden", Of({Command::Check}), true, TakeName<&TvxOptions::goldenFolder, Lacks::Folder>},
    {"--restore", Of({Command::Check}), false, Set<&TvxOptions::restore, true>},
    {"--quiet", Of({Command::Check}), false, Set<&TvxOptions::quiet, true>},
    {"--count", Of({Command::Watch, Command::Record}), true, TakeCount},
    {"--format",
     Of({Command::Watch, Command::Show, Command::Diff, Command::Check, Command::Report}), true,
     TakeFormat},
    {"--html", Of({Command::Report}), true, TakeName<&TvxOptions::htmlFile, Lacks::File>},
    {"--parameters", Of({Command::Report}), true,
     TakeName<&TvxOptions::parametersFile, Lacks::File>},
    {"--config", kRecord, true, TakeName<&TvxOptions::configFile, Lacks::File>},
    {"--interval", kRecord, true, TakeSeconds},
    {"--duration", kRecord, true, TakeSeconds},
    {"--csv", kRecord, true, TakeName<&TvxOptions::csvFolder, Lacks::Folder>},
    {"--mqtt", kRecord, true, TakeBroker},
    {"--topic", kRecord, true, TakeTopic},
    {"--sparkplug", kRecord, true, TakeSparkplug},
    {"--sparkplug-host", kRecord, true, TakeSparkplugHost},
    {"--metrics", kRecord, true, TakeMetrics},
    {"--spool", kRecord, true, TakeName<&TvxOptions::spoolFolder, Lacks::Value>},
    {"--spool-max", kRecord, true, TakeSpoolMax},
    {"--mqtt-cafile", kRecord, true, TakeName<&TvxOptions::mqttCaFile, Lacks::Value>},
    {"--mqtt-user", kRecord, true, TakeName<&TvxOptions::mqttUser, Lacks::Value>},
    {"--mqtt-password-file", kRecord, true, TakeName<&TvxOptions::mqttPasswordFile, Lacks::Value>},
    {"--mqtt-client-id", kRecord, true, TakeName<&TvxOptions::mqttClientId, Lacks::Value>},
    {"--margin-warn", kMarginAlarm, true, TakeMarginSetting},
    {"--margin-delay", kMarginAlarm, true, TakeMarginSetting},
    {"--margin-deadband", kMarginAlarm, true, TakeMarginSetting},
};

const OptionRule* FindOption(const QString& option) {
    for (const OptionRule& rule : kOptions)
        if (option == QLatin1String(rule.name)) return &rule;
    return nullptr;
}

bool Accepts(const OptionRule* rule, Command command) {
    return rule != nullptr && (rule->commands & Of({command})) != 0;
}

// What the options say together, once each has been read.
QString CheckTogether(TvxOptions& o, QStringList& positional, bool besidesConfig) {
    if (o.command == Command::None)
        return QStringLiteral(
            "no command given (info, get, send, watch, record, show, diff, check or report)");
    if (const QString problem = o.marginAlarm.Problem(); !problem.isEmpty()) return problem;
    if (!o.configFile.isEmpty()) {
        // One place for every setting: what the service runs is what the file says.
        if (besidesConfig || !positional.isEmpty())
            return QStringLiteral(
                "--config takes every setting from the file; give no other option with it");
        return {};
    }
    if (o.command == Command::Send && positional.size() == 1) o.path = positional.takeFirst();
    if (o.command == Command::Show) {
        if (o.sources.size() != 1)
            return QStringLiteral("show needs one parameter file or one sensor");
        if (o.eeprom && !o.sources.front().sensor)
            return QStringLiteral("--eeprom is for a sensor, not a file");
        o.sources.front().eeprom = o.eeprom;
        return {};
    }
    if (o.command == Command::Diff) {
        if (o.sources.size() != 2)
            return QStringLiteral(
                "diff compares two sets: give two of FILE and --sensor NAME=URL [--eeprom]");
        return {};
    }
    if (o.command == Command::Report) {
        if (positional.isEmpty())
            return QStringLiteral("report needs one or more recordings (NAME.csv)");
        o.recordings = positional;
        return {};
    }
    if (!positional.isEmpty())
        return QStringLiteral("unexpected argument \"%1\"").arg(positional.first());
    if (o.sensors.empty())
        return QStringLiteral("no sensor given (--sensor [NAME=]URL, --tcp or --serial)");
    if (o.command == Command::Get && o.path.isEmpty()) return QStringLiteral("get needs -o PATH");
    if (o.command == Command::Send && o.path.isEmpty())
        return QStringLiteral("send needs the parameter file (or folder) to send");
    if (o.command == Command::Check && o.goldenFolder.isEmpty())
        return QStringLiteral("check needs --golden FOLDER");
    if (o.command == Command::Watch && o.sensors.size() != 1)
        return QStringLiteral("watch works on one sensor");
    if (o.command == Command::Record && o.duration && o.count)
        return QStringLiteral("give --duration or --count, not both");
    if (o.command == Command::Record && !o.csvFolder.isEmpty() && !o.mqttHost.isEmpty())
        return QStringLiteral("give --csv or --mqtt, not both");
    if (!o.mqttPasswordFile.isEmpty() && o.mqttUser.isEmpty())
        return QStringLiteral("--mqtt-password-file needs --mqtt-user");
    if (!o.sparkplugEdge.isEmpty() && o.mqttHost.isEmpty())
        return QStringLiteral("--sparkplug needs --mqtt HOST[:PORT]");
    if (!o.sparkplugHost.isEmpty() && o.sparkplugEdge.isEmpty())
        return QStringLiteral("--sparkplug-host needs --sparkplug GROUP/EDGE");
    return {};
}

}  // namespace

std::optional<NamedSensor> ParseNamedSensor(const QString& text, QString& error) {
    NamedSensor sensor;
    QString url = text;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        sensor.name = text.left(eq);
        url = text.mid(eq + 1);
        if (sensor.name.isEmpty()) {
            error = QStringLiteral("sensor \"%1\": empty name before '='").arg(text);
            return std::nullopt;
        }
    }
    if (sensor.name.isEmpty()) sensor.name = url;
    QString refused;
    const auto address = SensorAddress::Parse(url, refused);
    if (!address) {
        error = QStringLiteral("sensor \"%1\": %2").arg(sensor.name, refused);
        return std::nullopt;
    }
    sensor.address = *address;
    return sensor;
}

QString SafeFileName(const QString& name) {
    QString safe = name;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    safe.replace(unsafe, QStringLiteral("_"));
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe = QStringLiteral("_") + safe;
    return safe;
}

ParsedTvxOptions ParseTvxArguments(const QStringList& arguments) {
    ParsedTvxOptions parsed;
    TvxOptions& o = parsed.options;
    QString& error = parsed.error;
    QStringList positional;
    bool besidesConfig = false;  // an option other than --config (and --help)

    for (qsizetype i = 0; i < arguments.size() && error.isEmpty(); ++i) {
        QString option = arguments[i];
        QString value;
        bool hasValue = false;
        if (option.startsWith(QLatin1String("--")) && option.contains(QLatin1Char('='))) {
            const qsizetype eq = option.indexOf(QLatin1Char('='));
            value = option.mid(eq + 1);
            option = option.left(eq);
            hasValue = true;
        }
        if (!option.startsWith(QLatin1Char('-')) || option == QLatin1String("-")) {
            if (o.command == Command::None && !o.help && !o.version) {
                o.commandName = option;
                for (const auto& c : kCommands)
                    if (option == QLatin1String(c.name)) o.command = c.command;
                if (o.command == Command::None)
                    error = QStringLiteral("unknown command \"%1\"").arg(option);
            } else if (o.command == Command::Show || o.command == Command::Diff) {
                o.sources.push_back({option, std::nullopt, false});
            } else {
                positional << option;
            }
            continue;
        }
        if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            o.help = true;
            continue;
        }
        if (option == QLatin1String("--version") && o.command == Command::None) {
            o.version = true;
            continue;
        }
        const OptionRule* rule = FindOption(option);
        if (o.command == Command::None) {
            error = QStringLiteral("unknown option \"%1\" (a command comes first)").arg(option);
        } else if (!Accepts(rule, o.command)) {
            error = QStringLiteral("unknown option \"%1\" for %2").arg(option, o.commandName);
        } else if (rule->takesValue && !hasValue && i + 1 >= arguments.size()) {
            error = QStringLiteral("%1 needs a value").arg(option);
        } else if (!rule->takesValue && hasValue) {
            error = QStringLiteral("%1 takes no value").arg(option);
        } else {
            if (rule->takesValue && !hasValue) value = arguments[++i];
            if (option != QLatin1String("--config")) besidesConfig = true;
            rule->take(o, option, value, error);
        }
    }
    if (error.isEmpty() && !o.help && !o.version)
        error = CheckTogether(o, positional, besidesConfig);
    return parsed;
}

bool OptionTakesValue(const QString& option) {
    const OptionRule* rule = FindOption(option);
    return rule != nullptr && rule->takesValue;
}

}  // namespace tvx::cli
