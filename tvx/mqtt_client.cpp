#include "mqtt_client.h"

#include <mosquitto.h>

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>

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
    loginRefused_ = false;
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
    cannotMend_ = loginRefused_ || !tlsError_.isEmpty();
    unacknowledged_ = 0;
    emit stateChanged();
    if (closing_) return;
    if (was) {
        backoff_.Reset();
        emit connectedChanged(false);
    }
    retryTimer_.start(static_cast<int>(backoff_.NextWait() * 1000));
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    client->settled_ = true;
    if (rc != 0) {
        client->lastError_ = ConnackText(rc);
        client->reasonGiven_ = true;
        // 4: bad user name or password; 5: not authorised.
        client->loginRefused_ = rc == 4 || rc == 5;
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
    client->cannotMend_ = false;
    client->lost_ = false;
    client->backoff_.Reset();
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

}  // namespace tvx::cli
