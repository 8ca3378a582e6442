#include "measurement.h"

#include <algorithm>
#include <cmath>

#include "frames.h"

namespace tvx::sim {

namespace {

constexpr int kFullScale = 4095;

std::uint16_t ClampSignal(double value) {
    if (!(value > 0)) return 0;  // also NaN
    if (value >= kFullScale) return kFullScale;
    return static_cast<std::uint16_t>(std::lround(value));
}

// value * factor / 1024, limited to the signal range.
std::uint16_t ApplyFactor(std::uint16_t value, std::uint16_t factor) {
    const std::uint32_t scaled = (static_cast<std::uint32_t>(value) * factor) / kUnity;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(scaled, kFullScale));
}

std::uint16_t Word(const ParameterImage& image, int index) {
    return image[static_cast<std::size_t>(index)];
}

}  // namespace

PlanePoint ComputePlanePoint(std::uint16_t r, std::uint16_t g, std::uint16_t b, int calcmode,
                             const std::array<std::uint16_t, kRootTableSize>& rootTable) {
    PlanePoint p;
    const std::uint32_t sum = std::uint32_t{r} + g + b;
    const std::uint16_t intensity = static_cast<std::uint16_t>(sum / 3);
    if (calcmode == 1) {
        // s: saturation 0..10000; i: hue in tenths of a degree 0..3599; M: 75 * cbrt(INT),
        // 0..1198, through the sensor's cube-root table.
        const int mx = std::max({r, g, b});
        const int mn = std::min({r, g, b});
        const int delta = mx - mn;
        p.x = mx > 0 ? static_cast<std::uint16_t>(10000 * delta / mx) : 0;
        if (delta > 0) {
            double hue = 0;
            if (mx == r) {
                hue = 60.0 * (static_cast<double>(g) - b) / delta;
            } else if (mx == g) {
                hue = 60.0 * (static_cast<double>(b) - r) / delta + 120.0;
            } else {
                hue = 60.0 * (static_cast<double>(r) - g) / delta + 240.0;
            }
            if (hue < 0) hue += 360.0;
            const long tenths = std::lround(hue * 10.0);
            p.y = static_cast<std::uint16_t>(tenths >= 3600 ? 0 : tenths);
        }
        const std::size_t index = std::min<std::size_t>(intensity / 16, kRootTableSize - 1);
        p.intensity = static_cast<std::uint16_t>(std::uint32_t{rootTable[index]} * 3 / 40);
    } else {
        // X and Y: shares of red and green scaled to 4095, so X + Y <= 4095; INT: the mean.
        if (sum > 0) {
            p.x = static_cast<std::uint16_t>(kFullScale * std::uint32_t{r} / sum);
            p.y = static_cast<std::uint16_t>(kFullScale * std::uint32_t{g} / sum);
        }
        p.intensity = intensity;
    }
    return p;
}

Evaluation EvaluatePoint(const ParameterImage& image, const PlanePoint& point) {
    Evaluation result;
    const bool groups = Word(image, kColorgroup) == 1;
    result.group = groups ? kNoColour : 0;
    if (point.intensity < Word(image, kIntlim)) return result;  // error state
    const int active = std::min<int>(Word(image, kMaxcolno), kRows);
    std::int64_t best = -1;
    for (int row = 0; row < active; ++row) {
        const std::int64_t dx = std::int64_t{point.x} - Word(image, RowWord(row, kRowX));
        const std::int64_t dy = std::int64_t{point.y} - Word(image, RowWord(row, kRowY));
        const std::int64_t cto = Word(image, RowWord(row, kRowCto));
        const std::int64_t d2 = dx * dx + dy * dy;
        if (d2 > cto * cto) continue;
        const int dint = std::abs(int{point.intensity} - Word(image, RowWord(row, kRowInt)));
        if (dint > Word(image, RowWord(row, kRowIto))) continue;
        // Overlapping circles: the nearest centre wins, the lower row on a tie.
        if (best < 0 || d2 < best) {
            best = d2;
            result.colour = static_cast<std::uint16_t>(row);
            result.group = groups ? Word(image, RowWord(row, kRowGroup)) : 0;
        }
    }
    return result;
}

Measurement Measure(const SensorState& state, const Sample& sample, int noiseR, int noiseG,
                    int noiseB) {
    Measurement m;
    m.rawR = ClampSignal(sample.r + noiseR);
    m.rawG = ClampSignal(sample.g + noiseG);
    m.rawB = ClampSignal(sample.b + noiseB);
    const double temp = std::isfinite(sample.temp) ? sample.temp : 0.0;
    m.temp = static_cast<std::uint16_t>(std::clamp(std::lround(temp), 0L, 65535L));
    const std::size_t step =
        static_cast<std::size_t>(std::clamp(std::lround(temp), 0L, long{kCfTableSize - 1}));
    m.calR = ApplyFactor(ApplyFactor(m.rawR, state.cf[0]), state.cfTables[0][step]);
    m.calG = ApplyFactor(ApplyFactor(m.rawG, state.cf[1]), state.cfTables[1][step]);
    m.calB = ApplyFactor(ApplyFactor(m.rawB, state.cf[2]), state.cfTables[2][step]);
    const PlanePoint p =
        ComputePlanePoint(m.calR, m.calG, m.calB, Word(state.ram, kCalcmode), state.rootTable);
    m.x = p.x;
    m.y = p.y;
    m.intensity = p.intensity;
    const Evaluation e = EvaluatePoint(state.ram, p);
    m.colour = e.colour;
    m.group = e.group;
    return m;
}

void PackDataFrame(const Measurement& m, std::uint16_t order, std::uint8_t* frame) {
    const std::uint16_t words[tvx::anzframe] = {
        tvx::sync, order,  m.calR, m.calG, m.calB,  m.x, m.y, m.intensity, m.colour,
        m.rawR,    m.rawG, m.rawB, m.temp, m.group, 0,   0,   0,           0};
    tvx::PackWords(frame, words, tvx::anzframe);
}

}  // namespace tvx::sim
