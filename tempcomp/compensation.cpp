#include "compensation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tvx::tempcomp {

namespace {

// Truncation toward zero; values beyond the int range (a runaway polynomial) stop at its ends
// instead of being undefined.
int TruncateToInt(double value) {
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (value <= lo) return std::numeric_limits<int>::min();
    if (value >= hi) return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

void Record(TableRange& range, double value) {
    if (value < range.min) range.min = TruncateToInt(value);
    if (value > range.max) range.max = TruncateToInt(value);
}

void Combine(ChartRanges& ranges) {
    ranges.combined = TableRange{};
    for (const TableRange& r : ranges.channel) {
        ranges.combined.min = std::min(ranges.combined.min, r.min);
        ranges.combined.max = std::max(ranges.combined.max, r.max);
    }
}

}  // namespace

Coefficients CompensationTables::CoefficientValues() const {
    return {RX4, RX3, RX2, RX1, RT, GX4, GX3, GX2, GX1, GT, BX4, BX3, BX2, BX1, BT};
}

void CompensationTables::SetCoefficients(const Coefficients& c) {
    RX4 = c[0], RX3 = c[1], RX2 = c[2], RX1 = c[3], RT = c[4];
    GX4 = c[5], GX3 = c[6], GX2 = c[7], GX1 = c[8], GT = c[9];
    BX4 = c[10], BX3 = c[11], BX2 = c[12], BX1 = c[13], BT = c[14];
}

const std::array<double, kSteps>& CompensationTables::Curve(int channel) const {
    return channel == 0 ? dataRot : channel == 1 ? dataGruen : dataBlau;
}

std::array<std::uint16_t, kSteps>& CompensationTables::Factors(int channel) {
    return channel == 0 ? dataCfRot : channel == 1 ? dataCfGruen : dataCfBlau;
}

const std::array<std::uint16_t, kSteps>& CompensationTables::Factors(int channel) const {
    return channel == 0 ? dataCfRot : channel == 1 ? dataCfGruen : dataCfBlau;
}

std::array<std::uint16_t, kSteps>& CompensationTables::SavedFactors(int channel) {
    return channel == 0 ? savedCfRot : channel == 1 ? savedCfGruen : savedCfBlau;
}

void CalcCurves(CompensationTables& t, const Coefficients& coefficients) {
    t.SetCoefficients(coefficients);
    t.curveRanges = ChartRanges{};
    for (int T = 0; T < kSteps; ++T) {
        const std::int32_t t2 = T * T;
        const std::int32_t t3 = t2 * T;
        const std::int32_t t4 = t3 * T;
        const double x1 = T, x2 = t2, x3 = t3, x4 = t4;
        const double values[3] = {
            (((t.RX4 * x4 + t.RX3 * x3) + t.RX2 * x2) + t.RX1 * x1) + t.RT,
            (((t.GX4 * x4 + t.GX3 * x3) + t.GX2 * x2) + t.GX1 * x1) + t.GT,
            (((t.BX4 * x4 + t.BX3 * x3) + t.BX2 * x2) + t.BX1 * x1) + t.BT,
        };
        t.dataRot[static_cast<std::size_t>(T)] = values[0];
        t.dataGruen[static_cast<std::size_t>(T)] = values[1];
        t.dataBlau[static_cast<std::size_t>(T)] = values[2];
        for (int c = 0; c < 3; ++c) {
            t.dataRGB[static_cast<std::size_t>(3 * T + c)] = values[c];
            Record(t.curveRanges.channel[static_cast<std::size_t>(c)], values[c]);
        }
    }
    Combine(t.curveRanges);
}

std::uint16_t FactorFromQuotient(double q, bool* outOfRange) {
    const bool bad = !(q >= 0.0 && q < 65536.0);
    if (outOfRange != nullptr) *outOfRange = bad;
    const double truncated = std::trunc(q);
    constexpr double kUint32End = 4294967296.0;
    if (truncated >= 0.0 && truncated < kUint32End)
        return static_cast<std::uint16_t>(static_cast<std::uint32_t>(truncated));
    // Beyond the unsigned 32-bit range the conversion has no value of its own: the factor stops
    // at the end it went past (not a number counts as below).
    return truncated >= kUint32End ? 65535 : 0;
}

void CalcCfCurves(CompensationTables& t, const SetValues& setValues) {
    t.factorRanges = ChartRanges{};
    t.factorsOutOfRange = 0;
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t scaled =
            static_cast<std::uint32_t>(setValues[static_cast<std::size_t>(c)]) << 10;
        const auto& curve = t.Curve(c);
        auto& factors = t.Factors(c);
        for (int T = 0; T < kSteps; ++T) {
            const double q = static_cast<double>(scaled) / curve[static_cast<std::size_t>(T)];
            bool bad = false;
            const std::uint16_t factor = FactorFromQuotient(q, &bad);
            t.factorsOutOfRange += bad ? 1 : 0;
            factors[static_cast<std::size_t>(T)] = factor;
            t.dataCfRGB[static_cast<std::size_t>(3 * T + c)] = factor;
            Record(t.factorRanges.channel[static_cast<std::size_t>(c)], factor);
        }
    }
    Combine(t.factorRanges);
}

void Calc3rdRoot(CompensationTables& t) {
    const double exponent = 1.0 / 3.0;  // 0.3333333333333333, a little under one third
    for (int i = 0; i < kRootSize; ++i)
        t.data3rdRoot[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(std::pow(16.0 * i, exponent) * 1000.0);
}

bool CheckSaving(const CompensationTables& t) {
    return t.dataCfRot == t.savedCfRot && t.dataCfGruen == t.savedCfGruen &&
           t.dataCfBlau == t.savedCfBlau && t.data3rdRoot == t.saved3rdRoot;
}

void CopyPPtoVarsR(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& t) {
    std::copy_n(pp.begin(), kSteps, t.savedCfRot.begin());
}
void CopyPPtoVarsG(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& t) {
    std::copy_n(pp.begin(), kSteps, t.savedCfGruen.begin());
}
void CopyPPtoVarsB(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& t) {
    std::copy_n(pp.begin(), kSteps, t.savedCfBlau.begin());
}

void CopyPPto3rdRoot(const std::array<std::uint16_t, kPpWords>& pp, int start,
                     CompensationTables& t) {
    std::copy_n(pp.begin(), 128, t.saved3rdRoot.begin() + start);
}

}  // namespace tvx::tempcomp
