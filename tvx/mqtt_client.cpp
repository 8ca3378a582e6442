#include "mqtt_client.h"

#include <sys/resource.h>

#include <QByteArrayView>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <utility>

namespace tvx::cli {

namespace {

// tvx.mqtt: each broker session's attempts, connections, refusals and losses.
Q_LOGGING_CATEGORY(lcMqtt, "tvx.mqtt", QtWarningMsg)

constexpr int kKeepAliveSeconds = 10;

enum Packet : quint8 {
    kConnect = 1,
    kConnack = 2,
    kPublish = 3,
    kPuback = 4,
    kSubscribe = 8,
    kSuback = 9,
    kPingreq = 12,
    kPingresp = 13,
    kDisconnect = 14,
};

// Properties of MQTT 5 this client reads; the others are skipped by their kind.
enum Property : quint8 {
    kServerKeepAlive = 0x13,
    kReceiveMaximum = 0x21,
    kMaximumPacketSize = 0x27,
};

// A packet's body, read front to back; a read past its end leaves `ok` false.
struct Reader {
    QByteArrayView data;
    qsizetype pos = 0;
    bool ok = true;

    bool AtEnd() const { return pos >= data.size(); }
    qsizetype Left() const { return data.size() - pos; }
    quint8 Byte() {
        if (Left() < 1) return Fail();
        return static_cast<quint8>(data[pos++]);
    }
    quint16 U16() {
        const quint16 high = Byte();
        return static_cast<quint16>(high << 8 | Byte());
    }
    quint32 U32() {
        const quint32 high = U16();
        return high << 16 | U16();
    }
    quint32 VarInt() {
        quint32 value = 0;
        for (int i = 0; i < 4 && ok; ++i) {
            const quint8 b = Byte();
            value |= static_cast<quint32>(b & 0x7f) << (7 * i);
            if ((b & 0x80) == 0) return value;
        }
        return Fail();
    }
    QByteArrayView Bytes(qsizetype n) {
        if (n < 0 || Left() < n) {
            Fail();
            return {};
        }
        const QByteArrayView bytes = data.sliced(pos, n);
        pos += n;
        return bytes;
    }
    QByteArrayView String() { return Bytes(U16()); }
    quint8 Fail() {
        ok = false;
        pos = data.size();
        return 0;
    }
};

// The numeric properties of a packet, by their identifier.
struct Properties {
    bool has[0x30] = {};
    quint32 value[0x30] = {};
};

// False for a property MQTT 5 does not know or one cut short.
bool ReadProperties(Reader& r, Properties& into) {
    Reader p{r.Bytes(r.VarInt())};
    if (!r.ok) return false;
    while (!p.AtEnd()) {
        const quint8 id = p.Byte();
        quint32 value = 0;
        switch (id) {
            case 0x01:
            case 0x17:
            case 0x19:
            case 0x24:
            case 0x25:
            case 0x28:
            case 0x29:
            case 0x2A:
                value = p.Byte();
                break;
            case 0x13:
            case 0x21:
            case 0x22:
            case 0x23:
                value = p.U16();
                break;
            case 0x02:
            case 0x11:
            case 0x18:
            case 0x27:
                value = p.U32();
                break;
            case 0x0B:
                value = p.VarInt();
                break;
            case 0x03:
            case 0x08:
            case 0x09:
            case 0x12:
            case 0x15:
            case 0x16:
            case 0x1A:
            case 0x1C:
            case 0x1F:
                p.String();
                break;
            case 0x26:
                p.String();
                p.String();
                break;
            default:
                return false;
        }
        if (!p.ok) return false;
        into.has[id] = true;
        into.value[id] = value;
    }
    return true;
}

void PutU16(QByteArray& to, int value) {
    to.append(static_cast<char>(value >> 8));
    to.append(static_cast<char>(value & 0xff));
}

void PutString(QByteArray& to, QByteArrayView text) {
    PutU16(to, static_cast<int>(text.size()));
    to.append(text);
}

void PutLength(QByteArray& to, qsizetype length) {
    do {
        char digit = static_cast<char>(length % 128);
        length /= 128;
        if (length > 0) digit = static_cast<char>(digit | 0x80);
        to.append(digit);
    } while (length > 0);
}

int LengthSize(qsizetype length) {
    return length < 128 ? 1 : length < 16384 ? 2 : length < 2097152 ? 3 : 4;
}

// A system's or library's sentence as part of a line: "Connection refused." -> "connection
// refused"; a word in capitals ("TLS") stays as it is.
QString AsPartOfLine(const QString& text) {
    QString words = text.trimmed();
    if (words.endsWith(QLatin1Char('.'))) words.chop(1);
    if (words.size() > 1 && words[0].isUpper() && words[1].isLower()) words[0] = words[0].toLower();
    return words;
}

// An MQTT 5 reason code from 0x80 on, as the broker's refusal of a login, a message or a
// subscription.
QString ReasonWords(int code) {
    static const char* const kWords[] = {"unspecified error",
                                         "malformed packet",
                                         "protocol error",
                                         "implementation specific error",
                                         "unsupported protocol version",
                                         "client identifier not valid",
                                         "bad user name or password",
                                         "not authorised",
                                         "server unavailable",
                                         "server busy",
                                         "banned",
                                         "server shutting down",
                                         "bad authentication method",
                                         "keep alive timeout",
                                         "session taken over",
                                         "topic filter invalid",
                                         "topic name invalid",
                                         "packet identifier in use",
                                         "packet identifier not found",
                                         "receive maximum exceeded",
                                         "topic alias invalid",
                                         "packet too large",
                                         "message rate too high",
                                         "quota exceeded",
                                         "administrative action",
                                         "payload format invalid",
                                         "retain not supported",
                                         "QoS not supported",
                                         "use another server",
                                         "server moved",
                                         "shared subscriptions not supported",
                                         "connection rate exceeded",
                                         "maximum connect time",
                                         "subscription identifiers not supported",
                                         "wildcard subscriptions not supported"};
    const int index = code - 0x80;
    if (index >= 0 && index < static_cast<int>(std::size(kWords)))
        return QString::fromLatin1(kWords[index]);
    return QStringLiteral("reason code 0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

// The broker's CONNACK refusal. A login it refuses stays refused however often it is tried.
QString ConnackWords(int rc) {
    switch (rc) {
        case 1:
            return QStringLiteral("the broker does not take MQTT 3.1.1");
        case 2:
        case 0x85:
            return QStringLiteral("the broker rejects the client id");
        case 3:
        case 0x88:
        case 0x89:
            return QStringLiteral("the broker is unavailable");
        case 4:
        case 0x86:
            return QStringLiteral("login refused: bad user name or password");
        case 5:
        case 0x87:
            return QStringLiteral("login refused: not authorised");
        case 0x8A:
            return QStringLiteral("login refused: the broker has banned this client");
        default:
            return rc >= 0x80 ? ReasonWords(rc) : QStringLiteral("connection refused (%1)").arg(rc);
    }
}

bool LoginRefused(int rc) {
    return rc == 4 || rc == 5 || rc == 0x86 || rc == 0x87 || rc == 0x8A;
}

// What OpenSSL's last words of a failed handshake mean for a user; its own when they are none
// of the usual.
QString TlsWords(const QString& said) {
    const QString reason = said.section(QLatin1Char(':'), -1).trimmed();
    if (reason.contains(QLatin1String("wrong version number")) ||
        reason.contains(QLatin1String("packet length too long")))
        return QStringLiteral("TLS handshake failed: the broker does not speak TLS on this port");
    if (reason.contains(QLatin1String("unexpected eof")))
        return QStringLiteral(
            "TLS handshake failed: the broker closed the connection (does this port take TLS?)");
    if (reason.contains(QLatin1String("alert certificate required")))
        return QStringLiteral("TLS handshake failed: the broker asks for a client certificate");
    return QStringLiteral("TLS handshake failed: ") + AsPartOfLine(reason);
}

// The names a certificate is for: its alternative names, else its common name.
QString NamesOf(const QSslCertificate& cert) {
    const auto alternatives = cert.subjectAlternativeNames();
    QStringList names = alternatives.values(QSsl::AlternativeNameEntryType::DnsEntry);
    if (names.isEmpty()) {
        names = alternatives.values(QSsl::AlternativeNameEntryType::IpAddressEntry);
        names += cert.subjectInfo(QSslCertificate::CommonName);
    } else {
        names += alternatives.values(QSsl::AlternativeNameEntryType::IpAddressEntry);
    }
    return names.isEmpty() ? QStringLiteral("no name") : names.join(QStringLiteral(", "));
}

QString CertificateWords(const QSslError& error, const QString& host, const QString& caFile) {
    switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateSignatureFailed:
        case QSslError::CertificateUntrusted:
            return QStringLiteral("the broker's certificate is not signed by the CA in \"%1\"")
                .arg(caFile);
        case QSslError::HostNameMismatch:
            return QStringLiteral("the broker's certificate is for %1, not %2")
                .arg(error.certificate().isNull() ? QStringLiteral("another host")
                                                  : NamesOf(error.certificate()),
                     host);
        case QSslError::CertificateExpired:
            return QStringLiteral("the broker's certificate has expired");
        case QSslError::CertificateNotYetValid:
            return QStringLiteral(
                "the broker's certificate is not valid yet (is the clock right?)");
        default:
            return AsPartOfLine(error.errorString());
    }
}

QString TooManyFiles() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return QStringLiteral(
               "too many open files: the recorder's descriptor limit (%1) is lower than the fleet "
               "needs; raise LimitNOFILE")
        .arg(static_cast<qulonglong>(limit.rlim_cur));
}

}  // namespace

qsizetype MqttPacketLength(QByteArrayView buffer) {
    qsizetype length = 0;
    for (qsizetype at = 1; at < buffer.size() && at <= 4; ++at) {
        const auto digit = static_cast<quint8>(buffer[at]);
        length |= static_cast<qsizetype>(digit & 0x7f) << (7 * (at - 1));
        if ((digit & 0x80) == 0) return buffer.size() - at - 1 < length ? 0 : at + 1 + length;
    }
    return buffer.size() > 4 ? -1 : 0;
}

bool ReadMqttPacket(QByteArrayView packet, int protocol, MqttInbound& into) {
    into = {};
    Reader head{packet};
    const quint8 header = head.Byte();
    head.VarInt();
    if (!head.ok) return false;
    Reader r{head.Bytes(head.Left())};
    into.type = header >> 4;
    const bool v5 = protocol == 5;
    Properties properties;
    switch (into.type) {
        case kConnack:
            r.Byte();  // session present: never, the session is clean
            into.code = r.Byte();
            if (v5 && !r.AtEnd() && !ReadProperties(r, properties)) return false;
            if (properties.has[kReceiveMaximum]) {
                if (properties.value[kReceiveMaximum] == 0) return false;
                into.receiveMaximum = static_cast<int>(properties.value[kReceiveMaximum]);
            }
            if (properties.has[kMaximumPacketSize]) {
                if (properties.value[kMaximumPacketSize] == 0) return false;
                into.maximumPacketSize = properties.value[kMaximumPacketSize];
            }
            if (properties.has[kServerKeepAlive])
                into.serverKeepAlive = static_cast<int>(properties.value[kServerKeepAlive]);
            break;
        case kPublish:
            into.qos = (header >> 1) & 3;
            into.retained = (header & 1) != 0;
            into.topic = r.String();
            if (into.qos > 0) into.id = r.U16();
            if (v5 && !ReadProperties(r, properties)) return false;
            // This client allows the broker no topic aliases: every message names its topic.
            if (into.qos == 3 || into.topic.isEmpty() || (into.qos > 0 && into.id == 0))
                return false;
            into.payload = r.Bytes(r.Left());
            break;
        case kPuback:
            into.id = r.U16();
            if (!r.AtEnd()) into.code = r.Byte();
            if (into.id == 0) return false;
            break;
        case kSuback:
            into.id = r.U16();
            if (v5 && !ReadProperties(r, properties)) return false;
            into.code = r.Byte();  // of its one filter
            if (into.id == 0) return false;
            break;
        case kPingresp:
            break;
        case kDisconnect:
            if (!r.AtEnd()) into.code = r.Byte();
            break;
        default:
            return false;
    }
    return r.ok;
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
    keepAlive_.setTimerType(Qt::CoarseTimer);
    connect(&keepAlive_, &QTimer::timeout, this, &MqttClient::KeepAlive);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::Attempt);
    answerLimit_.setSingleShot(true);
    connect(&answerLimit_, &QTimer::timeout, this, [this] {
        Lost(QStringLiteral("no answer from the broker within %1 s").arg(kAnswerSeconds));
    });
}

