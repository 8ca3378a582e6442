#include "mqtt_sink.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "event_wait.h"
#include "fleet_metrics.h"

namespace tvx::cli {

namespace {

// tvx.mqtt: each broker session's attempts, connections, refusals and losses.
Q_LOGGING_CATEGORY(lcMqtt, "tvx.mqtt", QtWarningMsg)

// Marks the time a libmosquitto call that may call back runs.
class InsideLibrary {
  public:
    explicit InsideLibrary(bool& flag) : flag_(flag) { flag_ = true; }
    ~InsideLibrary() { flag_ = false; }
    InsideLibrary(const InsideLibrary&) = delete;
    InsideLibrary& operator=(const InsideLibrary&) = delete;

  private:
    bool& flag_;
};

constexpr int kKeepAliveSeconds = 10;
constexpr double kLongestRetrySeconds = 30.0;
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

void InitMosquittoOnce() {
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

QString ConnackText(int rc) {
    return QString::fromUtf8(mosquitto_connack_string(rc));
}

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

MqttClient::MqttClient(const QString& clientId, const QString& host, int port,
                       const QString& willTopic, const QByteArray& willPayload,
                       const MqttCredentials& credentials, QObject* parent)
    : QObject(parent),
      clientId_(clientId),
      host_(host),
      port_(port),
      willTopic_(willTopic),
      willPayload_(willPayload),
      credentials_(credentials) {
    InitMosquittoOnce();
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, [this] {
        if (read_ == nullptr) return;
        // A socket libmosquitto closed without a word is a lost session all the same.
        if (mosquitto_socket(mosq_) < 0) return Lost(QStringLiteral("The connection was lost."));
        Check(mosquitto_loop_misc(mosq_));
        UpdateWrite();
    });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::Attempt);
}

MqttClient::~MqttClient() {
    Detach();
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
}

void MqttClient::MakeClient() {
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
    mosq_ = mosquitto_new(clientId_.toUtf8().constData(), true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // The owner bounds what is in flight; libmosquitto is not to hold any back.
    mosquitto_max_inflight_messages_set(mosq_, 0);
    mosquitto_will_set(mosq_, willTopic_.toUtf8().constData(),
                       static_cast<int>(willPayload_.size()), willPayload_.constData(), 1, true);
    if (!credentials_.caFile.isEmpty())
        mosquitto_tls_set(mosq_, QFile::encodeName(credentials_.caFile).constData(), nullptr,
                          nullptr, nullptr, nullptr);
    if (!credentials_.user.isEmpty())
        mosquitto_username_pw_set(
            mosq_, credentials_.user.toUtf8().constData(),
            credentials_.password.isNull() ? nullptr : credentials_.password.toUtf8().constData());
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    mosquitto_log_callback_set(mosq_, &MqttClient::OnLog);
}

void MqttClient::Start() {
    Attempt();
}

void MqttClient::Attempt() {
    Detach();
    MakeClient();
    tlsError_.clear();
    reasonGiven_ = false;
    lost_ = false;
    ++attempt_;
    qCDebug(lcMqtt).noquote() << clientId_ << "connecting to"
                              << host_ + QLatin1Char(':') + QString::number(port_) << "attempt"
                              << attempt_;
    const int rc =
        mosquitto_connect_async(mosq_, host_.toUtf8().constData(), port_, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        Lost(rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                  : QString::fromUtf8(mosquitto_strerror(rc)));
        return;
    }
    Attach();
}

void MqttClient::Attach() {
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0) return;
    read_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    write_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(read_, &QSocketNotifier::activated, this, [this] {
        int rc = MOSQ_ERR_SUCCESS;
        {
            const InsideLibrary inside(insideLibrary_);
            rc = mosquitto_loop_read(mosq_, 1);
        }
        Check(rc);
        UpdateWrite();
    });
    connect(write_, &QSocketNotifier::activated, this, [this] {
        Check(mosquitto_loop_write(mosq_, 1));
        UpdateWrite();
    });
    misc_.start();
    UpdateWrite();
}

void MqttClient::Detach() {
    misc_.stop();
    delete read_;
    delete write_;
    read_ = nullptr;
    write_ = nullptr;
}

void MqttClient::UpdateWrite() {
    if (write_ != nullptr) write_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::Check(int rc) {
    if (rc == MOSQ_ERR_SUCCESS || read_ == nullptr) return;
    if (rc == MOSQ_ERR_ERRNO && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    Lost(rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                              : QString::fromUtf8(mosquitto_strerror(rc)));
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed": the reason is
    // the last part, and the first such line the cause.
    auto* client = static_cast<MqttClient*>(self);
    const QString line = QString::fromUtf8(text);
    if ((level & MOSQ_LOG_ERR) == 0 || !line.startsWith(QLatin1String("OpenSSL Error")) ||
        !client->tlsError_.isEmpty())
        return;
    client->tlsError_ = QStringLiteral("TLS: ") + line.section(QLatin1Char(':'), -1).trimmed();
}

void MqttClient::Lost(const QString& reason) {
    // A failed attempt is told more than once (the broker's answer, the read that failed, the
    // disconnection): the most telling reason comes first, and one loss is one retry.
    const QString why = tlsError_.isEmpty() ? reason : tlsError_;
    if (!why.isEmpty() && !reasonGiven_) {
        lastError_ = why;
        reasonGiven_ = true;
    }
    if (lost_) return;
    lost_ = true;
    qCDebug(lcMqtt).noquote() << clientId_ << "lost:" << lastError_;
    Detach();
    const bool was = connected_;
    connected_ = false;
    settled_ = true;
    unacknowledged_ = 0;
    emit stateChanged();
    if (closing_) return;
    if (was) {
        retry_ = 1.0;
        emit connectedChanged(false);
    }
    retryTimer_.start(static_cast<int>(retry_ * 1000));
    retry_ = std::min(retry_ * 2.0, kLongestRetrySeconds);
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    client->settled_ = true;
    if (rc != 0) {
        client->lastError_ = ConnackText(rc);
        client->reasonGiven_ = true;
        qCDebug(lcMqtt).noquote() << client->clientId_ << "refused:" << client->lastError_;
        // A refused session is closed by the broker; try again later like a lost one.
        QMetaObject::invokeMethod(
            client,
            [client, attempt = client->attempt_] {
                if (attempt == client->attempt_) client->Lost({});
            },
            Qt::QueuedConnection);
        return;
    }
    qCDebug(lcMqtt).noquote() << client->clientId_ << "connected";
    client->connected_ = true;
    client->lost_ = false;
    client->retry_ = 1.0;
    client->lastError_.clear();
    client->reasonGiven_ = false;
    emit client->connectedChanged(true);
    emit client->stateChanged();
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->closing_) {
        client->connected_ = false;
        return;
    }
    // Told later, and only to the attempt it belongs to.
    QMetaObject::invokeMethod(
        client,
        [client, rc, attempt = client->attempt_] {
            if (attempt != client->attempt_) return;
            client->Lost(rc == 0 ? QString() : QString::fromUtf8(mosquitto_strerror(rc)));
        },
        Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    auto* client = static_cast<MqttClient*>(self);
    client->unacknowledged_ = std::max(0, client->unacknowledged_ - 1);
    emit client->acknowledged(mid);
    emit client->stateChanged();
}

int MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                        bool writeNow) {
    if (!connected_) return -1;
    int mid = 0;
    const int rc =
        mosquitto_publish(mosq_, &mid, topic.toUtf8().constData(), static_cast<int>(payload.size()),
                          payload.constData(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) return -1;
    if (qos > 0) ++unacknowledged_;
    if (writeNow) Flush();
    return mid;
}

void MqttClient::Flush() {
    if (!connected_) return;
    // libmosquitto calls back with its own locks held (an acknowledgement read, a connection
    // taken): a write from in there waits for them for ever. It goes once the read is over.
    if (insideLibrary_) {
        if (!flushQueued_) {
            flushQueued_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    flushQueued_ = false;
                    Flush();
                },
                Qt::QueuedConnection);
        }
        return;
    }
    // Most of the time the socket takes the messages at once; the notifier sends what is left.
    Check(mosquitto_loop_write(mosq_, 1));
    UpdateWrite();
}

void MqttClient::Disconnect() {
    closing_ = true;
    retryTimer_.stop();
    if (connected_ && mosq_ != nullptr) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_write(mosq_, 1);
    }
    connected_ = false;
    Detach();
}

