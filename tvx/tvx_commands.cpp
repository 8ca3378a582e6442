#include "tvx_commands.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "csv_sink.h"
#include "event_wait.h"
#include "fleet.h"
#include "mqtt_sink.h"
#include "trivex_version.h"

#ifndef TVX_VERSION
#define TVX_VERSION "0"
#endif

namespace tvx::cli {

namespace {

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void Error(const QString& text) {
    std::fprintf(stderr, "tvx: %s\n", qPrintable(text));
    std::fflush(stderr);
}

void Progress(const SensorAddress& sensor, const char* what) {
    if (StderrIsTerminal()) std::fprintf(stderr, "tvx: %s: %s\n", qPrintable(sensor.name), what);
}

void Out(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// With one sensor PATH is the file itself; with several it is a folder of NAME.dat.
QString ParameterPath(const TvxOptions& options, const SensorAddress& sensor) {
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
        Progress(link.Address(), "reading the parameters");
        ParameterImage image{};
        if (!link.Connect() || !link.ReadParameters(options.eeprom, image)) {
            errors[i] = link.Error();
            return;
        }
        const ParameterFileResult written =
            WriteParameterFile(ParameterPath(options, link.Address()), image);
        if (!written.ok) errors[i] = written.message.simplified();
    });
    return ReportSensorErrors(options, errors);
}

int RunSend(const TvxOptions& options) {
    // Every file is read before anything goes out: one bad file stops the whole send.
    std::vector<ParameterImage> images;
    for (const SensorAddress& sensor : options.sensors) {
        const QString path = ParameterPath(options, sensor);
        const ParameterFileRead read = ReadParameterFile(path);
        if (!read.ok()) {
            Error(read.message.simplified());
            return 1;
        }
        images.push_back(*read.image);
    }
    std::vector<QString> errors(options.sensors.size());
    RunEachSensor(options.sensors, [&](SensorLink& link, std::size_t i) {
        Progress(link.Address(), "sending the parameters");
        ParameterImage sent{};
        if (!link.Connect() || !link.SendParameters(options.eeprom, images[i], sent)) {
            errors[i] = link.Error();
            return;
        }
        if (!options.verify) return;
        // As after SEND in the scope: the sensor gets half a second before it is asked again.
        Pause(0.5, WaitMode::ServeUserInput);
        ParameterImage back{};
        if (!link.ReadParameters(options.eeprom, back)) {
            errors[i] = QStringLiteral("read-back failed: ") + link.Error();
            return;
        }
        for (int w = 0; w < anzpara; ++w) {
            if (back[w] == sent[w]) continue;
            errors[i] = QStringLiteral(
                            "read-back differs from what was sent (word %1: sent %2, "
                            "read %3)")
                            .arg(w)
                            .arg(sent[w])
                            .arg(back[w]);
            return;
        }
    });
    return ReportSensorErrors(options, errors);
}

int RunWatch(const TvxOptions& options) {
    StopSignal stop;
    StopOnTerminationSignals(&stop);
    SensorLink link(options.sensors.front());
    ParameterImage image{};
    if (!link.Connect() || !link.ReadParameters(false, image)) {
        Error(QStringLiteral("%1: %2").arg(link.Address().name, link.Error()));
        return 1;
    }
    if (options.format == LineFormat::Csv) Out(CsvHeader(link.SiMode()));
    long long frames = 0;
    while (!stop.Requested()) {
        StampedFrame frame;
        if (!link.FetchFrame(frame.values)) {
            Error(QStringLiteral("%1: %2").arg(link.Address().name, link.Error()));
            return 1;
        }
        frame.time = QDateTime::currentDateTime();
        frame.siMode = link.SiMode();
        Out(options.format == LineFormat::Csv ? CsvLine(frame) : JsonLine(frame));
        if (options.count && ++frames >= *options.count) break;
        PauseUnlessStopped(0.05, stop);
    }
    return 0;
}

int RunRecord(const TvxOptions& options) {
    const auto& sensors = options.sensors;
    CsvSink csv;
    MqttSink mqtt;
    const bool toMqtt = !options.mqttHost.isEmpty();
    QString error;
    if (toMqtt) {
        if (!mqtt.Open(MqttSettingsFrom(options), sensors, error)) {
            Error(error);
            return 1;
        }
    } else {
        const QString folder =
            options.csvFolder.isEmpty() ? DefaultRecordFolder() : options.csvFolder;
        if (!csv.Open(folder, error)) {
            Error(error);
            return 1;
        }
        for (const SensorAddress& sensor : sensors) csv.AddSensor(sensor, error);
        if (options.csvFolder.isEmpty()) Error(QStringLiteral("recording to %1").arg(folder));
    }

    RecordSink& sink = toMqtt ? static_cast<RecordSink&>(mqtt) : csv;

    StopSignal stop;
    StopOnTerminationSignals(&stop);
    QTimer durationTimer;
    if (options.duration) {
        durationTimer.setSingleShot(true);
        QObject::connect(&durationTimer, &QTimer::timeout, &stop, &StopSignal::Request);
        durationTimer.start(static_cast<int>(*options.duration * 1000.0));
    }
    std::vector<long long> frames(sensors.size(), 0);
    std::vector<int> state(sensors.size(), -1);  // -1 not yet known, 0 offline, 1 online
    bool sinkFailed = false;
    QTimer progress;
    if (StderrIsTerminal()) {
        QObject::connect(&progress, &QTimer::timeout, [&] {
            for (std::size_t i = 0; i < sensors.size(); ++i)
                std::fprintf(stderr, "tvx: %s: %s, %lld frames\n", qPrintable(sensors[i].name),
                             state[i] == 1 ? "online" : "offline", frames[i]);
        });
        progress.start(10000);
    }

    RecordEvents events;
    events.frame = [&](std::size_t i, const StampedFrame& frame) {
        ++frames[i];
        if (!sink.Frame(sensors[i].name, frame, error) && !sinkFailed) {
            sinkFailed = true;
            Error(error);
            stop.Request();
        }
    };
    events.status = [&](std::size_t i, bool online, const QString& text, double retryIn) {
        if (online) {
            Error(QStringLiteral("%1: online (%2)").arg(sensors[i].name, text));
        } else {
            Error(QStringLiteral("%1: offline: %2; next attempt in %3 s")
                      .arg(sensors[i].name, text)
                      .arg(retryIn));
        }
        if (state[i] != (online ? 1 : 0)) sink.Status(sensors[i].name, online, text);
        state[i] = online ? 1 : 0;
    };
    RecordSensors(sensors, {options.interval, options.count}, stop, events);

    sink.Close();
    if (sinkFailed) return 1;
    // Stopped by a signal or the duration: a clean end. Otherwise every sensor had its count.
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
        case Command::None:
            break;
    }
    return 2;
}

}  // namespace tvx::cli
