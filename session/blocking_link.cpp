#include "blocking_link.h"

#include <algorithm>
#include <memory>

#include "link_errors.h"

namespace tvx {

namespace {

// The session keeps its own limits; this only bounds a wait whose report never came (an
// application that quits stops serving the event loop).
constexpr double kReportMarginSeconds = 10.0;

}  // namespace

OpenResult OpenAndWait(SensorSession& session, const SensorAddress& address, WaitMode mode) {
    // Shared with the slot: a wait that ends early must not leave it writing to a dead frame.
    auto result = std::make_shared<std::optional<OpenResult>>();
    const auto connection = QObject::connect(&session, &SensorSession::opened, &session,
                                             [result](const OpenResult& r) { *result = r; });
    session.StartOpen(address);
    WaitUntil([&] { return result->has_value() || !session.IsOpening(); },
              kTcpConnectTimeoutMs / 1000.0 + kReportMarginSeconds, mode,
              {WakeSource(&session, &SensorSession::opened)});
    QObject::disconnect(connection);
    if (result->has_value()) return **result;
    // Closed, or taken by another open, before the outcome came.
    const int code = address.tcp ? int{kTcpGeneralIoError} : int{kSerialUnknownSystemError};
    return {address.tcp ? LinkOutcome::ConnectFailed : LinkOutcome::OpenFailed,
            code,
            address.tcp ? TcpErrorText(code) : SerialErrorText(code),
            {}};
}

ExchangeResult ExchangeAndWait(SensorSession& session, const QByteArray& request,
                               const ExchangeLimits& limits, WaitMode mode) {
    auto result = std::make_shared<std::optional<ExchangeResult>>();
    session.StartExchange(request, limits, [result](const ExchangeResult& r) { *result = r; });
    const double limit = std::max(limits.serialWaitSeconds, limits.tcpWaitSeconds);
    WaitUntil([&] { return result->has_value(); }, limit + kReportMarginSeconds, mode,
              {WakeSource(&session, &SensorSession::exchangeFinished)});
    if (result->has_value()) return **result;
    ExchangeResult none;
    none.outcome = LinkOutcome::NoReply;
    none.expected = limits.replyBytes;
    return none;
}

}  // namespace tvx
