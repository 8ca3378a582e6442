#include "sensor_link.h"

#include "event_wait.h"

#include <cstring>

#include "blocking_link.h"
#include "orders.h"

namespace tvx::cli {

namespace {

// A reply is the one asked for when it echoes the sync word, the order and, for a teach row,
// the row.
bool IsReplyTo(const FrameBuffers& buffers, std::uint16_t order, std::uint16_t row) {
    const auto& pp = buffers.pp;
    return pp[0] == sync && pp[1] == order && (order != kOrderReadTeachRow || pp[2] == row);
}

QString ReadingStep() {
    return QStringLiteral("no reply while reading the parameters");
}

}  // namespace

QByteArray RequestFrame(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row) {
    FillTxBuf(buffers, order, row);
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

QString OpenFailure(const SensorAddress& address, const OpenResult& opened) {
    if (address.tcp) return QStringLiteral("cannot connect: %1").arg(opened.text);
    return QStringLiteral("cannot open %1: %2").arg(address.Describe(), opened.text);
}

QString TakeReply(FrameBuffers& buffers, const ExchangeResult& result, const ExchangeLimits& limits,
                  bool tcp, const QString& what) {
    const auto size = std::min<qsizetype>(result.reply.size(), kBufferBytes);
    if (size > 0) std::memcpy(buffers.szReadBuf.data(), result.reply.constData(), size);
    if (result.ReplyComplete()) return {};
    const double limit = tcp ? limits.tcpWaitSeconds : limits.serialWaitSeconds;
    switch (result.outcome) {
        case LinkOutcome::NoReply:
            return QStringLiteral("TIMEOUT: %1").arg(what);
        case LinkOutcome::ShortReply:
        case LinkOutcome::LongReply:
            return QStringLiteral("TIMEOUT: %1 (%2)").arg(what, result.Describe(limit));
        default:
            return QStringLiteral("%1 (%2)").arg(what, result.Describe(limit));
    }
}

QString HandshakeStep() {
    return QStringLiteral("no answer to the handshake");
}

QString LiveFrameStep() {
    return QStringLiteral("no data frame");
}

ParameterRead::ParameterRead(bool eeprom, const ParameterSet& current)
    : step_(eeprom ? Step::LoadEeprom : Step::Modes), staged_(current) {}

std::uint16_t ParameterRead::Order() const {
    switch (step_) {
        case Step::LoadEeprom:
            return kOrderLoadEeprom;
        case Step::Modes:
            return kOrderReadModes;
        default:
            return kOrderReadTeachRow;
    }
}

QByteArray ParameterRead::Request(FrameBuffers& buffers) const {
    return RequestFrame(buffers, Order(), step_ == Step::TeachRow ? row_ : 0);
}

void ParameterRead::Fail(const QString& error, LinkOutcome outcome) {
    error_ = error;
    failedOutcome_ = outcome;
    step_ = Step::Ended;
}

void ParameterRead::Take(FrameBuffers& buffers, const ExchangeResult& result, bool tcp) {
    const QString failure = TakeReply(buffers, result, ScopeReply(), tcp, ReadingStep());
    if (step_ == Step::RowAfterFailure) {
        step_ = Step::Ended;  // the first failure stands, whatever this reply was
        return;
    }
    if (!failure.isEmpty()) {
        if (step_ != Step::Modes) return Fail(failure, result.outcome);
        // As GET does, row 0 is still asked for before the read stops.
        error_ = failure;
        failedOutcome_ = result.outcome;
        step_ = Step::RowAfterFailure;
        return;
    }
    GetRxBufPara(buffers);
    const std::uint16_t row = step_ == Step::TeachRow ? row_ : 0;
    if (!IsReplyTo(buffers, Order(), row)) {
        wrongReply_ = true;
        return Fail(QStringLiteral("wrong reply (sync, order or row) while reading the "
                                   "parameters (order %1, row %2)")
                        .arg(Order())
                        .arg(row),
                    result.outcome);
    }
    switch (step_) {
        case Step::LoadEeprom:
            step_ = Step::Modes;  // the EEPROM's set is in RAM now
            break;
        case Step::Modes:
            CopyPPtoVars(buffers, staged_);
            step_ = Step::TeachRow;
            row_ = 0;
            break;
        default:
            CopyPPtoVars(buffers, staged_);
            if (++row_ == kTeachRows) step_ = Step::Ended;
            break;
    }
}

SensorLink::SensorLink(const NamedSensor& sensor) : sensor_(sensor) {}

SensorLink::~SensorLink() {
    Close();
}

bool SensorLink::Fail(const QString& message) {
    error_ = message;
    return false;
}

bool SensorLink::Exchange(const QByteArray& request, const ExchangeLimits& limits,
                          const QString& what) {
    const ExchangeResult result =
        ExchangeAndWait(session_, request, limits, WaitMode::ServeUserInput);
    error_ = TakeReply(buffers_, result, limits, sensor_.address.tcp, what);
    return error_.isEmpty();
}

bool SensorLink::Connect() {
    error_.clear();
    const OpenResult opened = OpenAndWait(session_, sensor_.address, WaitMode::ServeUserInput);
    if (!opened.ok()) return Fail(OpenFailure(sensor_.address, opened));
    if (!Exchange(RequestFrame(buffers_, kOrderVersion), HandshakeReply(), HandshakeStep()))
        return false;
    version_.Clear();
    std::memcpy(version_.bytes.data(), buffers_.szReadBuf.data(), kFrameBytes);
    return true;
}

bool SensorLink::ReadParameters(bool eeprom, ParameterImage& image) {
    error_.clear();
    ParameterRead read(eeprom, params_);
    while (!read.Ended()) {
        const ExchangeResult result = ExchangeAndWait(session_, read.Request(buffers_),
                                                      ScopeReply(), WaitMode::ServeUserInput);
        read.Take(buffers_, result, sensor_.address.tcp);
    }
    if (!read.Error().isEmpty()) return Fail(read.Error());
    params_ = read.Read();
    CopyVarsToPP(params_, buffers_);
    image = TakeImageFromPp(buffers_);
    return true;
}

bool SensorLink::SendParameters(bool eeprom, const ParameterImage& image, ParameterImage& sent) {
    error_.clear();
    PutImageIntoPp(image, buffers_);
    CopyFileParatoVars(buffers_, params_);
    CopyVarsToPP(params_, buffers_);
    sent = TakeImageFromPp(buffers_);
    session_.FlushSerialQueues();
    const auto send = [this](std::uint16_t order, std::uint16_t row) {
        const ExchangeResult result = session_.Send(RequestFrame(buffers_, order, row));
        if (result.ok()) return true;
        return Fail(QStringLiteral("the parameters could not be written (order %1: %2)")
                        .arg(order)
                        .arg(result.Describe(0.0)));
    };
    if (!send(kOrderWriteModes, 0)) return false;
    for (std::uint16_t row = 0; row < kTeachRows; ++row)
        if (!send(kOrderWriteTeachRow, row)) return false;
    return !eeprom || send(kOrderStoreEeprom, 0);
}

bool SensorLink::FetchFrame(LiveValues& values) {
    error_.clear();
    if (!Exchange(RequestFrame(buffers_, kOrderData), ScopeReply(), LiveFrameStep())) return false;
    GetRxBufData(buffers_);
    CopyDatatoVars(buffers_, live_);
    values = live_;
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
    const QString putBack = WriteAndReadBack(link, false, memories.ram);
    if (!read)
        return QStringLiteral("reading the EEPROM: %1%2")
            .arg(readError, putBack.isEmpty()
                                ? QString()
                                : QStringLiteral("; the working set may now be the EEPROM's"));
    if (!putBack.isEmpty())
        return QStringLiteral("the working set could not be put back after reading the EEPROM: %1")
            .arg(putBack);
    memories.eeprom = stored;
    return {};
}

}  // namespace tvx::cli