MqttClient::~MqttClient() {
    DropSocket();
}

void MqttClient::Start() {
    Attempt();
}

void MqttClient::Attempt() {
    DropSocket();
    certificateError_.clear();
    reasonGiven_ = false;
    lost_ = false;
    connectSent_ = false;
    ++attempt_;
    QSslSocket* tls = nullptr;
    if (!credentials_.caFile.isEmpty()) {
        if (!QSslSocket::supportsSsl())
            return Lost(QStringLiteral("TLS is not available: Qt finds no OpenSSL"), true);
        // The CA file is the only one trusted: a broker of the plant is not vouched for by the
        // system's public CAs.
        QList<QSslCertificate> authorities = QSslCertificate::fromPath(credentials_.caFile);
        if (authorities.isEmpty())
            authorities = QSslCertificate::fromPath(credentials_.caFile, QSsl::Der);
        authorities.removeIf([](const QSslCertificate& c) { return c.isNull(); });
        if (authorities.isEmpty())
            return Lost(QStringLiteral("CA file \"%1\" holds no certificate that can be used")
                            .arg(credentials_.caFile),
                        true);
        tls = new QSslSocket(this);
        QSslConfiguration configuration = tls->sslConfiguration();
        configuration.setCaCertificates(authorities);
        configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
        configuration.setProtocol(QSsl::TlsV1_2OrLater);
        tls->setSslConfiguration(configuration);
        connect(tls, &QSslSocket::encrypted, this, &MqttClient::OnSocketConnected);
        connect(tls, &QSslSocket::sslErrors, this, &MqttClient::OnSslErrors);
        socket_ = tls;
    } else {
        socket_ = new QTcpSocket(this);
        connect(socket_, &QTcpSocket::connected, this, &MqttClient::OnSocketConnected);
    }
    connect(socket_, &QTcpSocket::readyRead, this, &MqttClient::OnRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &MqttClient::OnSocketError);
    connect(socket_, &QTcpSocket::disconnected, this, &MqttClient::OnClosed);
    qCDebug(lcMqtt).noquote() << clientId_ << "connecting to"
                              << host_ + QLatin1Char(':') + QString::number(port_) << "attempt"
                              << attempt_ << "MQTT" << (protocol_ == 5 ? "5" : "3.1.1");
    answerLimit_.start(kAnswerSeconds * 1000);
    if (tls != nullptr)
        tls->connectToHostEncrypted(host_, static_cast<quint16>(port_));
    else
        socket_->connectToHost(host_, static_cast<quint16>(port_));
}

