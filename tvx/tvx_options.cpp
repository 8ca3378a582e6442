#include "tvx_options.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>

#include "host_port.h"

namespace tvx::cli {

namespace {

struct CommandName {
    const char* name;
    Command command;
};
constexpr CommandName kCommands[] = {{"info", Command::Info},     {"get", Command::Get},
                                     {"send", Command::Send},     {"watch", Command::Watch},
                                     {"record", Command::Record}, {"show", Command::Show},
                                     {"diff", Command::Diff},     {"check", Command::Check}};

// Options each command accepts besides --sensor, --tcp, --serial and --help.
bool Accepts(Command command, const QString& option) {
    static const QHash<QString, QList<Command>> table = {
        {QStringLiteral("--eeprom"), {Command::Get, Command::Send, Command::Show, Command::Diff}},
        {QStringLiteral("--strict"), {Command::Send}},
        {QStringLiteral("--golden"), {Command::Check}},
        {QStringLiteral("--restore"), {Command::Check}},
        {QStringLiteral("-o"), {Command::Get}},
        {QStringLiteral("--no-verify"), {Command::Send}},
        {QStringLiteral("--config"), {Command::Record}},
        {QStringLiteral("--count"), {Command::Watch, Command::Record}},
        {QStringLiteral("--format"), {Command::Watch, Command::Show}},
        {QStringLiteral("--interval"), {Command::Record}},
        {QStringLiteral("--duration"), {Command::Record}},
        {QStringLiteral("--csv"), {Command::Record}},
        {QStringLiteral("--mqtt"), {Command::Record}},
        {QStringLiteral("--topic"), {Command::Record}},
        {QStringLiteral("--metrics"), {Command::Record}},
        {QStringLiteral("--spool"), {Command::Record}},
        {QStringLiteral("--spool-max"), {Command::Record}},
        {QStringLiteral("--mqtt-cafile"), {Command::Record}},
        {QStringLiteral("--mqtt-user"), {Command::Record}},
        {QStringLiteral("--mqtt-password-file"), {Command::Record}},
    };
    const auto it = table.find(option);
    return it != table.end() && it->contains(command);
}

bool TakesValue(const QString& option) {
    static const QStringList valued = {
        "--sensor",    "--tcp",         "--serial",    "-o",
        "--count",     "--format",      "--interval",  "--duration",
        "--csv",       "--mqtt",        "--topic",     "--spool",
        "--spool-max", "--mqtt-cafile", "--mqtt-user", "--mqtt-password-file",
        "--metrics",   "--golden"};
    return valued.contains(option) || option == QLatin1String("--config");
}

std::optional<double> ParseSeconds(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0.0) return std::nullopt;
    return value;
}

}  // namespace

