#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "margin_alarm.h"
#include "sensor_address.h"

namespace tvx::cli {

// One sensor named on the command line: NAME=URL, the URL tcp://HOST:PORT or serial:DEVICE.
struct NamedSensor {
    QString name;  // the URL as given when no name is
    SensorAddress address;
};

enum class Command { None, Info, Get, Send, Watch, Record, Show, Diff, Check, Report };
enum class LineFormat { Csv, Jsonl };
enum class ReportFormat { Text, Json };  // show, diff, check and report

// One parameter set that show or diff reads: a parameter file, or a sensor's RAM or EEPROM.
struct SetSource {
    QString file;                       // empty for a sensor
    std::optional<std::size_t> sensor;  // an index into TvxOptions::sensors
    bool eeprom = false;
};

struct TvxOptions {
    Command command = Command::None;
    QString commandName;
    std::vector<NamedSensor> sensors;
    bool help = false;
    bool version = false;
    // get / send
    bool eeprom = false;
    bool verify = true;
    QString path;         // get: -o PATH; send: the file or folder to send
    bool strict = false;  // send: refuse a set the scope would change or warn about
    // show: the one set; diff: the two, in the order given
    std::vector<SetSource> sources;
    ReportFormat reportFormat = ReportFormat::Text;
    // check: the folder of NAME.dat, whether drifted memories get the golden set again, and
    // whether sensors in order go unmentioned
    QString goldenFolder;
    bool restore = false;
    bool quiet = false;
    // watch / record
    std::optional<long long> count;
    LineFormat format = LineFormat::Csv;
    double interval = 0.0;  // seconds between frames; 0 = the live rate
    std::optional<double> duration;
    QString csvFolder;  // record: empty with no --mqtt means a dated folder in the current one
    QString mqttHost;
    int mqttPort = 1883;
    QString topic = QStringLiteral("tvx");
    QString configFile;  // record --config: every setting came from this file
    // record --metrics [HOST:]PORT: where figures are served; no port, no server.
    QString metricsHost;
    std::optional<int> metricsPort;
    QString spoolFolder;  // empty: DefaultSpoolFolder()
    long long spoolMaxMegabytes = 1024;
    QString mqttCaFile;  // TLS when given
    QString mqttUser;
    QString mqttPasswordFile;  // its first line is the password
    QString mqttClientId;      // empty: derived from the host and the spool
    // record --sparkplug GROUP/EDGE: the recording as a Sparkplug B edge node as well, its births
    // waiting for the primary host --sparkplug-host HOST_ID when one is given
    QString sparkplugGroup;
    QString sparkplugEdge;
    QString sparkplugHost;
    // record: when a sensor's recognition margin is low enough to say so
    MarginAlarmSettings marginAlarm;
    // report: the recordings (NAME.csv), the page to write, and the teach table they were
    // recorded with
    QStringList recordings;
    QString htmlFile;
    QString parametersFile;
};

struct ParsedTvxOptions {
    TvxOptions options;
    QString error;  // one line; empty when the arguments were understood
};

// Reads the arguments (without the program name): COMMAND, then its options in any order.
ParsedTvxOptions ParseTvxArguments(const QStringList& arguments);

// Reads one --sensor value, [NAME=]URL; nothing and a reason in `error` when it does not parse.
std::optional<NamedSensor> ParseNamedSensor(const QString& text, QString& error);

// Whether an option (with its dashes) takes a value.
bool OptionTakesValue(const QString& option);

// A sensor name as a file name: characters outside [A-Za-z0-9._-] become '_'.
QString SafeFileName(const QString& name);

}  // namespace tvx::cli