void MqttClient::DropSocket() {
    keepAlive_.stop();
    if (socket_ != nullptr) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    in_.clear();
    out_.clear();
    held_.clear();
    std::fill(inUse_.begin(), inUse_.end(), false);
    sent_ = 0;
    pingOutstanding_ = false;
    pings_.clear();
}

void MqttClient::OnSocketConnected() {
    // The client gathers its packets itself; Nagle's wait would only delay each batch.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit connecting();
    const bool v5 = protocol_ == 5;
    const QByteArray user = credentials_.user.toUtf8();
    const QByteArray willTopic = willTopic_.toUtf8();
    quint8 flags = 0x02;  // a clean session: the owner sends again what the last one lost
    if (!willTopic.isEmpty()) flags |= 0x04 | 0x08 | (willRetained_ ? 0x20 : 0);  // quality 1
    if (!user.isEmpty()) {
        flags |= 0x80;
        if (!credentials_.password.isNull()) flags |= 0x40;
    }
    QByteArray body;
    PutString(body, "MQTT");
    body.append(static_cast<char>(protocol_));
    body.append(static_cast<char>(flags));
    PutU16(body, kKeepAliveSeconds);
    if (v5) body.append('\0');  // no properties
    PutString(body, clientId_.toUtf8());
    if (!willTopic.isEmpty()) {
        if (v5) body.append('\0');
        PutString(body, willTopic);
        PutString(body, willPayload_);
    }
    if (flags & 0x80) PutString(body, user);
    if (flags & 0x40) PutString(body, credentials_.password.toUtf8());
    Append(kConnect << 4, body);
    connectSent_ = true;
    Flush();
}

