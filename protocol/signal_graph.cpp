#include "signal_graph.h"

namespace tvx {

SignalValues SignalValuesOf(const LiveValues& live) {
    return {live.dataR, live.dataG,   live.dataB,   live.dataX,
            live.dataY, live.dataINT, live.dataTemp};
}

std::optional<int> SignalGraphIndex(int signal) {
    if (signal < 0 || signal >= kSignalCount) return std::nullopt;
    return signal;
}

double SignalAxisTop(int signal, int calcmode) {
    constexpr double kRawTop = 4096;
    constexpr double kTemperatureTop = 100;
    constexpr std::array<double, 3> kPlaneTops = {10000, 4000, 1200};  // s, i, M
    if (signal == 6) return kTemperatureTop;
    if (calcmode == 1 && signal >= 3 && signal <= 5)
        return kPlaneTops[static_cast<std::size_t>(signal - 3)];
    return kRawTop;
}

double SignalSampleAxisTop(std::uint16_t x) {
    // The counter wraps after 65535, so the last step shows every sample it can reach.
    constexpr std::array<double, 10> kTops = {100,  200,   500,   1000,  2000,
                                              5000, 10000, 20000, 50000, 65536};
    for (double top : kTops)
        if (x < top) return top;
    return kTops.back();
}

std::array<GraphSegment, kSignalCount> SignalGraphData::AddSample(const SignalValues& values) {
    bufcnt_.Push(graphcnt_);
    for (int i = 0; i < kSignalCount; ++i)
        bufs_[static_cast<std::size_t>(i)].Push(values[static_cast<std::size_t>(i)]);
    startedTrace_ = graphcnt_ == 0;
    if (startedTrace_) {
        bufcnt_.previous = bufcnt_.current;
        for (SegmentBuffer& b : bufs_) b.previous = b.current;
    }
    std::array<GraphSegment, kSignalCount> segments{};
    for (std::size_t i = 0; i < segments.size(); ++i)
        segments[i] = {bufcnt_.previous, bufs_[i].previous, bufcnt_.current, bufs_[i].current};
    // Wraps to 0 after 65535 samples: the next sample starts a new trace at X = 0.
    graphcnt_ = static_cast<std::uint16_t>(graphcnt_ + 1);
    return segments;
}

}  // namespace tvx
