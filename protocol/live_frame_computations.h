#pragma once

#include <array>
#include <cstdint>

#include "parameter_set.h"

// What the scope's live view computes from a frame, apart from drawing it: the border of the
// colour plane, the strip-chart histories, the colour patch, the colour-number indicators and
// the intensity band.
namespace tvx {

// The border of the X/Y colour plane: 4096 points of the line X + Y = 4095.
inline constexpr int kRampPoints = 4096;
using Ramp = std::array<std::uint16_t, kRampPoints>;
void FillBorderRamps(Ramp& xramp, Ramp& yramp);

// A strip-chart history: 100 samples of three interleaved traces, oldest first; the newest sample
// is at 297, 298, 299.
inline constexpr int kHistorySamples = 100;
inline constexpr int kHistoryTraces = 3;
inline constexpr int kHistoryValues = kHistorySamples * kHistoryTraces;
using StripChartHistory = std::array<double, kHistoryValues>;

// Shifts the history three places toward index 0 (the oldest sample falls out) and stores the
// new sample at the end. In place; nothing is allocated.
void PushSample(StripChartHistory& history, double first, double second, double third);

// The colour patch of a frame: each raw signal (0 ... 4095) divided by 16, packed as 0x00RRGGBB.
// Signals above 4095 are taken as 4095, so the patch never spills into the next component.
std::uint32_t PatchColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// The four indicators of the colour number, in the order 8, 4, 2, 1. Numbers 0 ... 15 show their
// bits; 16 and above (255, no colour, included) light all four.
std::array<bool, 4> ColourNumberBits(std::uint16_t colourNumber);

// The tolerance band of one teach row for the intensity strip chart: INT + ITO and INT - ITO,
// kept within 0 ... 4095.
struct IntensityBand {
    int upper = 0;
    int lower = 0;
};
IntensityBand BandOfRow(std::uint16_t intensity, std::uint16_t tolerance);

// One live frame into the strip-chart histories, whatever SOURCE shows: raw R, G, B into
// `rawbuf`; the intensity with `band` (the one its chart compares it with, zeros when none) into
// `intbuf`.
void FeedHistories(StripChartHistory& rawbuf, StripChartHistory& intbuf, const LiveValues& live,
                   IntensityBand band);

}  // namespace tvx