void MqttClient::OnSslErrors(const QList<QSslError>& errors) {
    // The first is the cause; what follows from it comes after.
    if (certificateError_.isEmpty() && !errors.isEmpty())
        certificateError_ = QStringLiteral("certificate check failed: ") +
                            CertificateWords(errors.first(), host_, credentials_.caFile);
}

void MqttClient::OnSocketError() {
    if (socket_ == nullptr || lost_) return;
    switch (socket_->error()) {
        case QAbstractSocket::ConnectionRefusedError:
            return Lost(QStringLiteral("connection refused"));
        case QAbstractSocket::HostNotFoundError:
            return Lost(QStringLiteral("host name \"%1\" does not resolve").arg(host_));
        case QAbstractSocket::RemoteHostClosedError:
            return OnClosed();
        case QAbstractSocket::SslHandshakeFailedError:
            return Lost(TlsWords(socket_->errorString()));
        case QAbstractSocket::SocketResourceError:
            return Lost(TooManyFiles());
        default:
            return Lost(AsPartOfLine(socket_->errorString()));
    }
}

void MqttClient::OnClosed() {
    if (socket_ == nullptr || lost_) return;
    auto* tls = qobject_cast<QSslSocket*>(socket_);
    if (tls != nullptr && !tls->isEncrypted())
        return Lost(QStringLiteral(
            "TLS handshake failed: the broker closed the connection (does this port take TLS?)"));
    if (connectSent_ && !connected_) {
        // A broker that does not know MQTT 5 may close the connection instead of refusing it.
        if (protocol_ == 5) {
            protocol_ = 4;
            lost_ = true;
            answerLimit_.stop();
            DropSocket();
            qCDebug(lcMqtt).noquote() << clientId_ << "closed on MQTT 5: trying 3.1.1";
            QMetaObject::invokeMethod(
                this,
                [this, attempt = attempt_] {
                    if (attempt == attempt_) Attempt();
                },
                Qt::QueuedConnection);
            return;
        }
        protocol_ = 5;  // the next attempt asks for 5 again: this was no answer to the version
        return Lost(QStringLiteral("the broker closed the connection"));
    }
    Lost(QStringLiteral("the connection was lost"));
}

