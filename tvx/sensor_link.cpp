#include "sensor_link.h"

#include <cstring>

#include "blocking_link.h"
#include "event_wait.h"
#include "orders.h"

namespace tvx::cli {

namespace {

QString ReadingStep() {
    return QStringLiteral("no reply while reading the parameters");
}

}  // namespace

QString OpenFailure(const SensorAddress& address, const OpenResult& opened) {
    if (address.tcp) return QStringLiteral("cannot connect: %1").arg(opened.text);
    return QStringLiteral("cannot open %1: %2").arg(address.Describe(), opened.text);
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
            return QStringLiteral("%1 (%2)").arg(what, result.Describe());
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
                        .arg(result.Describe()));
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
