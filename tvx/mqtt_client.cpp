#include "mqtt_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <QFile>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QStringList>
#include <QtEndian>
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

// A system's or library's sentence as part of a line: "Connection refused." -> "connection
// refused"; a word in capitals ("TLS") stays as it is.
QString AsPartOfLine(const char* text) {
    QString words = QString::fromLocal8Bit(text).trimmed();
    if (words.endsWith(QLatin1Char('.'))) words.chop(1);
    if (words.size() > 1 && words[0].isUpper() && words[1].isLower()) words[0] = words[0].toLower();
    return words;
}

QString ErrnoWords(int errnum) {
    switch (errnum) {
        case ECONNREFUSED:
            return QStringLiteral("connection refused");
        case ENETUNREACH:
            return QStringLiteral("network unreachable");
        case EHOSTUNREACH:
            return QStringLiteral("host unreachable");
        case ETIMEDOUT:
            return QStringLiteral("no answer from the broker: the connection timed out");
        case ECONNRESET:
            return QStringLiteral("the broker reset the connection");
        case EPIPE:
            return QStringLiteral("the broker closed the connection");
        case EMFILE: {
            rlimit limit{};
            ::getrlimit(RLIMIT_NOFILE, &limit);
            return QStringLiteral(
                       "too many open files: the recorder's descriptor limit (%1) is lower than "
                       "the fleet needs; raise LimitNOFILE")
                .arg(static_cast<qulonglong>(limit.rlim_cur));
        }
        case ENFILE:
            return QStringLiteral("too many open files in the system: raise fs.file-max");
        default:
            return AsPartOfLine(std::strerror(errnum));
    }
}

// The broker's CONNACK refusal. A login it refuses stays refused however often it is tried.
QString ConnackWords(int rc) {
    switch (rc) {
        case 1:
            return QStringLiteral("the broker does not take MQTT 3.1.1");
        case 2:
            return QStringLiteral("the broker rejects the client id");
        case 3:
            return QStringLiteral("the broker is unavailable");
        case 4:
            return QStringLiteral("login refused: bad user name or password");
        case 5:
        case MQTT_RC_NOT_AUTHORIZED:
            return QStringLiteral("login refused: not authorised");
        case MQTT_RC_BAD_USERNAME_OR_PASSWORD:
            return QStringLiteral("login refused: bad user name or password");
        case MQTT_RC_BANNED:
            return QStringLiteral("login refused: the broker has banned this client");
        case MQTT_RC_CLIENTID_NOT_VALID:
            return QStringLiteral("the broker rejects the client id");
        case MQTT_RC_SERVER_UNAVAILABLE:
        case MQTT_RC_SERVER_BUSY:
            return QStringLiteral("the broker is unavailable");
        default:
            return rc >= 128 ? AsPartOfLine(mosquitto_reason_string(rc))
                             : AsPartOfLine(mosquitto_connack_string(rc));
    }
}

bool LoginRefused(int rc) {
    return rc == 4 || rc == 5 || rc == MQTT_RC_NOT_AUTHORIZED ||
           rc == MQTT_RC_BAD_USERNAME_OR_PASSWORD || rc == MQTT_RC_BANNED;
}

// A broker that speaks only MQTT 3.1.1 refuses version 5 with one of these.
bool VersionRefused(int rc) {
    return rc == 1 || rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION;
}

// What OpenSSL's last line of a failed handshake means for a user; the library's words when it
// is none of the usual.
QString TlsWords(const QString& reason) {
    if (reason.contains(QLatin1String("wrong version number")))
        return QStringLiteral("TLS handshake failed: the broker does not speak TLS on this port");
    if (reason.contains(QLatin1String("unexpected eof")))
        return QStringLiteral(
            "TLS handshake failed: the broker closed the connection (does this port take TLS?)");
    if (reason.contains(QLatin1String("alert certificate required")))
        return QStringLiteral("TLS handshake failed: the broker asks for a client certificate");
    return QStringLiteral("TLS handshake failed: ") + reason;
}