void MqttClient::OnRead() {
    if (socket_ == nullptr) return;
    in_.append(socket_->readAll());
    // A slot that waits in an event loop of its own may bring the next chunk: it is parsed by
    // the loop below, after what came before it.
    if (parsing_) return;
    parsing_ = true;
    const auto parsed = qScopeGuard([this] { parsing_ = false; });
    qsizetype pos = 0;
    while (true) {
        // A view: the buffer does not change while the packet is handled, and a handler that
        // ends the session (clearing the buffer) is the last to look at it.
        const QByteArrayView rest = QByteArrayView(in_).sliced(pos);
        const qsizetype length = MqttPacketLength(rest);
        if (length == 0) break;
        MqttInbound packet;
        if (length < 0 || !ReadMqttPacket(rest.first(length), protocol_, packet))
            return Violation();
        pos += length;
        if (!Handle(packet) || socket_ == nullptr || lost_) return;
    }
    in_.remove(0, pos);
    // Acknowledgements of messages received and messages held back go in one write.
    Flush();
}

bool MqttClient::Handle(const MqttInbound& packet) {
    if (!connected_ && packet.type != kConnack) {
        Violation();
        return false;
    }
    switch (packet.type) {
        case kConnack:
            return HandleConnack(packet);
        case kPublish:
            return HandlePublish(packet);
        case kPuback:
            return HandlePuback(packet);
        case kSuback:
            return HandleSuback(packet);
        case kPingresp: {
            const bool fence = !pings_.empty() && pings_.front();
            if (!pings_.empty()) pings_.pop_front();
            if (!fence) {
                pingOutstanding_ = false;
                return true;
            }
            emit fenced();
            return socket_ != nullptr;
        }
        case kDisconnect:
            Lost(packet.code == 0
                     ? QStringLiteral("the broker ended the session")
                     : QStringLiteral("the broker ended the session: ") + ReasonWords(packet.code));
            return false;
        default:
            Violation();
            return false;
    }
}

