#include "mean_teach.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "recognition_margin.h"
#include "teach_table.h"

namespace tvx {

namespace {
constexpr std::int64_t kWordMax = 0xFFFF;

std::uint16_t ClampWord(std::int64_t value) {
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, kWordMax));
}
}  // namespace

int CounterAfterCapture(int counter) {
    return std::min(counter, kCaptureRows - 1) + 1;
}

int CounterAfterUndo(int counter) {
    return counter > 0 ? counter - 1 : 0;
}

CapturedFrame MeanOfFrames(std::span<const CapturedFrame> frames) {
    CapturedFrame mean{};
    if (frames.empty()) return mean;
    for (int c = 0; c < kCaptureColumns; ++c) {
        std::int32_t sum = 0;  // at most 100 x 65535: fits
        for (const CapturedFrame& frame : frames) sum += frame[static_cast<std::size_t>(c)];
        mean[static_cast<std::size_t>(c)] =
            static_cast<std::uint16_t>(sum / static_cast<std::int32_t>(frames.size()));
    }
    return mean;
}

MaxDeltas MaxDeltaOfFrames(std::span<const CapturedFrame> frames, std::uint16_t meanx,
                           std::uint16_t meany, std::uint16_t meanint) {
    MaxDeltas deltas;
    for (const CapturedFrame& frame : frames) {
        const std::int64_t dx = std::abs(std::int64_t{frame[kCaptureColumnX]} - meanx);
        const std::int64_t dy = std::abs(std::int64_t{frame[kCaptureColumnY]} - meany);
        const auto d = static_cast<std::int64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
        deltas.xy = std::max(deltas.xy, ClampWord(d));
        const std::int64_t di = std::abs(std::int64_t{frame[kCaptureColumnInt]} - meanint);
        deltas.intensity = std::max(deltas.intensity, ClampWord(di));
    }
    return deltas;
}

std::uint16_t ChosenTolerance(int selector, std::uint16_t value, std::uint16_t maxDelta,
                              std::uint16_t current) {
    switch (static_cast<ToleranceSource>(selector)) {
        case ToleranceSource::Value:
            return value;
        case ToleranceSource::MaxDelta:
            return maxDelta;
        case ToleranceSource::MaxDeltaPlusValue:
            return ClampWord(std::int64_t{value} + maxDelta);
        case ToleranceSource::NoChange:
        default:
            return current;
    }
}

TeachOutlook OutlookOfTeach(std::span<const CapturedFrame> frames,
                            const std::array<std::uint16_t, kTeachColumns>& row) {
    TeachOutlook outlook;
    DistanceCapability capability;
    for (const CapturedFrame& frame : frames) {
        const double x = frame[kCaptureColumnX], y = frame[kCaptureColumnY];
        const double margin = TeachRowMargin(row, x, y, frame[kCaptureColumnInt]);
        outlook.worstMargin = std::min(outlook.worstMargin.value_or(margin), margin);
        capability.Add(std::hypot(x - row[kColumnX], y - row[kColumnY]));
    }
    outlook.cpu = capability.Cpu(row[kColumnCto]);
    return outlook;
}

}  // namespace tvx
