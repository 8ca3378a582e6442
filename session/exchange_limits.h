#pragma once

#include "event_wait.h"
#include "frames.h"

namespace tvx {

// The time limits of the transport that do not depend on the exchange.
inline constexpr int kSerialPortTimeoutMs = 2000;  // serial reads and writes
inline constexpr int kTcpConnectTimeoutMs = 5000;
inline constexpr int kTcpWriteTimeoutMs = 2000;           // every write but the handshake's
inline constexpr int kHandshakeTcpWriteTimeoutMs = 5000;  // the handshake's write
inline constexpr int kBaudRate = 19200;

// How one request/reply exchange runs: the reply length and its waits.
struct ExchangeLimits {
    int replyBytes = kFrameBytes;    // 36; the temperature-compensation reads await 200 or 256
    double serialWaitSeconds = 3.0;  // wait for the reply on the serial line
    double tcpWaitSeconds = 3.0;     // wait for the reply over TCP
    int tcpWriteTimeoutMs = kTcpWriteTimeoutMs;
    // false: the serial wait repaints and serves the link but holds user input back
    bool serialServesUserInput = true;
    bool serialFlushFirst = true;  // both serial queues are flushed before the request
};

// The scope's exchanges (orders 3, 4, 5, 8 and 19): 3.0 s on both links, events served.
constexpr ExchangeLimits ScopeReply() {
    return {};
}

// The handshake (order 7): serial 2.0 s without user input, TCP 5000 ms write and 5.0 s.
constexpr ExchangeLimits HandshakeReply() {
    return {kFrameBytes, 2.0, 5.0, kHandshakeTcpWriteTimeoutMs, false, true};
}

// The tools' exchanges: 2.0 s on both links; which serial waits serve user input and which
// flush first is the tool's own (the calibration tool's echo wait serves it, its data waits do
// not; the temperature-compensation reads flush once before the first and never serve it).
constexpr ExchangeLimits ToolReply(int replyBytes, bool serialServesUserInput,
                                   bool serialFlushFirst) {
    return {replyBytes, 2.0, 2.0, kTcpWriteTimeoutMs, serialServesUserInput, serialFlushFirst};
}

// How the programs wait for a reply: over TCP serving the user, on the serial line as the
// exchange says.
constexpr WaitMode ReplyWaitMode(const ExchangeLimits& limits, bool tcp) {
    return tcp || limits.serialServesUserInput ? WaitMode::ServeUserInput
                                               : WaitMode::ExcludeUserInput;
}

}  // namespace tvx