bool MqttClient::HandleConnack(const MqttInbound& packet) {
    if (connected_) {
        Violation();
        return false;
    }
    const int rc = packet.code;
    answerLimit_.stop();
    if ((rc == 1 || rc == 0x84) && protocol_ == 5) {
        // The next attempt asks for 3.1.1, at once: the broker answered, it only takes less.
        protocol_ = 4;
        lost_ = true;
        DropSocket();
        qCDebug(lcMqtt).noquote() << clientId_ << "the broker takes MQTT 3.1.1 only";
        QMetaObject::invokeMethod(
            this,
            [this, attempt = attempt_] {
                if (attempt == attempt_) Attempt();
            },
            Qt::QueuedConnection);
        return false;
    }
    settled_ = true;
    if (rc != 0) {
        lastError_ = ConnackWords(rc);
        cannotMend_ = LoginRefused(rc);
        reasonGiven_ = true;
        qCDebug(lcMqtt).noquote() << clientId_ << "refused:" << lastError_;
        Lost({});
        return false;
    }
    receiveMaximum_ = packet.receiveMaximum;
    maximumPacketSize_ = packet.maximumPacketSize;
    keepAliveSeconds_ = packet.serverKeepAlive >= 0 ? packet.serverKeepAlive : kKeepAliveSeconds;
    qCDebug(lcMqtt).noquote() << clientId_ << "connected with MQTT"
                              << (protocol_ == 5 ? "5" : "3.1.1") << "receive maximum"
                              << receiveMaximum_;
    connected_ = true;
    backoff_.Reset();
    lastError_.clear();
    cannotMend_ = false;
    reasonGiven_ = false;
    // Half the keep-alive between looks: a quiet connection sends a PINGREQ well within it.
    if (keepAliveSeconds_ > 0) keepAlive_.start(keepAliveSeconds_ * 500);
    emit connectedChanged(true);
    emit stateChanged();
    return socket_ != nullptr && !lost_;
}

bool MqttClient::HandlePuback(const MqttInbound& packet) {
    const int mid = packet.id;
    if (!inUse_[mid]) return true;  // of a message the client gave up on
    inUse_[mid] = false;
    --sent_;
    unacknowledged_ = std::max(0, unacknowledged_ - 1);
    while (!held_.empty() && sent_ < receiveMaximum_) {
        out_.append(held_.front().packet);
        held_.pop_front();
        ++sent_;
    }
    // 0x10, no subscriber, is a success; from 0x80 on the message was not taken.
    if (packet.code >= 0x80)
        emit refused(mid, ReasonWords(packet.code));
    else
        emit acknowledged(mid);
    emit stateChanged();
    return true;
}

bool MqttClient::HandleSuback(const MqttInbound& packet) {
    const int mid = packet.id;
    if (!inUse_[mid]) return true;
    inUse_[mid] = false;
    if (packet.code >= 0x80)
        emit refused(mid, packet.code == 0x80 && protocol_ == 4
                              ? QStringLiteral("subscription refused")
                              : ReasonWords(packet.code));
    else
        emit acknowledged(mid);
    emit stateChanged();
    return true;
}

bool MqttClient::HandlePublish(const MqttInbound& packet) {
    // Subscriptions are of quality 1 at most.
    if (packet.qos > 1) {
        Violation();
        return false;
    }
    if (packet.qos == 1) {
        QByteArray id;
        PutU16(id, packet.id);
        Append(kPuback << 4, id);
    }
    emit message(QString::fromUtf8(packet.topic), packet.payload.toByteArray(), packet.retained);
    return true;
}

void MqttClient::Violation() {
    Lost(QStringLiteral("the broker sent what MQTT does not allow"));
}