std::optional<SensorAddress> ParseSensorAddress(const QString& text, QString& error) {
    SensorAddress address;
    QString url = text;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq >= 0) {
        address.name = text.left(eq);
        url = text.mid(eq + 1);
        if (address.name.isEmpty()) {
            error = QStringLiteral("sensor \"%1\": empty name before '='").arg(text);
            return std::nullopt;
        }
    }
    address.url = url;
    if (address.name.isEmpty()) address.name = url;
    if (url.startsWith(QLatin1String("tcp://"))) {
        const HostPort hostPort = ParseHostPort(url.mid(6));
        if (!hostPort.ok()) {
            error = QStringLiteral("sensor \"%1\": expected tcp://HOST:PORT").arg(address.name);
            return std::nullopt;
        }
        address.tcp = true;
        address.host = hostPort.host;
        address.port = *hostPort.port;
        return address;
    }
    if (url.startsWith(QLatin1String("serial:"))) {
        const auto serial = ParseSerialArgument(url.mid(7));
        if (!serial) {
            error = QStringLiteral(
                        "sensor \"%1\": expected serial:DEVICE (a port number or a "
                        "device path)")
                        .arg(address.name);
            return std::nullopt;
        }
        address.tcp = false;
        address.serial = *serial;
        return address;
    }
    error = QStringLiteral("sensor \"%1\": \"%2\" is not tcp://HOST:PORT or serial:DEVICE")
                .arg(address.name, url);
    return std::nullopt;
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
    bool countSeen = false;
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
        const bool common = option == QLatin1String("--sensor") ||
                            option == QLatin1String("--tcp") || option == QLatin1String("--serial");
        if (o.command == Command::None || (!common && !Accepts(o.command, option))) {
            error =
                o.command == Command::None
                    ? QStringLiteral("unknown option \"%1\" (a command comes first)").arg(option)
                    : QStringLiteral("unknown option \"%1\" for %2").arg(option, o.commandName);
            break;
        }
        if (option != QLatin1String("--config")) besidesConfig = true;
        if (TakesValue(option) && !hasValue) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(option);
                break;
            }
            value = arguments[++i];
        } else if (!TakesValue(option) && hasValue) {
            error = QStringLiteral("%1 takes no value").arg(option);
            break;
        }

        if (common) {
            QString url = value;
            if (option == QLatin1String("--tcp")) url = QStringLiteral("tcp://") + value;
            if (option == QLatin1String("--serial")) url = QStringLiteral("serial:") + value;
            const auto address = ParseSensorAddress(url, error);
            if (!address) break;
            // diff may compare a sensor's RAM with its own EEPROM: the same sensor twice.
            for (const SensorAddress& other : o.sensors) {
                if (o.command == Command::Diff) break;
                if (other.name == address->name) {
                    error = QStringLiteral("sensor name \"%1\" given twice").arg(address->name);
                } else if (SafeFileName(other.name) == SafeFileName(address->name)) {
                    error = QStringLiteral("sensors \"%1\" and \"%2\" give the same file name")
                                .arg(other.name, address->name);
                }
            }
            if (!error.isEmpty()) break;
            o.sensors.push_back(*address);
            if (o.command == Command::Show || o.command == Command::Diff)
                o.sources.push_back({QString(), o.sensors.size() - 1, false});
        } else if (option == QLatin1String("--eeprom")) {
            o.eeprom = true;
            if (o.command == Command::Diff) {
                // Each side has its own memory: --eeprom goes with the sensor just before it.
                if (o.sources.empty() || !o.sources.back().sensor) {
                    error = QStringLiteral("--eeprom follows the sensor whose EEPROM is meant");
                    break;
                }
                o.sources.back().eeprom = true;
            }
        } else if (option == QLatin1String("--strict")) {
            o.strict = true;
        } else if (option == QLatin1String("--restore")) {
            o.restore = true;
        } else if (option == QLatin1String("--golden")) {
            if (value.isEmpty()) error = QStringLiteral("--golden needs a folder");
            o.goldenFolder = value;
        } else if (option == QLatin1String("--no-verify")) {
            o.verify = false;
        } else if (option == QLatin1String("-o")) {
            o.path = value;
        } else if (option == QLatin1String("--count")) {
            bool ok = false;
            const long long n = value.toLongLong(&ok);
            if (!ok || n < 1) error = QStringLiteral("--count expects a whole number above 0");
            o.count = n;
            countSeen = true;
        } else if (option == QLatin1String("--format") && o.command == Command::Show) {
            if (value == QLatin1String("text")) {
                o.showFormat = ShowFormat::Text;
            } else if (value == QLatin1String("json")) {
                o.showFormat = ShowFormat::Json;
            } else {
                error = QStringLiteral("--format expects text or json, got \"%1\"").arg(value);
            }
        } else if (option == QLatin1String("--format")) {
            if (value == QLatin1String("csv")) {
                o.format = LineFormat::Csv;
            } else if (value == QLatin1String("jsonl")) {
                o.format = LineFormat::Jsonl;
            } else {
                error = QStringLiteral("--format expects csv or jsonl, got \"%1\"").arg(value);
            }
        } else if (option == QLatin1String("--interval") || option == QLatin1String("--duration")) {
            const auto seconds = ParseSeconds(value);
            if (!seconds) {
                error = QStringLiteral("%1 expects seconds above 0, got \"%2\"").arg(option, value);
            } else if (option == QLatin1String("--interval")) {
                o.interval = *seconds;
            } else {
                o.duration = seconds;
            }
        } else if (option == QLatin1String("--csv")) {
            if (value.isEmpty()) error = QStringLiteral("--csv needs a folder");
            o.csvFolder = value;
        } else if (option == QLatin1String("--mqtt")) {
            const HostPort broker = ParseHostPort(value, o.mqttPort);
            if (broker.host.isEmpty()) {
                error = QStringLiteral("--mqtt needs a broker host");
            } else if (!broker.port) {
                error = QStringLiteral("--mqtt expects HOST[:PORT], got \"%1\"").arg(value);
            }
            o.mqttHost = broker.host;
            o.mqttPort = broker.port.value_or(0);
        } else if (option == QLatin1String("--config")) {
            if (value.isEmpty()) error = QStringLiteral("--config needs a file");
            o.configFile = value;
        } else if (option == QLatin1String("--topic")) {
            if (value.isEmpty() || value.contains(QLatin1Char('#')) ||
                value.contains(QLatin1Char('+')))
                error = QStringLiteral("--topic expects a topic prefix without wildcards");
            o.topic = value;
        } else if (option == QLatin1String("--metrics")) {
            // Loopback unless a host is given: the figures name the plant's sensors.
            const bool hostGiven = value.contains(QLatin1Char(':'));
            const HostPort address =
                ParseHostPort(hostGiven ? value : QStringLiteral("127.0.0.1:") + value);
            o.metricsHost = address.host;
            if (o.metricsHost.startsWith(QLatin1Char('[')) &&
                o.metricsHost.endsWith(QLatin1Char(']')))
                o.metricsHost = o.metricsHost.mid(1, o.metricsHost.size() - 2);
            o.metricsPort = address.port;
            if (o.metricsHost.isEmpty() || !o.metricsPort)
                error = QStringLiteral(
                            "--metrics expects [HOST:]PORT, PORT from 1 to 65535, got \"%1\"")
                            .arg(value);
        } else if (option == QLatin1String("--spool-max")) {
            bool ok = false;
            o.spoolMaxMegabytes = value.toLongLong(&ok);
            if (!ok || o.spoolMaxMegabytes < 1)
                error =
                    QStringLiteral("--spool-max expects megabytes above 0, got \"%1\"").arg(value);
        } else {  // --spool, --mqtt-cafile, --mqtt-user, --mqtt-password-file: a name each
            if (value.isEmpty()) error = QStringLiteral("%1 needs a value").arg(option);
            QString& field = option == QLatin1String("--spool")         ? o.spoolFolder
                             : option == QLatin1String("--mqtt-cafile") ? o.mqttCaFile
                             : option == QLatin1String("--mqtt-user")   ? o.mqttUser
                                                                        : o.mqttPasswordFile;
            field = value;
        }
    }
    if (!error.isEmpty() || o.help || o.version) return parsed;

    if (o.command == Command::None) {
        error = QStringLiteral(
            "no command given (info, get, send, watch, record, show, diff or check)");
        return parsed;
    }
    if (!o.configFile.isEmpty()) {
        // One place for every setting: what the service runs is what the file says.
        if (besidesConfig || !positional.isEmpty())
            error = QStringLiteral(
                "--config takes every setting from the file; give no other "
                "option with it");
        return parsed;
    }
    if (o.command == Command::Send && positional.size() == 1) {
        o.path = positional.takeFirst();
    }
    if (o.command == Command::Show) {
        if (o.sources.size() != 1)
            error = QStringLiteral("show needs one parameter file or one sensor");
        else if (o.eeprom && !o.sources.front().sensor)
            error = QStringLiteral("--eeprom is for a sensor, not a file");
        else
            o.sources.front().eeprom = o.eeprom;
        return parsed;
    }
    if (o.command == Command::Diff) {
        if (o.sources.size() != 2)
            error = QStringLiteral(
                "diff compares two sets: give two of FILE and --sensor NAME=URL [--eeprom]");
        return parsed;
    }
    if (!positional.isEmpty()) {
        error = QStringLiteral("unexpected argument \"%1\"").arg(positional.first());
    } else if (o.sensors.empty()) {
        error = QStringLiteral("no sensor given (--sensor [NAME=]URL, --tcp or --serial)");
    } else if (o.command == Command::Get && o.path.isEmpty()) {
        error = QStringLiteral("get needs -o PATH");
    } else if (o.command == Command::Send && o.path.isEmpty()) {
        error = QStringLiteral("send needs the parameter file (or folder) to send");
    } else if (o.command == Command::Check && o.goldenFolder.isEmpty()) {
        error = QStringLiteral("check needs --golden FOLDER");
    } else if (o.command == Command::Watch && o.sensors.size() != 1) {
        error = QStringLiteral("watch works on one sensor");
    } else if (o.command == Command::Record && o.duration && countSeen) {
        error = QStringLiteral("give --duration or --count, not both");
    } else if (o.command == Command::Record && !o.csvFolder.isEmpty() && !o.mqttHost.isEmpty()) {
        error = QStringLiteral("give --csv or --mqtt, not both");
    } else if (!o.mqttPasswordFile.isEmpty() && o.mqttUser.isEmpty()) {
        error = QStringLiteral("--mqtt-password-file needs --mqtt-user");
    }
    return parsed;
}

