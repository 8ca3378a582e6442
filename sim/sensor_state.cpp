#include "sensor_state.h"

#include <cmath>

namespace tvx::sim {

namespace {

struct TaughtRow {
    std::uint16_t x, y, cto, intensity, ito, group;
};

// The rows match the default sample and three further colours of the same brightness, each
// computed with the plane formulas of measurement.cpp.
constexpr TaughtRow kTaughtRows[] = {
    {2047, 1228, 100, 1333, 100, 0},  // R 2000, G 1200, B 800 (the default sample)
    {819, 2047, 100, 1333, 100, 1},   // R 800, G 2000, B 1200
    {819, 1228, 100, 1333, 100, 1},   // R 800, G 1200, B 2000
    {1365, 1365, 100, 3000, 100, 2},  // R = G = B = 3000 (white)
};

}  // namespace

ParameterImage DefaultImage() {
    ParameterImage image{};
    image[kPower] = 720;
    image[kPmode] = 0;
    image[kAverage] = 8;
    image[kEvalmode] = 0;
    image[kHold] = 20;
    image[kIntlim] = 50;
    image[kMaxcolno] = 4;
    image[kOutmode] = 1;  // BINARY
    image[kTrigger] = 0;
    image[kExteach] = 0;
    image[kCalcmode] = 0;
    image[kDynwinlo] = 3000;
    image[kDynwinhi] = 3500;
    image[kColorgroup] = 1;
    // Untaught rows hold 1 in every cell, as after RESET TABLE, and group 0.
    for (int row = 0; row < kRows; ++row) {
        for (int c = kRowX; c <= kRowIto; ++c) image[RowWord(row, c)] = 1;
        image[RowWord(row, kRowGroup)] = 0;
    }
    int row = 0;
    for (const TaughtRow& t : kTaughtRows) {
        image[RowWord(row, kRowX)] = t.x;
        image[RowWord(row, kRowY)] = t.y;
        image[RowWord(row, kRowCto)] = t.cto;
        image[RowWord(row, kRowInt)] = t.intensity;
        image[RowWord(row, kRowIto)] = t.ito;
        image[RowWord(row, kRowGroup)] = t.group;
        ++row;
    }
    return image;
}

std::array<std::uint8_t, kVersionBytes> VersionBytes(const QByteArray& text) {
    std::array<std::uint8_t, kVersionBytes> bytes{};
    for (int i = 0; i < kVersionBytes && i < text.size(); ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(text[i]);
    }
    return bytes;
}

std::array<std::uint16_t, kRootTableSize> StandardRootTable() {
    std::array<std::uint16_t, kRootTableSize> table{};
    for (int i = 0; i < kRootTableSize; ++i) {
        const double root = std::pow(16.0 * i, 0.3333333333333333) * 1000.0;
        table[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(root);
    }
    return table;
}

SensorState DefaultSensorState() {
    SensorState state;
    state.ram = DefaultImage();
    state.eeprom = state.ram;
    state.cf = {kUnity, kUnity, kUnity};
    for (auto& table : state.cfTables) table.fill(kUnity);
    state.rootTable = StandardRootTable();
    state.version = VersionBytes(kDefaultVersion);
    return state;
}

}  // namespace tvx::sim
