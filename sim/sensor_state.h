#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>

#include "parameter_set.h"

namespace tvx::sim {

inline constexpr int kImageWords = 106;  // the parameter image: 16 mode words + 15 rows of 6
inline constexpr int kModeWords = 16;
inline constexpr int kRows = 15;
inline constexpr int kVersionBytes = 36;
inline constexpr int kCfTableSize = 100;       // one correction factor per degree, 0..99 °C
inline constexpr int kRootTableSize = 256;     // cube roots of 0, 16, ... 4080, times 1000
inline constexpr std::uint16_t kUnity = 1024;  // calibration factor scale: 1024 is a factor of 1

// Columns of a teach row inside the image; kRowGroup is the row's colour group.
enum RowColumn : int { kRowX = 0, kRowY = 1, kRowCto = 2, kRowInt = 3, kRowIto = 4, kRowGroup = 5 };

using ParameterImage = std::array<std::uint16_t, kImageWords>;

constexpr int RowWord(int row, int column) {
    return kModeWords + 6 * row + column;
}

// Everything the sensor keeps: working (RAM) and stored (EEPROM) parameters, the white
// calibration factors, the temperature-compensation tables and its version text.
struct SensorState {
    ParameterImage ram{};
    ParameterImage eeprom{};
    std::array<std::uint16_t, 3> cf{kUnity, kUnity, kUnity};            // red, green, blue
    std::array<std::array<std::uint16_t, kCfTableSize>, 3> cfTables{};  // red, green, blue
    std::array<std::uint16_t, kRootTableSize> rootTable{};
    std::array<std::uint8_t, kVersionBytes> version{};

    bool operator==(const SensorState&) const = default;
};

inline constexpr const char* kDefaultVersion = "TRIVEX-SIM V6.1";

// The state a fresh simulator starts with: four taught colours (maxcolno 4, BINARY output,
// groups on), the same image in RAM and EEPROM, neutral factors, the standard cube-root table.
SensorState DefaultSensorState();

// The parameter image a fresh simulator holds in RAM and EEPROM.
ParameterImage DefaultImage();

// The 36 version bytes for a text: cut at 36 bytes, zero-padded.
std::array<std::uint8_t, kVersionBytes> VersionBytes(const QByteArray& text);

// cube root of 16 * i, times 1000, for i = 0..255, truncated (the sensor's M uses it).
std::array<std::uint16_t, kRootTableSize> StandardRootTable();

}  // namespace tvx::sim