QString TvxHelp(Command command) {
    const QString sensors = QStringLiteral(
        "Sensors (one or more):\n"
        "  --sensor [NAME=]URL   URL is tcp://HOST:PORT or serial:DEVICE (a port number, 1 =\n"
        "                        first port, or a device path); NAME defaults to the URL\n"
        "  --tcp HOST:PORT       one sensor over TCP\n"
        "  --serial DEVICE       one sensor on a serial port (19200 8N1)\n");
    switch (command) {
        case Command::Info:
            return QStringLiteral(
                       "Usage: tvx info SENSORS...\n"
                       "Runs the handshake with each sensor and prints one line per sensor:\n"
                       "NAME<TAB>the version text, or NAME<TAB>error: the reason.\n") +
                   sensors;
        case Command::Get:
            return QStringLiteral(
                       "Usage: tvx get [--eeprom] -o PATH SENSORS...\n"
                       "Reads each sensor's parameter set (from RAM, or from EEPROM with "
                       "--eeprom)\n"
                       "and writes it as a parameter file the scope loads. With one sensor PATH "
                       "is\n"
                       "the file; with several it is a folder and each file is NAME.dat. Reading\n"
                       "the EEPROM leaves the sensor working with the set it had.\n") +
                   sensors;
        case Command::Send:
            return QStringLiteral(
                       "Usage: tvx send [--eeprom] [--no-verify] [--strict] PATH SENSORS...\n"
                       "Sends a parameter file to each sensor (to RAM, or also stored in EEPROM\n"
                       "with --eeprom), then reads it back and compares. A malformed file is\n"
                       "refused before anything is sent. With several sensors PATH is a folder of\n"
                       "NAME.dat files. What the scope would change in a set or warn about is\n"
                       "said in one line each (\"warning: ...\"); the set is sent as it is.\n"
                       "  --no-verify   skip the read-back\n"
                       "  --strict      refuse such a set: nothing is sent to any sensor\n") +
                   sensors;
        case Command::Watch:
            return QStringLiteral(
                       "Usage: tvx watch [--count N] [--format csv|jsonl] SENSOR\n"
                       "Runs the live loop on one sensor and prints one line per frame: the time\n"
                       "(ISO 8601, local time with offset) and R, G, B, X, Y, INT (s, i, M in\n"
                       "calculation mode 1), C-No, GROUP, TEMP. CSV starts with a header line.\n"
                       "Ends after N frames, on SIGINT or SIGTERM, or when the sensor fails.\n") +
                   sensors;
        case Command::Record:
            return QStringLiteral(
                       "Usage: tvx record [--interval SECONDS] [--duration SECONDS | --count N]\n"
                       "                  [--csv FOLDER | --mqtt HOST[:PORT] [--topic PREFIX]\n"
                       "                   [--spool FOLDER] [--spool-max MB] [--mqtt-cafile FILE]\n"
                       "                   [--mqtt-user NAME [--mqtt-password-file FILE]]]\n"
                       "                  [--metrics [HOST:]PORT]\n"
                       "                  SENSORS...\n"
                       "       tvx record --config FILE\n"
                       "Records all sensors at once, each at the live rate or one frame per\n"
                       "interval, until the duration is over, each sensor has N frames, or SIGINT\n"
                       "or SIGTERM. A sensor that fails is reconnected (1 s, doubling to 30 s).\n"
                       "  --config FILE       every setting from an INI file, [record] KEY = "
                       "VALUE\n"
                       "                      for --KEY VALUE and [sensors] NAME = URL; SIGHUP\n"
                       "                      reads it again (sensors added start, removed stop)\n"
                       "  --csv FOLDER        one CSV file per sensor, FOLDER/NAME.csv (default:\n"
                       "                      tvx-record-DATE in the current folder)\n"
                       "  --mqtt HOST[:PORT]  publish each frame as JSON to PREFIX/NAME/frame and\n"
                       "                      the link state (retained) to PREFIX/NAME/status;\n"
                       "                      '/', '+' and '#' in NAME become '_'\n"
                       "  --topic PREFIX      topic prefix, default tvx\n"
                       "  Each frame is kept in a spool file until the broker has acknowledged it\n"
                       "  (quality 1) and carries \"seq\", its number per sensor from 1.\n"
                       "  --spool FOLDER      where the spool file is (default\n"
                       "                      $XDG_STATE_HOME/tvx or ~/.local/state/tvx)\n"
                       "  --spool-max MB      bound of the spool, default 1024; beyond it the\n"
                       "                      oldest frames are dropped and counted\n"
                       "  --mqtt-cafile FILE  TLS: the broker's certificate must be signed by\n"
                       "                      this CA and name the broker's host\n"
                       "  --mqtt-user NAME    user name for the broker\n"
                       "  --mqtt-password-file FILE  its first line is the password\n"
                       "  --metrics [HOST:]PORT\n"
                       "                      serve the recorder's figures to Prometheus at\n"
                       "                      http://HOST:PORT/metrics; HOST is 127.0.0.1 unless "
                       "given\n") +
                   sensors;
        case Command::Show:
            return QStringLiteral(
                       "Usage: tvx show [--format text|json] FILE\n"
                       "       tvx show [--format text|json] [--eeprom] SENSOR\n"
                       "Prints a parameter set (a parameter file, or a sensor's RAM or EEPROM)\n"
                       "named as the scope names it: the mode words, then the teach table with\n"
                       "the columns of its calculation mode, its groups and '*' on the active\n"
                       "rows, then what the scope would change or warn about. Reading the EEPROM\n"
                       "leaves the sensor working with the set it had.\n") +
                   sensors;
        case Command::Diff:
            return QStringLiteral(
                       "Usage: tvx diff A B\n"
                       "A and B are each a parameter FILE or --sensor NAME=URL [--eeprom] (its\n"
                       "RAM, or its EEPROM). Prints what differs, one line each, by name:\n"
                       "\"MAXCOL-No. 4 → 5\", \"row 2 CTO 100 → 40\", \"row 7 group 3 → 5\".\n"
                       "Exit status: 0 equal, 1 different, 2 usage error or a set that could\n"
                       "not be read.\n") +
                   sensors;
        case Command::Check:
            return QStringLiteral(
                       "Usage: tvx check --golden FOLDER [--restore] SENSORS...\n"
                       "Compares each sensor's RAM and EEPROM with its golden copy\n"
                       "FOLDER/NAME.dat, and its RAM with its EEPROM (what a power cycle would\n"
                       "lose); prints the differences per sensor and a summary line. The sensor\n"
                       "keeps working with the set it had.\n"
                       "  --restore   write the golden set to each memory that drifted (the\n"
                       "              EEPROM through RAM, as the scope does), read it back and\n"
                       "              compare\n"
                       "Exit status: 0 no drift, 1 drift found (restored or not) or a sensor not\n"
                       "checked, 2 usage error or a golden file missing or malformed (then no\n"
                       "sensor is touched).\n") +
                   sensors;
        case Command::None:
            break;
    }
    return QStringLiteral(
               "Usage: tvx COMMAND [OPTIONS] SENSORS...\n"
               "Works with TRIVEX sensors from scripts, one or many at once.\n"
               "Commands:\n"
               "  info     handshake with each sensor, print its version text\n"
               "  get      read the parameter sets into parameter files\n"
               "  send     send a parameter file, read it back and compare\n"
               "  watch    print live frames of one sensor\n"
               "  record   record live frames of many sensors to CSV files or MQTT\n"
               "  show     print a parameter set by name, from a file or a sensor\n"
               "  diff     the differences of two parameter sets, by name\n"
               "  check    compare sensors with their golden parameter files\n"
               "  tvx COMMAND --help describes a command.\n"
               "Options:\n"
               "  --help      this text\n"
               "  --version   the program's version\n") +
           sensors +
           QStringLiteral(
               "Exit status: 0 success, 1 when a sensor, file or broker failed (the other\n"
               "sensors are still done), 2 for a usage error.\n");
}

bool OptionTakesValue(const QString& option) {
    return TakesValue(option);
}

}  // namespace tvx::cli
