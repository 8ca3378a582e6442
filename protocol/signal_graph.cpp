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
