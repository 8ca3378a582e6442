#include "mqtt_sink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>
#include <algorithm>

#include "event_wait.h"
#include "fleet_metrics.h"

namespace tvx::cli {

namespace {

constexpr double kBrokerWaitSeconds = 10.0;
// Frames of one sensor the broker may hold unacknowledged: enough to keep a link busy, few
// enough that a lost session costs little to send again.
constexpr int kWindow = 100;
// New frames and acknowledgements are written to the spool together, at most this long after.
constexpr int kCommitMilliseconds = 50;
// A spool that could not be written is tried again after this.
constexpr int kRetryCommitMilliseconds = 1000;
// At the end the broker gets this long for what is left; the rest waits for the next start.
constexpr double kCloseSeconds = 5.0;

QJsonObject StatusObject(bool online, const QString& text) {
    return online ? QJsonObject{{"state", "online"}, {"version", text}}
                  : QJsonObject{{"state", "offline"}, {"error", text}};
}

QByteArray Payload(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

QString DefaultSpoolFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return QDir(state.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : state)
        .filePath(QStringLiteral("tvx"));
}

MqttSettings MqttSettingsFrom(const TvxOptions& options) {
    MqttSettings settings;
    settings.host = options.mqttHost;
    settings.port = options.mqttPort;
    settings.prefix = options.topic;
    settings.spoolFolder = options.spoolFolder;
    settings.spoolMaxBytes = options.spoolMaxMegabytes * 1024 * 1024;
    settings.caFile = options.mqttCaFile;
    settings.user = options.mqttUser;
    settings.passwordFile = options.mqttPasswordFile;
    return settings;
}

MqttSink::MqttSink(Reporter reporter) : reporter_(std::move(reporter)) {}

MqttSink::~MqttSink() {
    for (auto& entry : sensors_) entry.second.client->Disconnect();
}

void MqttSink::SetMetrics(FleetMetrics* metrics) {
    metrics_ = metrics;
    UpdateFigures();
}

QString MqttSink::Topic(const QString& name, const char* leaf) const {
    // A name is one topic level: separators and wildcards in it ("tcp://host:port") become '_'.
    QString level = name;
    for (QChar& c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    }
    return QStringLiteral("%1/%2/%3").arg(settings_.prefix, level, QLatin1String(leaf));
}

MqttSink::Sensor& MqttSink::Start(const QString& name) {
    static int sessions = 0;
    Sensor& sensor = sensors_[name];
    const QString id =
        QStringLiteral("tvx-%1-%2").arg(QCoreApplication::applicationPid()).arg(sessions++);
    sensor.client = std::make_unique<MqttClient>(
        id, settings_.host, settings_.port, Topic(name, "status"),
        Payload(StatusObject(false, QStringLiteral("the recorder ended unexpectedly"))),
        credentials_);
    MqttClient* client = sensor.client.get();
    connect(client, &MqttClient::connectedChanged, this, [this, name, client](bool up) {
        Sensor& s = sensors_.at(name);
        // What the lost session had not acknowledged is sent again, from the oldest.
        s.inFlight.clear();
        s.sentUpTo = 0;
        UpdateFigures();
        if (!up) {
            reporter_.Say(QStringLiteral("%1: broker %2 lost (%3), frames are kept in the spool")
                              .arg(name, broker_, client->LastError()));
            return;
        }
        if (spool_.Frames(name) > 0 && s.connectedBefore)
            reporter_.Say(QStringLiteral("%1: broker %2 back: sending %3 spooled frames")
                              .arg(name, broker_, QString::number(spool_.Frames(name))));
        else if (spool_.Frames(name) > 0)
            reporter_.Say(QStringLiteral("%1: sending %2 frames an earlier run left in the spool")
                              .arg(name, QString::number(spool_.Frames(name))));
        s.connectedBefore = true;
        PublishStatus(name, s);
        Send(name, s);
    });
    connect(client, &MqttClient::acknowledged, this,
            [this, name](int mid) { Acknowledged(name, mid); });
    connect(client, &MqttClient::stateChanged, this, &MqttSink::clientsChanged);
    client->Start();
    return sensor;
}

bool MqttSink::Open(const MqttSettings& settings, const std::vector<NamedSensor>& sensors,
                    QString& error) {
    settings_ = settings;
    broker_ = QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
    credentials_ = {settings.caFile, settings.user, QString()};
    if (!settings.caFile.isEmpty() && !QFile(settings.caFile).open(QIODevice::ReadOnly)) {
        error = QStringLiteral("CA file \"%1\" cannot be read").arg(settings.caFile);
        return false;
    }
    if (!settings.passwordFile.isEmpty()) {
        QFile file(settings.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("password file \"%1\" cannot be read: %2")
                        .arg(settings.passwordFile, file.errorString());
            return false;
        }
        credentials_.password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n'));
        credentials_.password.remove(QLatin1Char('\r'));
    }
    // One spool per broker and topic prefix: its frames are for there only.
    const QString folder =
        settings.spoolFolder.isEmpty() ? DefaultSpoolFolder() : settings.spoolFolder;
    const QString file = SafeFileName(
        QStringLiteral("%1_%2_%3").arg(settings.host).arg(settings.port).arg(settings.prefix));
    QString notice;
    const bool opened = spool_.Open(QDir(folder).filePath(file + QStringLiteral(".spool")),
                                    settings.spoolMaxBytes, error, notice);
    if (!notice.isEmpty()) reporter_.Say(notice);
    if (!opened) return false;
    commitTimer_.setSingleShot(true);
    connect(&commitTimer_, &QTimer::timeout, this, &MqttSink::Commit, Qt::UniqueConnection);
    dropReport_.setSingleShot(true);
    connect(&dropReport_, &QTimer::timeout, this, &MqttSink::ReportDropping, Qt::UniqueConnection);

    for (const NamedSensor& sensor : sensors) Start(sensor.name);
    const auto clients = [this](auto predicate) {
        return std::count_if(sensors_.begin(), sensors_.end(),
                             [&](const auto& entry) { return predicate(*entry.second.client); });
    };
    // The broker must take every session once before recording starts.
    WaitUntil(
        [&] {
            return clients([](const MqttClient& c) { return c.Connected(); }) ==
                       std::ssize(sensors_) ||
                   clients([](const MqttClient& c) { return c.Settled() && !c.Connected(); }) > 0;
        },
        kBrokerWaitSeconds, WaitMode::ServeUserInput,
        {WakeSource(this, &MqttSink::clientsChanged)});
    for (auto& [name, sensor] : sensors_) {
        if (sensor.client->Connected()) continue;
        const QString reason = sensor.client->LastError();
        error = QStringLiteral("broker %1: %2")
                    .arg(broker_, reason.isEmpty() ? QStringLiteral("no answer") : reason);
        for (auto& entry : sensors_) entry.second.client->Disconnect();
        sensors_.clear();
        spool_.Close();
        return false;
    }
    UpdateFigures();
    return true;
}

bool MqttSink::AddSensor(const NamedSensor& sensor, QString& error) {
    if (sensors_.count(sensor.name) > 0) {
        error = QStringLiteral("%1: recorded already").arg(sensor.name);
        return false;
    }
    Start(sensor.name);
    return true;
}

void MqttSink::RemoveSensor(const QString& name) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    Status(name, false, QStringLiteral("removed from the recording"));
    it->second.client->Disconnect();
    // Deleted from the event loop: a callback of its own may be what called this. Its frames not
    // yet acknowledged stay in the spool until it is recorded again.
    it->second.client.release()->deleteLater();
    sensors_.erase(it);
    UpdateFigures();
}

void MqttSink::PublishStatus(const QString& name, Sensor& sensor) {
    if (sensor.status.isEmpty()) return;
    QJsonObject status = sensor.status;
    sensor.statusDropped = spool_.Dropped(name);
    if (sensor.statusDropped > 0) status.insert(QStringLiteral("dropped"), sensor.statusDropped);
    sensor.client->Publish(Topic(name, "status"), Payload(status), 1, true);
}

void MqttSink::Send(const QString& name, Sensor& sensor) {
    if (!sensor.client->Connected()) return;
    const int room = kWindow - static_cast<int>(sensor.inFlight.size());
    for (const FrameSpool::Row& row : spool_.After(name, sensor.sentUpTo, room)) {
        const int mid = sensor.client->Publish(Topic(name, "frame"), row.payload, 1, false, false);
        if (mid < 0) break;
        sensor.inFlight[mid] = {row.id, row.payload.size()};
        sensor.sentUpTo = row.id;
    }
    sensor.client->Flush();
}

void MqttSink::Acknowledged(const QString& name, int mid) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    Sensor& sensor = it->second;
    const auto frame = sensor.inFlight.find(mid);
    if (frame == sensor.inFlight.end()) return;  // a status
    spool_.Acknowledge(name, frame->second.id, frame->second.bytes);
    sensor.inFlight.erase(frame);
    ScheduleCommit();
    // Refilled by half a window at a time: one spool read per fifty frames.
    if (std::ssize(sensor.inFlight) <= kWindow / 2) Send(name, sensor);
}

