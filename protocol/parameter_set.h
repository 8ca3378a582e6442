#pragma once

#include <array>
#include <cstdint>

namespace tvx {

// Words in the parameter image, in a frame, and in a frame's payload.
inline constexpr std::uint16_t anzpara = 106;
inline constexpr std::uint16_t anzframe = 18;
inline constexpr std::uint16_t anzdata = 16;
inline constexpr std::uint16_t sync = 0x55;

inline constexpr int kTeachRows = 15;
inline constexpr int kTeachColumns = 5;
inline constexpr int kMaxColNoLimit = 15;

// Positions of the mode words in the parameter image.
enum ModeWord : int {
    kPower = 0,
    kPmode = 1,
    kAverage = 2,
    kEvalmode = 3,
    kHold = 4,
    kIntlim = 5,
    kMaxcolno = 6,
    kOutmode = 7,
    kTrigger = 8,
    kExteach = 9,
    kCalcmode = 10,
    kDynwinlo = 11,
    kDynwinhi = 12,
    kColorgroup = 13,
    kFrei15 = 14,
    kFrei16 = 15,
};

// Where parameters are sent to and read from.
enum Target : std::uint16_t { RAM = 1, EEPROM = 2, DATFILE = 3 };

// The sensor's parameter set as the program holds it: sixteen mode words, the colour teach
// table and the colour group of each row. Wider fields carry only their low 16 bits on the wire.
struct ParameterSet {
    std::uint16_t power = 0;
    std::uint16_t pmode = 0;
    std::uint32_t average = 0;
    std::uint16_t evalmode = 0;
    std::uint32_t hold = 0;
    std::uint16_t intlim = 0;
    std::uint32_t maxcolno = 0;
    std::uint16_t outmode = 0;
    std::uint16_t trigger = 0;
    std::uint16_t exteach = 0;
    std::uint32_t calcmode = 0;
    std::uint16_t dynwinlo = 0;
    std::uint16_t dynwinhi = 0;
    std::uint16_t colorgroup = 0;
    std::uint32_t frei15 = 0;
    std::uint32_t frei16 = 0;
    // Columns: X, Y, CTO, INT, ITO (s, i, siTO, M, MTO in calculation mode 1).
    std::array<std::array<std::uint16_t, kTeachColumns>, kTeachRows> ctt{};
    // Entry r is the colour group of teach row r; entry 15 is not used.
    std::array<std::uint16_t, 16> groupbuf{};

    bool operator==(const ParameterSet&) const = default;
};

// The values of the last live data frame.
struct LiveValues {
    std::uint16_t dataR = 0;
    std::uint16_t dataG = 0;
    std::uint16_t dataB = 0;
    std::uint16_t dataX = 0;
    std::uint16_t dataY = 0;
    std::uint16_t dataINT = 0;
    std::int32_t dataCOL = 0;  // 255: no colour recognised, or the error state
    std::uint16_t dataTemp = 0;
    std::uint16_t dataGroup = 0;
};

}  // namespace tvx
