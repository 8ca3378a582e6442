#include "sensor_link.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstring>

#include "blocking_link.h"
#include "event_wait.h"
#include "exchange_limits.h"
#include "link_errors.h"
#include "orders.h"

namespace tvx::cli {

namespace {

QString ReadingStep() {
    return QStringLiteral("no reply while reading the parameters");
}

// The system's own words as part of a line: "Connection refused" -> "connection refused"; a
// word in capitals ("TLS") stays as it is.
QString AsPartOfLine(const QString& text) {
    QString words = text.trimmed();
    if (words.endsWith(QLatin1Char('.'))) words.chop(1);
    if (words.size() > 1 && words[0].isUpper() && words[1].isLower()) words[0] = words[0].toLower();
    return words;
}

// A fleet of sensors takes a descriptor each: when they run out, the limit to raise is named.
QString OutOfResources(const SystemCause& cause) {
    if (cause.errnum == EMFILE) {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        return QStringLiteral(
                   "too many open files: the recorder's descriptor limit (%1) is lower than the "
                   "fleet needs; raise LimitNOFILE")
            .arg(static_cast<qulonglong>(limit.rlim_cur));
    }
    if (cause.errnum == ENFILE)
        return QStringLiteral("too many open files in the system: raise fs.file-max");
    if (cause.errnum == ENOBUFS || cause.errnum == ENOMEM)
        return QStringLiteral("out of memory for another connection");
    return AsPartOfLine(cause.text);
}

QString ConnectCause(const SensorAddress& address, const OpenResult& opened) {
    const SystemCause& cause = opened.cause;
    if (!cause.socket) {
        // Refused before anything was tried, or the attempt was closed before it ended.
        if (address.host.trimmed().isEmpty()) return QStringLiteral("no host name given");
        if (address.port < 1 || address.port > 65535)
            return QStringLiteral("port %1 is outside 1 to 65535").arg(address.port);
        return QStringLiteral("the attempt was cut short");
    }
    switch (*cause.socket) {
        case QAbstractSocket::ConnectionRefusedError:
            return QStringLiteral("connection refused");
        case QAbstractSocket::HostNotFoundError:
            return QStringLiteral("host name \"%1\" does not resolve").arg(address.host.trimmed());
        case QAbstractSocket::SocketTimeoutError:
            return QStringLiteral("no answer within %1 s").arg(kTcpConnectTimeoutMs / 1000);
        case QAbstractSocket::RemoteHostClosedError:
            return QStringLiteral("the sensor closed the connection at once");
        case QAbstractSocket::SocketResourceError:
            return OutOfResources(cause);
        default:
            // "Network unreachable", "Host unreachable", "Permission denied": Qt's words are
            // the system's.
            return AsPartOfLine(cause.text);
    }
}

QString SerialCause(const OpenResult& opened) {
    const SystemCause& cause = opened.cause;
    if (cause.serial == QSerialPort::DeviceNotFoundError) return QStringLiteral("no such device");
    return cause.text.isEmpty() ? opened.text.trimmed() : AsPartOfLine(cause.text);
}

// Why a request did not go out (`written` < 0), in the system's words where it gave any.
QString WriteCause(const ExchangeResult& result) {
    const SystemCause& cause = result.writeCause;
    if (cause.socket == QAbstractSocket::SocketTimeoutError || result.written == kTcpTimeOutError)
        return QStringLiteral("the connection takes no more bytes");
    if (result.written == kSerialTimeout) return QStringLiteral("the port did not send it in time");
    if (cause.socket == QAbstractSocket::SocketResourceError) return OutOfResources(cause);
    if (!cause.text.isEmpty()) return AsPartOfLine(cause.text);
    if (result.written == kTcpNoConnectionEstablished)
        return QStringLiteral("the connection is closed");
    if (result.written == kSerialPortNotOpen) return QStringLiteral("the port is not open");
    return QStringLiteral("the link failed");
}

// An exchange's failure as tvx says it: the session's description, with the write's cause in
// words rather than the table's code.
QString DescribeFailure(const ExchangeResult& result) {
    if (result.outcome == LinkOutcome::WriteIncomplete && result.written < 0)
        return QStringLiteral("the request could not be written: %1").arg(WriteCause(result));
    return result.Describe();
}

}  // namespace

QString OpenFailure(const SensorAddress& address, const OpenResult& opened) {
    if (address.tcp) return QStringLiteral("cannot connect: %1").arg(ConnectCause(address, opened));
    return QStringLiteral("cannot open %1: %2").arg(address.Describe(), SerialCause(opened));
}

QString ReplyFailure(const ExchangeResult& result, const QString& what) {
    if (result.ReplyComplete()) return {};
    switch (result.outcome) {
        case LinkOutcome::NoReply:
            return QStringLiteral("TIMEOUT: %1").arg(what);
        case LinkOutcome::ShortReply:
        case LinkOutcome::LongReply:
            return QStringLiteral("TIMEOUT: %1 (%2)").arg(what, result.Describe());
        default:
            return QStringLiteral("%1 (%2)").arg(what, DescribeFailure(result));
    }
}

QString HandshakeStep() {
    return QStringLiteral("no answer to the handshake");
}

QString LiveFrameStep() {
    return QStringLiteral("no data frame");
}

VersionText VersionOf(const ExchangeResult& handshake) {
    VersionText version;
    version.Clear();
    const auto size = std::min<qsizetype>(handshake.reply.size(), kFrameBytes);
    if (size > 0) std::memcpy(version.bytes.data(), handshake.reply.constData(), size);
    return version;
}

void SessionParameterRead::Take(const ExchangeResult& result) {
    const ReplyVerdict verdict =
        read_.Take(result.ReplyComplete() && result.reply.size() >= kFrameBytes,
                   reinterpret_cast<const std::uint8_t*>(result.reply.constData()));
    // The first failure is the one named: the read stops at it.
    if (verdict != ReplyVerdict::Taken && !failed_) failed_ = result;
}

QString SessionParameterRead::Error() const {
    if (!read_.Failed()) return {};
    if (read_.Failure() == ReplyVerdict::Missing) return ReplyFailure(*failed_, ReadingStep());
    return QStringLiteral(
               "wrong reply (sync, order or row) while reading the parameters (order "
               "%1, row %2)")
        .arg(read_.FailedStep().order)
        .arg(read_.FailedStep().row);
}

SensorLink::SensorLink(const NamedSensor& sensor) : sensor_(sensor) {}

SensorLink::~SensorLink() {
    Close();
}

bool SensorLink::Fail(const QString& message) {
    error_ = message;
    return false;
}

ExchangeResult SensorLink::Exchange(const QByteArray& request, const ExchangeLimits& limits,
                                    const QString& what) {
    ExchangeResult result = ExchangeAndWait(session_, request, limits, WaitMode::ServeUserInput);
    error_ = ReplyFailure(result, what);
    return result;
}

bool SensorLink::Connect() {
    error_.clear();
    const OpenResult opened = OpenAndWait(session_, sensor_.address, WaitMode::ServeUserInput);
    if (!opened.ok()) return Fail(OpenFailure(sensor_.address, opened));
    const ExchangeResult handshake =
        Exchange(RequestFrame({kOrderVersion, 0}), HandshakeReply(), HandshakeStep());
    if (!error_.isEmpty()) return false;
    version_ = VersionOf(handshake);
    return true;
}

bool SensorLink::ReadParameters(bool eeprom, ParameterImage& image) {
    error_.clear();
    SessionParameterRead read(eeprom, params_);
    while (!read.Ended())
        read.Take(
            ExchangeAndWait(session_, read.NextRequest(), ScopeReply(), WaitMode::ServeUserInput));
    if (!read.Error().isEmpty()) return Fail(read.Error());
    params_ = read.Read();
    image = ImageOf(params_);
    return true;
}

bool SensorLink::SendParameters(bool eeprom, const ParameterImage& image, ParameterImage& sent) {
    error_.clear();
    TakeImage(image, params_);
    sent = ImageOf(params_);
    session_.FlushSerialQueues();
    const auto send = [this, &sent](const ConversationStep& step) {
        const ExchangeResult result = session_.Send(RequestFrame(step, &sent));
        if (result.ok()) return true;
        return Fail(QStringLiteral("the parameters could not be written (order %1: %2)")
                        .arg(step.order)
                        .arg(DescribeFailure(result)));
    };
    for (const ConversationStep& step : ParameterWriteSteps())
        if (!send(step)) return false;
    return !eeprom || send(kStoreInEeprom);
}

bool SensorLink::FetchFrame(LiveValues& values) {
    error_.clear();
    const std::optional<LiveValues> frame =
        DataFrameOf(Exchange(RequestFrame({kOrderData, 0}), ScopeReply(), LiveFrameStep()));
    if (!frame) return false;
    values = *frame;
    return true;
}

void SensorLink::Close() {
    session_.Close();
}

namespace {

// After a write the sensor gets half a second before it is asked again, as after SEND in the
// scope.
constexpr double kPauseAfterWriteSeconds = 0.5;

// "word 6: sent 4, read 5", the first word where two images differ.
QString FirstDifference(const ParameterImage& expected, const ParameterImage& found) {
    for (int w = 0; w < anzpara; ++w) {
        const auto k = static_cast<std::size_t>(w);
        if (expected[k] != found[k])
            return QStringLiteral("word %1: sent %2, read %3")
                .arg(w)
                .arg(expected[k])
                .arg(found[k]);
    }
    return {};
}

}  // namespace

QString WriteAndReadBack(SensorLink& link, bool eeprom, const ParameterImage& image) {
    ParameterImage sent{};
    if (!link.SendParameters(eeprom, image, sent)) return link.Error();
    Pause(kPauseAfterWriteSeconds, WaitMode::ServeUserInput);
    ParameterImage back{};
    if (!link.ReadParameters(eeprom, back))
        return QStringLiteral("read-back failed: ") + link.Error();
    if (back != sent)
        return QStringLiteral("read-back differs from what was sent (%1)")
            .arg(FirstDifference(sent, back));
    return {};
}

QString ReadMemories(SensorLink& link, bool eeprom, Memories& memories) {
    if (!link.Connect() || !link.ReadParameters(false, memories.ram)) return link.Error();
    if (!eeprom) return {};
    ParameterImage stored{};
    const bool read = link.ReadParameters(true, stored);
    const QString readError = link.Error();
    if (read && stored == memories.ram) {
        memories.eeprom = stored;
        return {};
    }
    memories.putBackFailure = WriteAndReadBack(link, false, memories.ram);
    const bool putBack = memories.putBackFailure.isEmpty();
    if (!read)
        return QStringLiteral("reading the EEPROM: %1%2")
            .arg(readError,
                 putBack ? QString() : QStringLiteral("; the working set may now be the EEPROM's"));
    memories.eeprom = stored;
    if (!putBack)
        return QStringLiteral("the working set could not be put back after reading the EEPROM: %1")
            .arg(memories.putBackFailure);
    return {};
}

}  // namespace tvx::cli