void MqttSink::ScheduleCommit() {
    if (!commitTimer_.isActive()) commitTimer_.start(kCommitMilliseconds);
}

void MqttSink::Commit() {
    QString error;
    if (!spool_.Commit(error)) {
        if (!spoolFailing_)
            reporter_.Say(QStringLiteral("%1; frames are held in memory (at most %2) and "
                                         "written when it can be")
                              .arg(error, QString::number(FrameSpool::kHeldInMemory)));
        spoolFailing_ = true;
        commitTimer_.start(kRetryCommitMilliseconds);
    } else if (spoolFailing_) {
        reporter_.Say(QStringLiteral("spool \"%1\" is written again").arg(spool_.Path()));
        spoolFailing_ = false;
    }
    for (const QString& name : spool_.TakeNewlyDropping()) dropping_ << name;
    // Said once a run: the sensors that begin to drop within a second of the first are named
    // together; the counts go on in the status and the figures.
    if (!dropping_.isEmpty() && !dropReported_ && !dropReport_.isActive()) dropReport_.start(1000);
    for (auto& [name, sensor] : sensors_) {
        if (sensor.statusDropped != spool_.Dropped(name)) PublishStatus(name, sensor);
        Send(name, sensor);
    }
    UpdateFigures();
}

void MqttSink::ReportDropping() {
    if (dropping_.isEmpty() || dropReported_) return;
    reporter_.Say(
        QStringLiteral("spool \"%1\" is at its bound of %2 MB: the oldest frames are dropped (%3)")
            .arg(spool_.Path(), QString::number(settings_.spoolMaxBytes / (1024 * 1024)),
                 dropping_.join(QStringLiteral(", "))));
    dropReported_ = true;
}

