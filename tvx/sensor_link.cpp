#include "sensor_link.h"

#include <cstring>

#include "blocking_link.h"
#include "orders.h"
#include "serial_port_names.h"

namespace tvx::cli {

namespace {

SessionEndpoint EndpointOf(const SensorAddress& address) {
    if (address.tcp) return SessionEndpoint::Tcp(address.host, address.port);
    return SessionEndpoint::Serial(address.serial.device.isEmpty()
                                       ? SerialPortName(address.serial.comport)
                                       : address.serial.device);
}

QByteArray RequestOf(const FrameBuffers& buffers) {
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

// A reply is the one asked for when it echoes the sync word, the order and, for a teach row,
// the row.
bool IsReplyTo(const FrameBuffers& buffers, std::uint16_t order, std::uint16_t row) {
    const auto& pp = buffers.pp;
    return pp[0] == sync && pp[1] == order && (order != kOrderReadTeachRow || pp[2] == row);
}

}  // namespace

SensorLink::SensorLink(const SensorAddress& address) : address_(address) {}

SensorLink::~SensorLink() {
    Close();
}

bool SensorLink::Fail(const QString& message) {
    error_ = message;
    return false;
}

bool SensorLink::Exchange(const ExchangeLimits& limits, const QString& what) {
    const ExchangeResult result =
        ExchangeAndWait(session_, RequestOf(buffers_), limits, WaitMode::ServeUserInput);
    const auto size = std::min<qsizetype>(result.reply.size(), kBufferBytes);
    if (size > 0) std::memcpy(buffers_.szReadBuf.data(), result.reply.constData(), size);
    if (result.ReplyComplete()) return true;
    const double limit = address_.tcp ? limits.tcpWaitSeconds : limits.serialWaitSeconds;
    switch (result.outcome) {
        case LinkOutcome::NoReply:
            return Fail(QStringLiteral("TIMEOUT: %1").arg(what));
        case LinkOutcome::ShortReply:
        case LinkOutcome::LongReply:
            return Fail(QStringLiteral("TIMEOUT: %1 (%2)").arg(what, result.Describe(limit)));
        default:
            return Fail(QStringLiteral("%1 (%2)").arg(what, result.Describe(limit)));
    }
}

bool SensorLink::Connect() {
    error_.clear();
    const OpenResult opened = OpenAndWait(session_, EndpointOf(address_), WaitMode::ServeUserInput);
    if (!opened.ok()) {
        if (address_.tcp) return Fail(QStringLiteral("cannot connect: %1").arg(opened.text));
        return Fail(
            QStringLiteral("cannot open %1: %2").arg(session_.Endpoint().Describe(), opened.text));
    }
    FillTxBuf(buffers_, kOrderVersion, 0);
    if (!Exchange(HandshakeReply(), QStringLiteral("no answer to the handshake"))) return false;
    version_.Clear();
    std::memcpy(version_.bytes.data(), buffers_.szReadBuf.data(), kFrameBytes);
    return true;
}

bool SensorLink::ReadParameters(bool eeprom, ParameterImage& image) {
    error_.clear();
    const QString reading = QStringLiteral("no reply while reading the parameters");
    const auto wrongReply = [this](std::uint16_t order, std::uint16_t row) {
        return Fail(QStringLiteral("wrong reply (sync, order or row) while reading the "
                                   "parameters (order %1, row %2)")
                        .arg(order)
                        .arg(row));
    };
    if (eeprom) {
        // The EEPROM's set is loaded into RAM first; its echo must come back.
        FillTxBuf(buffers_, kOrderLoadEeprom, 0);
        if (!Exchange(ScopeReply(), reading)) return false;
        GetRxBufPara(buffers_);
        if (!IsReplyTo(buffers_, kOrderLoadEeprom, 0)) return wrongReply(kOrderLoadEeprom, 0);
    }
    // The replies fill a copy; a broken read leaves the set as it was.
    ParameterSet staged = params_;
    FillTxBuf(buffers_, kOrderReadModes, 0);
    if (!Exchange(ScopeReply(), reading)) {
        // As GET does, row 0 is still asked for before the read stops.
        const QString failure = error_;
        FillTxBuf(buffers_, kOrderReadTeachRow, 0);
        Exchange(ScopeReply(), reading);
        return Fail(failure);
    }
    GetRxBufPara(buffers_);
    if (!IsReplyTo(buffers_, kOrderReadModes, 0)) return wrongReply(kOrderReadModes, 0);
    CopyPPtoVars(buffers_, staged);
    for (std::uint16_t row = 0; row < kTeachRows; ++row) {
        FillTxBuf(buffers_, kOrderReadTeachRow, row);
        if (!Exchange(ScopeReply(), reading)) return false;
        GetRxBufPara(buffers_);
        if (!IsReplyTo(buffers_, kOrderReadTeachRow, row))
            return wrongReply(kOrderReadTeachRow, row);
        CopyPPtoVars(buffers_, staged);
    }
    params_ = staged;
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
        FillTxBuf(buffers_, order, row);
        const ExchangeResult result = session_.Send(RequestOf(buffers_));
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
    FillTxBuf(buffers_, kOrderData, 0);
    if (!Exchange(ScopeReply(), QStringLiteral("no data frame"))) return false;
    GetRxBufData(buffers_);
    CopyDatatoVars(buffers_, live_);
    values = live_;
    return true;
}

void SensorLink::Close() {
    session_.Close();
}

}  // namespace tvx::cli
