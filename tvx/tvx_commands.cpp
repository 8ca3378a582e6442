#include "tvx_commands.h"

#include <sys/resource.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "command_output.h"
#include "csv_sink.h"
#include "event_wait.h"
#include "fleet.h"
#include "fleet_metrics.h"
#include "margin_report.h"
#include "metrics_server.h"
#include "mqtt_sink.h"
#include "parameter_file.h"
#include "parameter_names.h"
#include "sensor_threads.h"
#include "service_notify.h"
#include "sparkplug_sink.h"
#include "trivex_version.h"
#include "tvx_help.h"
#include "unix_signals.h"

namespace tvx::cli {

namespace {

// Every recorded sensor holds a descriptor: the soft limit of open files, often 1024, is raised
// to the hard one for a fleet. A limit that is still too low is said before any sensor misses
// it, in words an administrator acts on.
void RaiseOpenFileLimit(std::size_t sensors, const Reporter& reporter) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    // Besides one per sensor: the standard streams, the broker, the spool, the metrics' clients.
    constexpr rlim_t kOwnDescriptors = 32;
    const rlim_t needed = sensors + kOwnDescriptors;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed)
        reporter.Say(QStringLiteral("the limit of open files (%1) is lower than the %2 a recording "
                                    "of %3 sensor%4 needs: some will stay offline with \"too many "
                                    "open files\"; raise it (LimitNOFILE= in the unit, ulimit -n)")
                         .arg(limit.rlim_cur)
                         .arg(needed)
                         .arg(sensors)
                         .arg(sensors == 1 ? "" : "s"));
}

// With one sensor PATH is the file itself; with several it is a folder of NAME.dat.
QString ParameterPath(const TvxOptions& options, const NamedSensor& sensor) {
    if (options.sensors.size() == 1) return options.path;
    return QDir(options.path).filePath(SafeFileName(sensor.name) + QStringLiteral(".dat"));
}

// One line per sensor that failed, named; the exit status: 1 when any failed.
int ReportSensorErrors(const TvxOptions& options, const std::vector<QString>& errors) {
    int status = 0;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        if (errors[i].isEmpty()) continue;
        Error(QStringLiteral("%1: %2").arg(options.sensors[i].name, errors[i]));
        status = 1;
    }
    return status;
}

// The service's status line: "recording 12 sensors, 10 online".
QString RecordingStatus(const std::vector<int>& state) {
    return QStringLiteral("recording %1 sensor%2, %3 online")
        .arg(state.size())
        .arg(state.size() == 1 ? "" : "s")
        .arg(std::count(state.begin(), state.end(), 1));
}

}  // namespace

QString TvxVersionText() {
    return VersionLine(QStringLiteral("tvx"));
}

int RunInfo(const TvxOptions& options) {
    std::vector<QString> lines(options.sensors.size());
    std::vector<bool> ok(options.sensors.size(), false);
    RunEachSensor(options.sensors, [&](SensorLink& link, std::size_t i) {
        ok[i] = link.Connect();
        lines[i] = ok[i] ? link.Version() : QStringLiteral("error: ") + link.Error();
    });
    int status = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Out(options.sensors[i].name + QLatin1Char('\t') + lines[i]);
        if (!ok[i]) status = 1;
    }
    return status;
}

int RunGet(const TvxOptions& options) {
    if (options.sensors.size() > 1 && !QDir().mkpath(options.path)) {
        Error(QStringLiteral("folder \"%1\" cannot be made").arg(options.path));
        return 1;
    }
    std::vector<QString> errors(options.sensors.size());
    RunEachSensor(options.sensors, [&](SensorLink& link, std::size_t i) {
        Progress(link.Sensor(), "reading the parameters");
        Memories memories;
        errors[i] = ReadMemories(link, options.eeprom, memories);
        if (!errors[i].isEmpty()) return;
        const ParameterFileResult written =
            WriteParameterFile(ParameterPath(options, link.Sensor()),
                               options.eeprom ? *memories.eeprom : memories.ram);
        if (!written.ok) errors[i] = written.message.simplified();
    });
    return ReportSensorErrors(options, errors);
}