bool MqttSink::Frame(const QString& name, const StampedFrame& frame, QString&) {
    if (sensors_.count(name) == 0) return true;
    const long long seq = spool_.NextSeq(name);
    spool_.Append(name, JsonLine(frame, seq).toUtf8());
    ScheduleCommit();
    return true;
}

void MqttSink::Status(const QString& name, bool online, const QString& text) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    it->second.status = StatusObject(online, text);
    PublishStatus(name, it->second);
}

void MqttSink::UpdateFigures() {
    if (metrics_ == nullptr) return;
    SinkFigures& figures = metrics_->Sink(QStringLiteral("mqtt://") + broker_);
    figures.mqtt = true;
    figures.connected = std::all_of(sensors_.begin(), sensors_.end(), [](const auto& entry) {
        return entry.second.client->Connected();
    });
    figures.spoolFrames = spool_.Frames();
    figures.spoolBytes = spool_.Bytes();
    figures.droppedFrames = spool_.Dropped();
}

bool MqttSink::Delivered(const QString& name, const Sensor& sensor) {
    const MqttClient& client = *sensor.client;
    if (!client.Connected()) return true;  // nothing more to be done now
    return client.Unacknowledged() == 0 && spool_.After(name, sensor.sentUpTo, 1).empty();
}

void MqttSink::Close() {
    for (auto& [name, sensor] : sensors_) Status(name, false, QStringLiteral("recording ended"));
    Commit();
    WaitUntil(
        [this] {
            return std::all_of(sensors_.begin(), sensors_.end(), [this](const auto& entry) {
                return Delivered(entry.first, entry.second);
            });
        },
        kCloseSeconds, WaitMode::ServeUserInput, {WakeSource(this, &MqttSink::clientsChanged)});
    for (auto& entry : sensors_) entry.second.client->Disconnect();
    commitTimer_.stop();
    ReportDropping();
    QString error;
    if (!spool_.Commit(error) && spool_.Gathered() > 0)
        reporter_.Say(QStringLiteral("%1: %2 frames held in memory are lost")
                          .arg(error, QString::number(spool_.Gathered())));
    if (spool_.Frames() > spool_.Gathered())
        reporter_.Say(
            QStringLiteral("%1 frames are kept in spool \"%2\" for the next start")
                .arg(QString::number(spool_.Frames() - spool_.Gathered()), spool_.Path()));
    UpdateFigures();
    sensors_.clear();
    spool_.Close();
}

}  // namespace tvx::cli
