#pragma once

#include <array>
#include <cstdint>

#include "compensation_frames.h"

namespace tvx::tempcomp {

inline constexpr int kCoefficients = 15;

// The 15 polynomial coefficients in their fixed order: RX4 RX3 RX2 RX1 RT, GX4 ... GT, BX4 ... BT.
using Coefficients = std::array<double, kCoefficients>;
using SetValues = std::array<std::uint16_t, 3>;  // red, green, blue

// The smallest and largest value of a table as recorded while it was filled: integers, starting
// at 10000 and -10000.
struct TableRange {
    int min = 10000;
    int max = -10000;
};

// The ranges of the three channel tables and of the combined table.
struct ChartRanges {
    std::array<TableRange, 3> channel;
    TableRange combined;
};

// The tool's tables. Every computation overwrites its tables completely.
struct CompensationTables {
    double RX4 = 0, RX3 = 0, RX2 = 0, RX1 = 0, RT = 0;
    double GX4 = 0, GX3 = 0, GX2 = 0, GX1 = 0, GT = 0;
    double BX4 = 0, BX3 = 0, BX2 = 0, BX1 = 0, BT = 0;

    std::array<double, kSteps> dataRot{}, dataGruen{}, dataBlau{};
    std::array<double, 3 * kSteps> dataRGB{};
    std::array<std::uint16_t, kSteps> dataCfRot{}, dataCfGruen{}, dataCfBlau{};
    std::array<std::uint16_t, 3 * kSteps> dataCfRGB{};
    std::array<std::uint16_t, kRootSize> data3rdRoot{};

    std::array<std::uint16_t, kSteps> savedCfRot{}, savedCfGruen{}, savedCfBlau{};
    std::array<std::uint16_t, kRootSize> saved3rdRoot{};

    ChartRanges curveRanges;
    ChartRanges factorRanges;
    // Factors of the last CalcCfCurves whose quotient was not a number in 0 ... 65535 (a curve
    // value of 0 or below, or below set value / 64): stored as the conversion leaves them, never
    // sent.
    int factorsOutOfRange = 0;

    Coefficients CoefficientValues() const;
    void SetCoefficients(const Coefficients& c);
    // Channel 0 = red, 1 = green, 2 = blue.
    const std::array<double, kSteps>& Curve(int channel) const;
    std::array<std::uint16_t, kSteps>& Factors(int channel);
    const std::array<std::uint16_t, kSteps>& Factors(int channel) const;
    std::array<std::uint16_t, kSteps>& SavedFactors(int channel);
};

// Takes the coefficients and evaluates the three polynomials at T = 0 ... 99.
void CalcCurves(CompensationTables& tables, const Coefficients& coefficients);
// The correction factors of the curves as they stand: (S * 1024) / curve, 1024 = factor 1.
void CalcCfCurves(CompensationTables& tables, const SetValues& setValues);
// The cube-root table: pow(16 i, 0.3333333333333333) * 1000, truncated.
void Calc3rdRoot(CompensationTables& tables);
// True when the tables read back equal the computed ones, all four of them.
bool CheckSaving(const CompensationTables& tables);

// The 16-bit factor of a quotient: truncated toward zero, taken as an unsigned 32-bit integer,
// its low 16 bits (65536 gives 0, 70000 gives 4464). A quotient beyond the unsigned 32-bit range
// saturates (0 below, 65535 above, 0 for not a number). `outOfRange` tells whether the quotient
// was no number in 0 ... 65535, so that the factor does not stand for it.
std::uint16_t FactorFromQuotient(double q, bool* outOfRange);

// The block frames of compensation_frames.h from the tool's tables (channel 0 red, 1 green,
// 2 blue).
inline void FillTxBuf3rdRootX(FrameBuffers& buffers, const CompensationTables& tables,
                              std::uint16_t sync, std::uint16_t order, int block) {
    FillTxBuf3rdRootX(buffers, tables.data3rdRoot, sync, order, block);
}
inline void FillTxBufRGB(FrameBuffers& buffers, const CompensationTables& tables,
                         std::uint16_t sync, std::uint16_t order, int block, int channel) {
    FillTxBufRGB(buffers, tables.Factors(channel), sync, order, block);
}

// pp words 0 ... 99 into the channel's read-back table.
void CopyPPtoVarsR(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& tables);
void CopyPPtoVarsG(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& tables);
void CopyPPtoVarsB(const std::array<std::uint16_t, kPpWords>& pp, CompensationTables& tables);
// pp words 0 ... 127 into saved3rdRoot[start ... start + 127] (start 0 or 128).
void CopyPPto3rdRoot(const std::array<std::uint16_t, kPpWords>& pp, int start,
                     CompensationTables& tables);

}  // namespace tvx::tempcomp