int RunSend(const TvxOptions& options) {
    // Every file is read before anything goes out: one bad file stops the whole send.
    std::vector<ParameterImage> images;
    bool refused = false;
    for (const NamedSensor& sensor : options.sensors) {
        const QString path = ParameterPath(options, sensor);
        const ParameterFileRead read = ReadParameterFile(path);
        if (!read.ok()) {
            Error(read.message.simplified());
            return 1;
        }
        images.push_back(*read.image);
        // What the scope would change or warn about, said before anything goes out.
        const std::vector<QString> findings = FindPanelAdjustments(*read.image).Lines();
        for (const QString& line : findings)
            Error(QStringLiteral("%1: warning: %2").arg(path, line));
        if (options.strict && !findings.empty()) refused = true;
    }
    if (refused) {
        Error(QStringLiteral(
            "nothing sent (--strict): the scope would change or warn about what is named above"));
        return 1;
    }
    std::vector<QString> errors(options.sensors.size());
    RunEachSensor(options.sensors, [&](SensorLink& link, std::size_t i) {
        Progress(link.Sensor(), "sending the parameters");
        if (!link.Connect()) {
            errors[i] = link.Error();
        } else if (options.verify) {
            errors[i] = WriteAndReadBack(link, options.eeprom, images[i]);
        } else if (ParameterImage sent{}; !link.SendParameters(options.eeprom, images[i], sent)) {
            errors[i] = link.Error();
        }
    });
    return ReportSensorErrors(options, errors);
}

namespace {

// A margin as the recorder tells it: three decimals.
double Rounded(double margin) {
    return std::round(margin * 1000.0) / 1000.0;
}

// "line3: margin low: row 3 at 0.140, below 0.2 since 2026-12-09T14:02:11.250+01:00"
QString MarginAlarmLine(const QString& name, const MarginAlarmChange& change, const QString& since,
                        const MarginAlarmSettings& settings) {
    if (change.alarm)
        return QStringLiteral("%1: margin low: row %2 at %3, below %4 since %5")
            .arg(name)
            .arg(change.at.row)
            .arg(MarginText(change.at.margin))
            .arg(settings.warn)
            .arg(since);
    return QStringLiteral("%1: margin ok: row %2 at %3, above %4 since %5")
        .arg(name)
        .arg(change.at.row)
        .arg(MarginText(change.at.margin))
        .arg(settings.warn + settings.deadband)
        .arg(since);
}

QJsonObject MarginTrendJson(const MarginTrend::Reading& trend) {
    using State = MarginTrend::State;
    static const std::map<State, const char*> kStates = {
        {State::Unknown, "unknown"}, {State::Learning, "learning"}, {State::Steady, "steady"},
        {State::Falling, "falling"}, {State::LowNotFalling, "low"}, {State::Rising, "rising"}};
    QJsonObject json{{"value", Rounded(trend.margin)},
                     {"state", kStates.at(trend.state)},
                     {"trend_per_hour", Rounded(trend.perHour)},
                     {"text", trend.Text()}};
    if (trend.state != State::Learning) json.insert("usual", Rounded(trend.usual));
    if (trend.edgeHours) json.insert("edge_hours", std::round(*trend.edgeHours * 10.0) / 10.0);
    return json;
}

}  // namespace

int RunWatch(const TvxOptions& options) {
    StopSignal stop;
    StopOnTerminationSignals(&stop);
    SensorLink link(options.sensors.front());
    ParameterImage image{};
    if (!link.Connect() || !link.ReadParameters(false, image)) {
        Error(QStringLiteral("%1: %2").arg(link.Sensor().name, link.Error()));
        return 1;
    }
    if (options.format == LineFormat::Csv) Out(CsvHeader(link.SiMode()));
    const MarginTable margins(link.Parameters());
    long long frames = 0;
    while (!stop.Requested()) {
        StampedFrame frame;
        if (!link.FetchFrame(frame.values)) {
            Error(QStringLiteral("%1: %2").arg(link.Sensor().name, link.Error()));
            return 1;
        }
        frame.time = QDateTime::currentDateTime();
        frame.siMode = link.SiMode();
        frame.margin = margins.Evaluate(frame.values);
        Out(options.format == LineFormat::Csv ? CsvLine(frame) : JsonLine(frame));
        if (options.count && ++frames >= *options.count) break;
        PauseUnlessStopped(0.05, stop);
    }
    return 0;
}