// The names a certificate is for: its alternative names, else its common name.
QString NamesOf(X509* cert) {
    QStringList names;
    bool dnsNames = false;
    auto* alternatives =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; i < sk_GENERAL_NAME_num(alternatives); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives, i);
        if (name->type == GEN_DNS) {
            dnsNames = true;
            names << QString::fromLatin1(
                reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                ASN1_STRING_length(name->d.dNSName));
        } else if (name->type == GEN_IPADD) {
            const QByteArray bytes(
                reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.iPAddress)),
                ASN1_STRING_length(name->d.iPAddress));
            QHostAddress address;
            if (bytes.size() == 4)
                address.setAddress(qFromBigEndian<quint32>(bytes.constData()));
            else if (bytes.size() == 16)
                address.setAddress(reinterpret_cast<const quint8*>(bytes.constData()));
            if (!address.isNull()) names << address.toString();
        }
    }
    GENERAL_NAMES_free(alternatives);
    if (!dnsNames) {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common,
                                      sizeof common) > 0)
            names << QString::fromUtf8(common);
    }
    return names.isEmpty() ? QStringLiteral("no name") : names.join(QStringLiteral(", "));
}

// libmosquitto used to accept an address in the common name of a certificate that has no DNS
// names; a broker whose certificate was made that way is still taken.
bool CommonNameIsAddress(X509* cert, const QString& host) {
    auto* alternatives =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
    bool dnsNames = false;
    for (int i = 0; i < sk_GENERAL_NAME_num(alternatives); ++i)
        dnsNames = dnsNames || sk_GENERAL_NAME_value(alternatives, i)->type == GEN_DNS;
    GENERAL_NAMES_free(alternatives);
    char common[256] = {};
    return !dnsNames &&
           X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common,
                                     sizeof common) > 0 &&
           QHostAddress(QString::fromUtf8(common)) == QHostAddress(host);
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
        if (mosquitto_socket(mosq_) < 0) return Lost(QStringLiteral("the connection was lost"));
        Check(mosquitto_loop_misc(mosq_));
        UpdateWrite();
    });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::Attempt);
    answerLimit_.setSingleShot(true);
    connect(&answerLimit_, &QTimer::timeout, this, [this] {
        Lost(QStringLiteral("no answer from the broker within %1 s").arg(kAnswerSeconds));
    });
}

MqttClient::~MqttClient() {
    Detach();
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
}

// libmosquitto's own certificate check says "certificate verify failed" whether the CA did not
// sign the certificate or the host name does not match. The client's own context checks both
// with OpenSSL and keeps the reason: libmosquitto takes a context given to it as it is, without
// its defaults, and checks nothing itself then.
ssl_ctx_st* MqttClient::MakeTlsContext(QString& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        error = QStringLiteral("TLS cannot be set up");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_options(context, SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_mode(context, SSL_MODE_RELEASE_BUFFERS);
    if (SSL_CTX_load_verify_locations(context, QFile::encodeName(credentials_.caFile).constData(),
                                      nullptr) != 1) {
        ERR_clear_error();
        SSL_CTX_free(context);
        error = QStringLiteral("CA file \"%1\" holds no certificate that can be used")
                    .arg(credentials_.caFile);
        return nullptr;
    }
    // An address is looked for among the certificate's addresses, a name among its names.
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(context);
    const QByteArray host = host_.toUtf8();
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.constData()) != 1) {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, host.constData(), 0);
    }
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, &MqttClient::OnVerify);
    SSL_CTX_set_info_callback(context, &MqttClient::OnTlsState);
    SSL_CTX_set_app_data(context, this);
    return context;
}

// When the handshake stops on a socket error (the connection refused, reset or unreachable),
// errno still holds it here; libmosquitto keeps only that the handshake is to be tried again.
void MqttClient::OnTlsState(const ssl_st* ssl, int where, int ret) {
    const int errnum = errno;
    if ((where & SSL_CB_EXIT) == 0 || ret >= 0) return;
    auto* client = static_cast<MqttClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (client == nullptr || client->handshakeErrno_ != 0) return;
    switch (errnum) {
        case ECONNREFUSED:
        case ECONNRESET:
        case ECONNABORTED:
        case EPIPE:
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ETIMEDOUT:
            client->handshakeErrno_ = errnum;
            break;
        default:
            break;
    }
}

