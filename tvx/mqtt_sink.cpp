#include "mqtt_sink.h"

#include <mosquitto.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "event_wait.h"

namespace tvx::cli {

namespace {

constexpr int kKeepAliveSeconds = 10;
constexpr double kLongestRetrySeconds = 30.0;
constexpr double kBrokerWaitSeconds = 10.0;

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

}  // namespace

QByteArray OnlinePayload(const QString& version) {
    return QJsonDocument(QJsonObject{{"state", "online"}, {"version", version}})
        .toJson(QJsonDocument::Compact);
}

QByteArray OfflinePayload(const QString& error) {
    return QJsonDocument(QJsonObject{{"state", "offline"}, {"error", error}})
        .toJson(QJsonDocument::Compact);
}

MqttClient::MqttClient(const QString& clientId, const QString& host, int port,
                       const QString& willTopic, const QByteArray& willPayload, QObject* parent)
    : QObject(parent), host_(host), port_(port) {
    InitMosquittoOnce();
    mosq_ = mosquitto_new(clientId.toUtf8().constData(), true, this);
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_will_set(mosq_, willTopic.toUtf8().constData(), static_cast<int>(willPayload.size()),
                       willPayload.constData(), 1, true);
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, [this] {
        if (read_ == nullptr) return;
        Check(mosquitto_loop_misc(mosq_));
        UpdateWrite();
    });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::Attempt);
}

MqttClient::~MqttClient() {
    Detach();
    mosquitto_destroy(mosq_);
}

void MqttClient::Start() {
    Attempt();
}

void MqttClient::Attempt() {
    Detach();
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
        Check(mosquitto_loop_read(mosq_, 1));
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

void MqttClient::Lost(const QString& reason) {
    Detach();
    const bool was = connected_;
    connected_ = false;
    settled_ = true;
    unacknowledged_ = 0;
    if (!reason.isEmpty()) lastError_ = reason;
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
        // A refused session is closed by the broker; try again later like a lost one.
        QMetaObject::invokeMethod(
            client, [client] { client->Lost({}); }, Qt::QueuedConnection);
        return;
    }
    client->connected_ = true;
    client->retry_ = 1.0;
    client->lastError_.clear();
    emit client->connectedChanged(true);
    emit client->stateChanged();
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->closing_) {
        client->connected_ = false;
        return;
    }
    QMetaObject::invokeMethod(
        client,
        [client, rc] {
            client->Lost(rc == 0 ? QString() : QString::fromUtf8(mosquitto_strerror(rc)));
        },
        Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto*, void* self, int) {
    auto* client = static_cast<MqttClient*>(self);
    client->unacknowledged_ = std::max(0, client->unacknowledged_ - 1);
    emit client->stateChanged();
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    if (!connected_) return false;
    const int rc =
        mosquitto_publish(mosq_, nullptr, topic.toUtf8().constData(),
                          static_cast<int>(payload.size()), payload.constData(), qos, retain);
    if (rc != MOSQ_ERR_SUCCESS) return false;
    if (qos > 0) ++unacknowledged_;
    // Most of the time the socket takes the message at once; the notifier sends what is left.
    Check(mosquitto_loop_write(mosq_, 1));
    UpdateWrite();
    return true;
}

void MqttClient::Disconnect() {
    closing_ = true;
    retryTimer_.stop();
    if (connected_) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_write(mosq_, 1);
    }
    connected_ = false;
    Detach();
}

// ---------------------------------------------------------------------------------------------

QString MqttSink::Topic(const QString& name, const char* leaf) const {
    // A name is one topic level: separators and wildcards in it ("tcp://host:port") become '_'.
    QString level = name;
    for (QChar& c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    }
    return QStringLiteral("%1/%2/%3").arg(prefix_, level, QLatin1String(leaf));
}

MqttSink::Sensor& MqttSink::Start(const QString& name) {
    static int sessions = 0;
    Sensor& sensor = sensors_[name];
    const QString id =
        QStringLiteral("tvx-%1-%2").arg(QCoreApplication::applicationPid()).arg(sessions++);
    sensor.client = std::make_unique<MqttClient>(
        id, host_, port_, Topic(name, "status"),
        OfflinePayload(QStringLiteral("the recorder ended unexpectedly")));
    MqttClient* client = sensor.client.get();
    connect(client, &MqttClient::connectedChanged, this, [this, name, client](bool up) {
        Sensor& s = sensors_.at(name);
        if (!up) {
            std::fprintf(stderr, "tvx: %s: broker %s lost (%s), frames are counted as lost\n",
                         qPrintable(name), qPrintable(broker_), qPrintable(client->LastError()));
            return;
        }
        if (s.lostSince > 0) {
            std::fprintf(stderr, "tvx: %s: broker %s back: %lld frames were lost\n",
                         qPrintable(name), qPrintable(broker_), s.lostSince);
            s.lostSince = 0;
        }
        PublishStatus(name, s);
    });
    connect(client, &MqttClient::stateChanged, this, &MqttSink::clientsChanged);
    client->Start();
    return sensor;
}

bool MqttSink::Open(const QString& host, int port, const QString& prefix,
                    const std::vector<SensorAddress>& sensors, QString& error) {
    prefix_ = prefix;
    host_ = host;
    port_ = port;
    broker_ = QStringLiteral("%1:%2").arg(host).arg(port);
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
        return false;
    }
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
    it->second.status = OfflinePayload(QStringLiteral("removed from the recording"));
    PublishStatus(name, it->second);
    it->second.client->Disconnect();
    // Deleted from the event loop: a callback of its own may be what called this.
    it->second.client.release()->deleteLater();
    sensors_.erase(it);
}

void MqttSink::PublishStatus(const QString& name, Sensor& sensor) {
    if (!sensor.status.isEmpty())
        sensor.client->Publish(Topic(name, "status"), sensor.status, 1, true);
}

bool MqttSink::Frame(const QString& name, const StampedFrame& frame, QString&) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return true;
    Sensor& sensor = it->second;
    if (sensor.client->Publish(Topic(name, "frame"), JsonLine(frame).toUtf8(), 0, false))
        return true;
    ++sensor.lost;
    ++sensor.lostSince;
    return true;
}

void MqttSink::Status(const QString& name, bool online, const QString& text) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    it->second.status = online ? OnlinePayload(text) : OfflinePayload(text);
    PublishStatus(name, it->second);
}

void MqttSink::AwaitAcknowledgements() {
    WaitUntil(
        [this] {
            return std::all_of(sensors_.begin(), sensors_.end(), [](const auto& entry) {
                const MqttClient& c = *entry.second.client;
                return !c.Connected() || c.Unacknowledged() == 0;
            });
        },
        3.0, WaitMode::ServeUserInput, {WakeSource(this, &MqttSink::clientsChanged)});
}

void MqttSink::Close() {
    for (auto& [name, sensor] : sensors_) Status(name, false, QStringLiteral("recording ended"));
    AwaitAcknowledgements();
    for (auto& [name, sensor] : sensors_) {
        sensor.client->Disconnect();
        if (sensor.lost > 0)
            std::fprintf(stderr, "tvx: %s: %lld frames lost while broker %s was away\n",
                         qPrintable(name), sensor.lost, qPrintable(broker_));
    }
    sensors_.clear();
}

long long MqttSink::LostFrames() const {
    long long lost = 0;
    for (const auto& entry : sensors_) lost += entry.second.lost;
    return lost;
}

}  // namespace tvx::cli