// ---------------------------------------------------------------------------------------------

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
            std::fprintf(stderr, "tvx: %s: broker %s lost (%s), frames are kept in the spool\n",
                         qPrintable(name), qPrintable(broker_), qPrintable(client->LastError()));
            return;
        }
        if (spool_.Frames(name) > 0 && s.connectedBefore)
            std::fprintf(stderr, "tvx: %s: broker %s back: sending %lld spooled frames\n",
                         qPrintable(name), qPrintable(broker_), spool_.Frames(name));
        else if (spool_.Frames(name) > 0)
            std::fprintf(stderr, "tvx: %s: sending %lld frames an earlier run left in the spool\n",
                         qPrintable(name), spool_.Frames(name));
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

bool MqttSink::Open(const MqttSettings& settings, const std::vector<SensorAddress>& sensors,
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
    if (!notice.isEmpty()) std::fprintf(stderr, "tvx: %s\n", qPrintable(notice));
    if (!opened) return false;
    commitTimer_.setSingleShot(true);
    connect(&commitTimer_, &QTimer::timeout, this, &MqttSink::Commit, Qt::UniqueConnection);
    dropReport_.setSingleShot(true);
    connect(&dropReport_, &QTimer::timeout, this, &MqttSink::ReportDropping, Qt::UniqueConnection);

    for (const SensorAddress& sensor : sensors) Start(sensor.name);
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

bool MqttSink::AddSensor(const SensorAddress& sensor, QString& error) {
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
            std::fprintf(stderr,
                         "tvx: %s; frames are held in memory (at most %lld) and written when it "
                         "can be\n",
                         qPrintable(error), FrameSpool::kHeldInMemory);
        spoolFailing_ = true;
        commitTimer_.start(kRetryCommitMilliseconds);
    } else if (spoolFailing_) {
        std::fprintf(stderr, "tvx: spool \"%s\" is written again\n", qPrintable(spool_.Path()));
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
    std::fprintf(stderr,
                 "tvx: spool \"%s\" is at its bound of %lld MB: the oldest frames are dropped "
                 "(%s)\n",
                 qPrintable(spool_.Path()), settings_.spoolMaxBytes / (1024 * 1024),
                 qPrintable(dropping_.join(QStringLiteral(", "))));
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
        std::fprintf(stderr, "tvx: %s: %lld frames held in memory are lost\n", qPrintable(error),
                     spool_.Gathered());
    if (spool_.Frames() > spool_.Gathered())
        std::fprintf(stderr, "tvx: %lld frames are kept in spool \"%s\" for the next start\n",
                     spool_.Frames() - spool_.Gathered(), qPrintable(spool_.Path()));
    UpdateFigures();
    sensors_.clear();
    spool_.Close();
}

}  // namespace tvx::cli