int MqttClient::OnVerify(int preverified, x509_store_ctx_st* store) {
    if (preverified == 1) return 1;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* client = static_cast<MqttClient*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (client == nullptr) return 0;
    const int error = X509_STORE_CTX_get_error(store);
    X509* cert = X509_STORE_CTX_get_current_cert(store);
    if (error == X509_V_ERR_IP_ADDRESS_MISMATCH && cert != nullptr &&
        CommonNameIsAddress(cert, client->host_))
        return 1;
    // The first failure is the cause; OpenSSL goes on telling what follows from it.
    if (!client->certificateError_.isEmpty()) return 0;
    QString why;
    switch (error) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            why = QStringLiteral("the broker's certificate is not signed by the CA in \"%1\"")
                      .arg(client->credentials_.caFile);
            break;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            why = QStringLiteral("the broker's certificate is for %1, not %2")
                      .arg(cert != nullptr ? NamesOf(cert) : QStringLiteral("another host"),
                           client->host_);
            break;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            why = QStringLiteral("the broker's certificate has expired");
            break;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            why = QStringLiteral("the broker's certificate is not valid yet (is the clock right?)");
            break;
        default:
            why = AsPartOfLine(X509_verify_cert_error_string(error));
            break;
    }
    client->certificateError_ = QStringLiteral("certificate check failed: ") + why;
    return 0;
}

bool MqttClient::MakeClient(QString& error) {
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
    mosq_ = mosquitto_new(clientId_.toUtf8().constData(), true, this);
    // Version 5 tells a refused publication in its acknowledgement; with 3.1.1 the broker
    // acknowledges what it throws away.
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, protocol_);
    // The owner bounds what is in flight; libmosquitto is not to hold any back.
    mosquitto_max_inflight_messages_set(mosq_, 0);
    mosquitto_will_set(mosq_, willTopic_.toUtf8().constData(),
                       static_cast<int>(willPayload_.size()), willPayload_.constData(), 1, true);
    if (!credentials_.caFile.isEmpty()) {
        SSL_CTX* context = MakeTlsContext(error);
        if (context == nullptr) return false;
        mosquitto_int_option(mosq_, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
        mosquitto_void_option(mosq_, MOSQ_OPT_SSL_CTX, context);
        SSL_CTX_free(context);  // the client holds its own reference
    }
    if (!credentials_.user.isEmpty())
        mosquitto_username_pw_set(
            mosq_, credentials_.user.toUtf8().constData(),
            credentials_.password.isNull() ? nullptr : credentials_.password.toUtf8().constData());
    mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
    mosquitto_publish_v5_callback_set(mosq_, &MqttClient::OnPublish);
    mosquitto_log_callback_set(mosq_, &MqttClient::OnLog);
    return true;
}

void MqttClient::Start() {
    Attempt();
}

void MqttClient::Attempt() {
    Detach();
    tlsError_.clear();
    certificateError_.clear();
    handshakeErrno_ = 0;
    reasonGiven_ = false;
    lost_ = false;
    ++attempt_;
    QString unusable;
    if (!MakeClient(unusable)) return Lost(unusable, true);
    qCDebug(lcMqtt).noquote() << clientId_ << "connecting to"
                              << host_ + QLatin1Char(':') + QString::number(port_) << "attempt"
                              << attempt_;
    answerLimit_.start(kAnswerSeconds * 1000);
    const int rc =
        mosquitto_connect_async(mosq_, host_.toUtf8().constData(), port_, kKeepAliveSeconds);
    const int errnum = errno;
    if (rc != MOSQ_ERR_SUCCESS) return Lost(Words(rc, errnum));
    Attach();
}

QString MqttClient::Words(int rc, int errnum) const {
    switch (rc) {
        case MOSQ_ERR_ERRNO:
            return ErrnoWords(errnum);
        case MOSQ_ERR_EAI:
            // libmosquitto leaves getaddrinfo's code in errno.
            if (errnum == EAI_NONAME || errnum == EAI_NODATA)
                return QStringLiteral("host name \"%1\" does not resolve").arg(host_);
            if (errnum == EAI_AGAIN)
                return QStringLiteral(
                           "host name \"%1\" cannot be resolved now: no answer from "
                           "the name server")
                    .arg(host_);
            return QStringLiteral("host name \"%1\" cannot be resolved: %2")
                .arg(host_, AsPartOfLine(gai_strerror(errnum)));
        case MOSQ_ERR_CONN_LOST:
        case MOSQ_ERR_NO_CONN:
            return QStringLiteral("the connection was lost");
        case MOSQ_ERR_KEEPALIVE:
            return QStringLiteral("the broker stopped answering");
        case MOSQ_ERR_TLS:
        case MOSQ_ERR_TLS_HANDSHAKE:
            return QStringLiteral("TLS handshake failed");
        case MOSQ_ERR_PROTOCOL:
        case MOSQ_ERR_MALFORMED_PACKET:
            return QStringLiteral("the broker sent what MQTT does not allow");
        case MOSQ_ERR_NOMEM:
            return QStringLiteral("out of memory");
        default:
            return AsPartOfLine(mosquitto_strerror(rc));
    }
}

