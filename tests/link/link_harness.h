#pragma once

#include <sys/resource.h>

#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <initializer_list>

#include "com232.h"
#include "fault_plan.h"
#include "frames.h"
#include "link_state.h"
#include "loop_flags.h"
#include "scripted_popups.h"
#include "sensor_state.h"
#include "wait.h"

namespace tvx::test {

// One program's link: its state, buffers and loop flags, scripted pop-ups, a status display that
// keeps what it was shown, and the transport working on all of them.
struct LinkHarness {
    explicit LinkHarness(LinkVariant variant = LinkVariant::Scope())
        : com(link, buffers, flags, popups, variant) {
        com.SetStatusDisplay([this](const QString& text) { statusTexts << text; });
    }

    LinkState link;
    FrameBuffers buffers;
    LoopFlags flags;
    ScriptedPopups popups;
    QStringList statusTexts;
    Com232 com;
};

// CPU time the calling thread has used, in seconds.
inline double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The frame about to be sent, as bytes.
inline QByteArray SentFrame(const FrameBuffers& buffers) {
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

// The first n bytes of the receive buffer.
inline QByteArray Received(const FrameBuffers& buffers, int n) {
    return QByteArray(reinterpret_cast<const char*>(buffers.szReadBuf.data()), n);
}

inline QByteArray VersionReply(const QByteArray& text) {
    const auto bytes = sim::VersionBytes(text);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// A table as the sensor sends it: each word high byte first.
template <typename Table>
QByteArray TableReply(const Table& table, int first, int count) {
    QByteArray bytes(2 * count, '\0');
    for (int i = 0; i < count; ++i)
        PackWord(reinterpret_cast<std::uint8_t*>(bytes.data()) + 2 * i,
                 table[static_cast<std::size_t>(first + i)]);
    return bytes;
}

// Builds a request of `order` in szWriteBuf whose word 2 is `value` (as the tools' builders do).
inline void BuildRequest(FrameBuffers& buffers, std::uint16_t order, std::uint16_t value = 0) {
    buffers.pp[0] = value;
    FillTxBuf(buffers, order, 0);
}

// The request/reply limits with shorter waits, for tests of what happens after a wait ran out.
inline ExchangeLimits ShortWaits(ExchangeLimits limits, double seconds) {
    limits.serialWaitSeconds = seconds;
    limits.tcpWaitSeconds = seconds;
    return limits;
}

inline sim::Fault MakeFault(sim::FaultKind kind, int order, int a = sim::Fault::kDefault,
                            int b = sim::Fault::kDefault, int times = sim::Fault::kAlways) {
    sim::Fault fault;
    fault.kind = kind;
    fault.order = order;
    fault.a = a;
    fault.b = b;
    fault.times = times;
    return fault;
}

}  // namespace tvx::test
