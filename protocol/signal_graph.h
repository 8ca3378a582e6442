#pragma once

// The signal graph's bookkeeping: the sample counter that is the X coordinate of the next sample
// and the segment buffers (previous, current) from which each sample's line piece is drawn.

#include <array>
#include <cstdint>
#include <optional>

#include "parameter_set.h"

namespace tvx {

// The seven signals in the order of the SIGNAL ring: R, G, B, X (s), Y (i), INT (M), TEMP.
inline constexpr int kSignalCount = 7;
using SignalValues = std::array<std::uint16_t, kSignalCount>;

SignalValues SignalValuesOf(const LiveValues& live);

// The trace colour of each signal's graph, as 0xRRGGBB.
inline constexpr std::array<std::uint32_t, kSignalCount> kSignalTraceColours = {
    0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000, 0x00FF00, 0x008080, 0x008080};

// The graph that a SIGNAL value shows; nothing for a value outside 0 ... 6.
std::optional<int> SignalGraphIndex(int signal);

// The top of a signal's value axis in a calculation mode (0 X/Y INT, 1 s/i M): the largest value
// the signal can take there. R, G, B are 12-bit raw signals in both modes; s runs to 10000, i to
// 4000 and M to 1200, as on the colour plane and the intensity strip chart; the temperature comes
// in degrees.
double SignalAxisTop(int signal, int calcmode);

// The end of the sample axis while the newest sample lies at `x`: it grows in a few steps, so
// that the graph is drawn again in full only at these steps and not with every sample.
double SignalSampleAxisTop(std::uint16_t x);

// Previous and current value of one buffer.
struct SegmentBuffer {
    std::uint16_t previous = 0;
    std::uint16_t current = 0;

    void Push(std::uint16_t value) {
        previous = current;
        current = value;
    }
};

// One line piece of one graph, from (x0, y0) to (x1, y1); a single point when both ends are the
// same (the first sample after a clear).
struct GraphSegment {
    std::uint16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool operator==(const GraphSegment&) const = default;
};

class SignalGraphData {
  public:
    // graphcnt = 0: the next sample starts a new trace at X = 0.
    void Clear() { graphcnt_ = 0; }
    // Takes one sample of all seven signals and returns the piece each graph gets. The first
    // sample after a clear, and after the counter wrapped past 65535, is a single point at X = 0.
    std::array<GraphSegment, kSignalCount> AddSample(const SignalValues& values);

    std::uint16_t graphcnt() const { return graphcnt_; }
    // Whether the sample just added started a new trace.
    bool StartedTrace() const { return startedTrace_; }

  private:
    std::uint16_t graphcnt_ = 0;
    bool startedTrace_ = false;
    SegmentBuffer bufcnt_;
    std::array<SegmentBuffer, kSignalCount>
        bufs_{};  // bufr, bufg, bufb, bufx, bufy, bufint, buftemp
};

}  // namespace tvx