void MqttClient::Lost(const QString& reason, bool cannotMend) {
    // A failed attempt is told more than once (the broker's answer, the error of the socket,
    // its closing): the most telling reason comes first, and one loss is one retry. A
    // certificate that did not pass is the cause of whatever TLS error follows it.
    if (!certificateError_.isEmpty()) {
        lastError_ = certificateError_;
        cannotMend_ = true;
        reasonGiven_ = true;
    } else if (!reason.isEmpty() && !reasonGiven_) {
        lastError_ = reason;
        cannotMend_ = cannotMend;
        reasonGiven_ = true;
    }
    if (lost_) return;
    lost_ = true;
    answerLimit_.stop();
    qCDebug(lcMqtt).noquote() << clientId_ << "lost:" << lastError_;
    DropSocket();
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

void MqttClient::KeepAlive() {
    if (!connected_) return;
    if (pingOutstanding_ && pingSent_.hasExpired(keepAliveSeconds_ * 1000LL))
        return Lost(QStringLiteral("the broker stopped answering"));
    if (!wrote_ && !pingOutstanding_) {
        Append(kPingreq << 4, {});
        pings_.push_back(false);
        pingOutstanding_ = true;
        pingSent_.start();
        Flush();
    }
    wrote_ = false;
}

int MqttClient::NextId() {
    for (int tried = 0; tried < 65535; ++tried) {
        nextId_ = nextId_ % 65535 + 1;
        if (!inUse_[nextId_]) return nextId_;
    }
    return -1;
}

void MqttClient::Append(quint8 header, const QByteArray& rest) {
    out_.append(static_cast<char>(header));
    PutLength(out_, rest.size());
    out_.append(rest);
}

int MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain,
                        bool writeNow) {
    if (!connected_) return -1;
    qos = std::clamp(qos, 0, 1);
    const int mid = qos > 0 ? NextId() : 0;
    if (mid < 0) return -1;
    const QByteArray name = topic.toUtf8();
    const bool v5 = protocol_ == 5;
    const qsizetype length = 2 + name.size() + (qos > 0 ? 2 : 0) + (v5 ? 1 : 0) + payload.size();
    const qsizetype packetSize = 1 + LengthSize(length) + length;
    if (qos > 0) {
        inUse_[mid] = true;
        ++unacknowledged_;
    }
    if (maximumPacketSize_ > 0 && packetSize > maximumPacketSize_) {
        // Sent, the broker would end the session for it; it is refused here instead.
        if (qos > 0)
            QMetaObject::invokeMethod(
                this,
                [this, mid, attempt = attempt_, packetSize] {
                    if (attempt != attempt_ || !inUse_[mid]) return;
                    inUse_[mid] = false;
                    unacknowledged_ = std::max(0, unacknowledged_ - 1);
                    emit refused(mid, QStringLiteral("the message has %1 bytes, the broker takes "
                                                     "%2 at most")
                                          .arg(packetSize)
                                          .arg(maximumPacketSize_));
                    emit stateChanged();
                },
                Qt::QueuedConnection);
        return mid;
    }
    const bool hold = qos > 0 && sent_ >= receiveMaximum_;
    QByteArray heldPacket;
    QByteArray& to = hold ? heldPacket : out_;
    to.append(static_cast<char>(kPublish << 4 | qos << 1 | (retain ? 1 : 0)));
    PutLength(to, length);
    PutString(to, name);
    if (qos > 0) PutU16(to, mid);
    if (v5) to.append('\0');  // no properties
    to.append(payload);
    if (hold) {
        held_.push_back({mid, std::move(heldPacket)});
        return mid;
    }
    if (qos > 0) ++sent_;
    if (writeNow)
        Flush();
    else
        QueueFlush();
    return mid;
}

int MqttClient::Subscribe(const QString& filter, int qos) {
    if (!connected_) return -1;
    const int mid = NextId();
    if (mid < 0) return -1;
    inUse_[mid] = true;
    QByteArray body;
    PutU16(body, mid);
    if (protocol_ == 5) body.append('\0');
    PutString(body, filter.toUtf8());
    body.append(static_cast<char>(std::clamp(qos, 0, 1)));
    Append(kSubscribe << 4 | 0x02, body);
    Flush();
    return mid;
}

void MqttClient::QueueFlush() {
    if (flushQueued_) return;
    flushQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            flushQueued_ = false;
            Flush();
        },
        Qt::QueuedConnection);
}

void MqttClient::Flush() {
    if (socket_ == nullptr || out_.isEmpty()) return;
    // One write for everything gathered; what the socket does not take at once, Qt's own buffer
    // sends when it can.
    const QByteArray gathered = std::exchange(out_, {});
    wrote_ = true;
    socket_->write(gathered);
    if (socket_ != nullptr) socket_->flush();
}

void MqttClient::SetWill(const QString& topic, const QByteArray& payload, bool retained) {
    willTopic_ = topic;
    willPayload_ = payload;
    willRetained_ = retained;
}

void MqttClient::Fence() {
    if (!connected_) return;
    Append(kPingreq << 4, {});
    pings_.push_back(true);
    Flush();
}

void MqttClient::Disconnect() {
    closing_ = true;
    retryTimer_.stop();
    answerLimit_.stop();
    if (connected_ && socket_ != nullptr) {
        Append(kDisconnect << 4, {});
        Flush();
        if (socket_ != nullptr && socket_->bytesToWrite() > 0) socket_->waitForBytesWritten(1000);
        if (socket_ != nullptr) socket_->disconnectFromHost();
    }
    connected_ = false;
    DropSocket();
}

}  // namespace tvx::cli
