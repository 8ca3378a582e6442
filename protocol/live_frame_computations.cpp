#include "live_frame_computations.h"

#include <algorithm>

namespace tvx {

void FillBorderRamps(Ramp& xramp, Ramp& yramp) {
    for (std::size_t i = 0; i < xramp.size(); ++i) {
        xramp[i] = static_cast<std::uint16_t>(i);
        yramp[i] = static_cast<std::uint16_t>(kRampPoints - 1 - i);
    }
}

void PushSample(StripChartHistory& history, double first, double second, double third) {
    std::copy(history.begin() + kHistoryTraces, history.end(), history.begin());
    history[kHistoryValues - 3] = first;
    history[kHistoryValues - 2] = second;
    history[kHistoryValues - 1] = third;
}

std::uint32_t PatchColour(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
    const auto component = [](std::uint16_t signal) -> std::uint32_t {
        return std::min<std::uint32_t>(signal, 4095) / 16;
    };
    return (component(red) << 16) | (component(green) << 8) | component(blue);
}

std::array<bool, 4> ColourNumberBits(std::uint16_t colourNumber) {
    std::array<bool, 4> bits{};
    unsigned rest = colourNumber;
    const unsigned weights[4] = {8, 4, 2, 1};
    for (int i = 0; i < 4; ++i) {
        bits[static_cast<std::size_t>(i)] = rest >= weights[i];
        if (rest >= weights[i]) rest -= weights[i];
    }
    return bits;
}

IntensityBand BandOfRow(std::uint16_t intensity, std::uint16_t tolerance) {
    IntensityBand band;
    band.upper = std::min(int{intensity} + int{tolerance}, 4095);
    band.lower = std::clamp(int{intensity} - int{tolerance}, 0, 4095);
    return band;
}

void FeedHistories(StripChartHistory& rawbuf, StripChartHistory& intbuf, const LiveValues& live,
                   IntensityBand band) {
    PushSample(rawbuf, live.dataR, live.dataG, live.dataB);
    PushSample(intbuf, live.dataINT, band.upper, band.lower);
}

}  // namespace tvx