void MqttClient::Attach() {
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0) return;
    read_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    write_ = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(read_, &QSocketNotifier::activated, this, [this] {
        if (ConnectFailed()) return;
        int rc = MOSQ_ERR_SUCCESS;
        {
            const InsideLibrary inside(insideLibrary_);
            rc = mosquitto_loop_read(mosq_, 1);
        }
        Check(rc);
        UpdateWrite();
    });
    connect(write_, &QSocketNotifier::activated, this, [this] {
        if (ConnectFailed()) return;
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

bool MqttClient::ConnectFailed() {
    if (connected_) return false;
    const int fd = mosquitto_socket(mosq_);
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return false;
    if (error == 0) {
        // A socket whose connect is under way raises no notice; one that raises a notice and
        // has no peer has failed, its error taken by the handshake.
        sockaddr_storage peer{};
        socklen_t peerSize = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0 ||
            errno != ENOTCONN)
            return false;
        error = handshakeErrno_;
    }
    Lost(error != 0 ? ErrnoWords(error) : QStringLiteral("the connection failed"));
    return true;
}

void MqttClient::Check(int rc) {
    const int errnum = errno;
    if (rc == MOSQ_ERR_SUCCESS || read_ == nullptr) return;
    if (rc == MOSQ_ERR_ERRNO && (errnum == EAGAIN || errnum == EWOULDBLOCK)) return;
    Lost(Words(rc, errnum));
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed": the reason is
    // the last part, and the first such line the cause.
    auto* client = static_cast<MqttClient*>(self);
    const QString line = QString::fromUtf8(text);
    if ((level & MOSQ_LOG_ERR) == 0 || !line.startsWith(QLatin1String("OpenSSL Error")) ||
        !client->tlsError_.isEmpty())
        return;
    client->tlsError_ = TlsWords(line.section(QLatin1Char(':'), -1).trimmed());
}

void MqttClient::Lost(const QString& reason, bool cannotMend) {
    // A failed attempt is told more than once (the broker's answer, the read that failed, the
    // disconnection): the most telling reason comes first, and one loss is one retry. A
    // certificate that did not pass is the cause of whatever TLS error follows it, and what
    // OpenSSL logged tells more than the error code libmosquitto returns with it.
    if (!certificateError_.isEmpty()) {
        lastError_ = certificateError_;
        cannotMend_ = true;
        reasonGiven_ = true;
    } else if (!reason.isEmpty() && !reasonGiven_) {
        lastError_ = tlsError_.isEmpty() ? reason : tlsError_;
        cannotMend_ = cannotMend;
        reasonGiven_ = true;
    }
    if (lost_) return;
    lost_ = true;
    answerLimit_.stop();
    qCDebug(lcMqtt).noquote() << clientId_ << "lost:" << lastError_;
    Detach();
    const bool was = connected_;
    connected_ = false;
    settled_ = true;
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
    client->answerLimit_.stop();
    if (rc != 0 && VersionRefused(rc) && client->protocol_ == MQTT_PROTOCOL_V5) {
        client->protocol_ = MQTT_PROTOCOL_V311;
        qCDebug(lcMqtt).noquote() << client->clientId_ << "the broker takes MQTT 3.1.1 only";
        QMetaObject::invokeMethod(client, &MqttClient::Attempt, Qt::QueuedConnection);
        return;
    }
    if (rc != 0) {
        client->lastError_ = ConnackWords(rc);
        client->cannotMend_ = LoginRefused(rc);
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
    client->backoff_.Reset();
    client->lastError_.clear();
    client->cannotMend_ = false;
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
        [client, rc, errnum = errno, attempt = client->attempt_] {
            if (attempt != client->attempt_) return;
            client->Lost(rc == 0 ? QString() : client->Words(rc, errnum));
        },
        Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid, int reason,
                           const mqtt5__property*) {
    auto* client = static_cast<MqttClient*>(self);
    client->unacknowledged_ = std::max(0, client->unacknowledged_ - 1);
    // 0x10, no subscriber, is a success; from 0x80 on the message was not taken.
    if (reason >= 0x80)
        emit client->refused(mid, AsPartOfLine(mosquitto_reason_string(reason)));
    else
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
    answerLimit_.stop();
    if (connected_ && mosq_ != nullptr) {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_write(mosq_, 1);
    }
    connected_ = false;
    Detach();
}

}  // namespace tvx::cli