int RunRecord(const TvxOptions& options, const RecordConfig* config) {
    // Every line the recording writes for whoever watches it goes this one way.
    const Reporter reporter;
    RaiseOpenFileLimit(options.sensors.size(), reporter);
    const auto& sensors = options.sensors;
    QString error;
    // The figures of the whole recording. The server comes before anything else, so that an
    // address in use refuses the start with nothing touched.
    FleetMetrics metrics;
    MetricsServer metricsServer([&metrics] { return metrics.Exposition(); });
    if (options.metricsPort) {
        if (!metricsServer.Listen(options.metricsHost, *options.metricsPort, error)) {
            reporter.Say(error);
            return 1;
        }
        reporter.Say(QStringLiteral("metrics on %1").arg(metricsServer.Url()));
    }

    CsvSink csv(reporter);
    MqttSink mqtt(reporter);
    const bool toMqtt = !options.mqttHost.isEmpty();
    if (toMqtt) {
        mqtt.SetMetrics(&metrics);
        if (!mqtt.Open(MqttSettingsFrom(options), sensors, error)) {
            reporter.Say(error);
            return 1;
        }
    } else {
        const QString folder =
            options.csvFolder.isEmpty() ? DefaultRecordFolder() : options.csvFolder;
        if (!csv.Open(folder, error)) {
            reporter.Say(error);
            return 1;
        }
        for (const NamedSensor& sensor : sensors) csv.AddSensor(sensor, error);
        if (options.csvFolder.isEmpty())
            reporter.Say(QStringLiteral("recording to %1").arg(folder));
    }

    SparkplugSink sparkplug(reporter);
    const bool toSparkplug = !options.sparkplugEdge.isEmpty();
    if (toSparkplug && !sparkplug.Open(SparkplugSettingsFrom(options), sensors, error)) {
        reporter.Say(error);
        return 1;
    }
    RecordSinks both({&mqtt, &sparkplug});
    RecordSink& sink = toSparkplug ? static_cast<RecordSink&>(both)
                       : toMqtt    ? static_cast<RecordSink&>(mqtt)
                                   : csv;

    StopSignal stop;
    StopOnTerminationSignals(&stop);
    ServiceNotifier service;
    QObject::connect(&stop, &StopSignal::requested, &service, [&service] { service.Stopping(); });
    QTimer durationTimer;
    if (options.duration) {
        durationTimer.setSingleShot(true);
        QObject::connect(&durationTimer, &QTimer::timeout, &stop, &StopSignal::Request);
        durationTimer.start(static_cast<int>(*options.duration * 1000.0));
    }
    struct Seen {
        long long frames = 0;
        int state = -1;  // -1 not yet known, 0 offline, 1 online
    };
    std::map<QString, Seen> seen;
    const auto recordingStatus = [&seen, &mqtt, toMqtt] {
        std::vector<int> states;
        for (const auto& entry : seen) states.push_back(entry.second.state);
        QString status = RecordingStatus(states);
        if (toMqtt && !mqtt.BrokerConnected())
            status += QStringLiteral("; broker away, frames wait in the spool");
        return status;
    };
    QObject::connect(&mqtt, &MqttSink::brokerChanged, &service,
                     [&service, &recordingStatus] { service.Status(recordingStatus()); });
    bool sinkFailed = false;
    QTimer progress;
    if (StderrIsTerminal()) {
        QObject::connect(&progress, &QTimer::timeout, [&] {
            for (const auto& [name, sensor] : seen)
                reporter.Say(QStringLiteral("%1: %2, %3 frames")
                                 .arg(name,
                                      sensor.state == 1 ? QStringLiteral("online")
                                                        : QStringLiteral("offline"),
                                      QString::number(sensor.frames)));
        });
        progress.start(10000);
    }

    QEventLoop recording;
    RecordEvents events;
    events.frame = [&](const QString& name, const StampedFrame& frame) {
        ++seen[name].frames;
        if (!sink.Frame(name, frame, error) && !sinkFailed) {
            sinkFailed = true;
            reporter.Say(error);
            stop.Request();
        }
    };
    events.status = [&](const QString& name, bool online, const QString& text, double retryIn) {
        if (online) {
            reporter.Say(QStringLiteral("%1: online (%2)").arg(name, text));
        } else {
            reporter.Say(QStringLiteral("%1: offline: %2; next attempt in %3 s")
                             .arg(name, text)
                             .arg(retryIn));
        }
        int& state = seen[name].state;
        if (state != (online ? 1 : 0)) sink.Status(name, online, text);
        state = online ? 1 : 0;
        service.Status(recordingStatus());
    };
    MarginAlarmSettings alarmSettings = options.marginAlarm;  // SIGHUP may change them
    events.marginAlarm = [&](const QString& name, const MarginAlarmChange& change,
                             const QDateTime& since, bool first) {
        const QString at = IsoLocalTime(since);
        if (!first) reporter.Say(MarginAlarmLine(name, change, at, alarmSettings));
        sink.MarginAlarm(name, {{"state", change.alarm ? "margin low" : "ok"},
                                {"row", change.at.row},
                                {"margin", Rounded(change.at.margin)},
                                {"since", at}});
    };
    events.marginTrend = [&](const QString& name, const MarginTrend::Reading& trend) {
        sink.MarginTrend(name, MarginTrendJson(trend));
    };
    events.parameters = [&sink](const QString& name, const ParameterSet& params) {
        sink.Parameters(name, params);
    };
    events.ended = [&recording] { recording.quit(); };
    FleetRecorder recorder({options.interval, options.count, options.marginAlarm}, events,
                           &metrics);
    QObject::connect(&stop, &StopSignal::requested, &recorder, &FleetRecorder::Stop);
    for (const NamedSensor& sensor : sensors) {
        seen[sensor.name];
        recorder.Add(sensor);
    }

    std::optional<RecordReloader> reloader;
    if (config) {
        // Added sensors start, removed ones stop; the others go on untouched.
        SensorChanges changes{[&](const NamedSensor& sensor) {
                                  QString refused;
                                  if (!sink.AddSensor(sensor, refused)) {
                                      reporter.Say(refused);
                                      return;
                                  }
                                  seen[sensor.name];
                                  recorder.Add(sensor);
                              },
                              [&](const QString& name) {
                                  recorder.Remove(name);
                                  sink.RemoveSensor(name);
                                  seen.erase(name);
                              },
                              [&](const MarginAlarmSettings& settings) {
                                  alarmSettings = settings;
                                  recorder.SetMarginAlarm(settings);
                              }};
        reloader.emplace(*config, changes, Error, &service);
        ReloadOnHangUp(&stop, [&reloader] { reloader->Reload(); });
    }

    service.Ready(recordingStatus());
    if (!stop.Requested()) recording.exec();

    service.Stopping();
    sink.Close();
    if (sinkFailed) return 1;
    // Stopped by a signal or the duration: a clean end. Otherwise every sensor had its count.
    return 0;
}

