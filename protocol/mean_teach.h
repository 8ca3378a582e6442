#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "parameter_set.h"

namespace tvx {

// The mean-value teach: up to 100 captured frames of R, G, B, X, Y, INT, their integer means, the
// largest deviation from the mean, and the tolerances taught with the mean.

inline constexpr int kCaptureRows = 100;
inline constexpr int kCaptureColumns = 6;  // R, G, B, X (s), Y (i), INT (M)
inline constexpr int kCaptureColumnX = 3;
inline constexpr int kCaptureColumnY = 4;
inline constexpr int kCaptureColumnInt = 5;

using CapturedFrame = std::array<std::uint16_t, kCaptureColumns>;

// The counter after a capture: one more, at most 100 (the 101st capture replaces row 100).
int CounterAfterCapture(int counter);
// The counter after an undo: one less, not below 0.
int CounterAfterUndo(int counter);

// The column means of the frames, each truncated toward zero. Empty input gives zeros.
CapturedFrame MeanOfFrames(std::span<const CapturedFrame> frames);

// The largest distance of a frame's point from the mean point, truncated to an integer, and the
// largest distance of a frame's intensity from the mean intensity. Both stop at 65535.
struct MaxDeltas {
    std::uint16_t xy = 0;
    std::uint16_t intensity = 0;
};
MaxDeltas MaxDeltaOfFrames(std::span<const CapturedFrame> frames, std::uint16_t meanx,
                           std::uint16_t meany, std::uint16_t meanint);

// How TEACH CTO WITH / TEACH ITO WITH choose the tolerance: the value, the maximum deviation,
// their sum (at most 65535), or the row's present tolerance.
enum class ToleranceSource { Value = 0, MaxDelta = 1, MaxDeltaPlusValue = 2, NoChange = 3 };
std::uint16_t ChosenTolerance(int selector, std::uint16_t value, std::uint16_t maxDelta,
                              std::uint16_t current);

// What a teach would leave the captured frames, before it is made: the worst recognition margin
// among them against the row to be taught (the mean as centre, the chosen tolerances), and the
// capability of their distances from the centre against its radius. The capability needs two
// frames and some spread; without them there is none.
struct TeachOutlook {
    std::optional<double> worstMargin;  // none without frames
    std::optional<double> cpu;
};
TeachOutlook OutlookOfTeach(std::span<const CapturedFrame> frames,
                            const std::array<std::uint16_t, kTeachColumns>& row);

}  // namespace tvx