int RunReport(const TvxOptions& options) {
    MarginReportSettings settings;
    settings.alarm = options.marginAlarm;
    if (!options.parametersFile.isEmpty()) {
        const ParameterFileRead read = ReadParameterFile(options.parametersFile);
        if (!read.ok()) {
            Error(read.message.simplified());
            return 1;
        }
        settings.parameters = ParameterSetOf(*read.image);
        settings.parametersFile = options.parametersFile;
    }
    // Every file is read before anything is reported: a report without one of the files would
    // look complete.
    std::vector<Recording> recordings;
    int status = 0;
    for (const QString& path : options.recordings) {
        QString error;
        std::optional<Recording> recording = ReadRecording(path, &error);
        if (!recording) {
            Error(error);
            status = 1;
            continue;
        }
        recordings.push_back(std::move(*recording));
    }
    if (status != 0) return status;
    QStringList warnings;
    if (const QString problem = ReportProblem(recordings, settings, &warnings);
        !problem.isEmpty()) {
        Error(problem);
        return 2;
    }
    for (const QString& warning : warnings) Error(warning);
    const MarginReport report = BuildMarginReport(std::move(recordings), settings);
    if (!options.htmlFile.isEmpty()) {
        QSaveFile page(options.htmlFile);
        if (!page.open(QIODevice::WriteOnly) || page.write(MarginReportPage(report).toUtf8()) < 0 ||
            !page.commit()) {
            Error(QStringLiteral("cannot write %1: %2").arg(options.htmlFile, page.errorString()));
            return 1;
        }
    }
    if (options.reportFormat == ReportFormat::Json)
        std::fputs(MarginReportJson(report).constData(), stdout);
    else
        std::fputs(qPrintable(MarginReportText(report)), stdout);
    return 0;
}

int RunTvx(const QStringList& arguments) {
    const ParsedTvxOptions parsed = ParseTvxArguments(arguments);
    const TvxOptions& options = parsed.options;
    if (!parsed.error.isEmpty()) {
        Error(parsed.error + QStringLiteral(" (tvx --help)"));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(TvxHelp(options.command)), stdout);
        return 0;
    }
    if (options.version) {
        Out(TvxVersionText());
        return 0;
    }
    if (options.command == Command::Record && !options.configFile.isEmpty()) {
        const RecordConfig config = ReadRecordConfig(options.configFile);
        if (!config.error.isEmpty()) {
            Error(config.error);
            return 2;
        }
        return RunRecord(config.options, &config);
    }
    switch (options.command) {
        case Command::Info:
            return RunInfo(options);
        case Command::Get:
            return RunGet(options);
        case Command::Send:
            return RunSend(options);
        case Command::Watch:
            return RunWatch(options);
        case Command::Record:
            return RunRecord(options);
        case Command::Show:
            return RunShow(options);
        case Command::Diff:
            return RunDiff(options);
        case Command::Check:
            return RunCheck(options);
        case Command::Report:
            return RunReport(options);
        case Command::None:
            break;
    }
    return 2;
}

}  // namespace tvx::cli
