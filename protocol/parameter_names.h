#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "mode_rules.h"
#include "parameter_file.h"

namespace tvx {

// One item of a ring control: the code it stands for and the label it shows.
struct RingItem {
    std::uint16_t code;
    const char* label;
};

// The rings of the parameter page, their items in the order the panel lists them.
inline constexpr RingItem kPmodeItems[] = {{0, "STAT"}, {1, "DYN"}};
// The evaluation modes are explained in the sensor's manual; the ring shows their numbers.
inline constexpr RingItem kEvalmodeItems[] = {{0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}};
// Listed as the help text lists them.
inline constexpr RingItem kOutmodeItems[] = {
    {kOutmodeBinary, "BINARY"}, {kOutmodeDirectLo, "DIRECT LO"}, {kOutmodeDirectHi, "DIRECT HI"}};
inline constexpr RingItem kTriggerItems[] = {{0, "CONT"}, {1, "EXT1"}, {2, "EXT2"}};
// OFF, ON (teach to all rows) and ON 1 (teach to row 0) as the help text names them. Code 3
// teaches row 0 like ON 1, but with the power tuned inside the dynamic window instead of the
// POWER value (its rule dims POWER and enables the window), hence "ON 1 DYN".
inline constexpr RingItem kExteachItems[] = {{0, "OFF"}, {1, "ON"}, {2, "ON 1"}, {3, "ON 1 DYN"}};
inline constexpr RingItem kCalcmodeItems[] = {{0, "X/Y  INT"}, {1, "s/i  M"}};
// The group panel's switch.
inline constexpr RingItem kColorgroupItems[] = {{0, "OFF"}, {1, "ON"}};

// The largest POWER the slider takes.
inline constexpr std::uint32_t kPowerMax = 1000;

// One of the sixteen mode words as the panel names it.
struct ModeWordName {
    const char* key;                  // the variable's name: also the key in scripts' output
    const char* label;                // the control's label on the panel
    std::span<const RingItem> items;  // a ring's items; empty for a number
    std::uint32_t minimum = 0;        // a number's range on the panel
    std::uint32_t maximum = 0xFFFF;
};

// The sixteen mode words in the order of the parameter image (word 0 = power ... 15 = frei16).
const std::array<ModeWordName, anzdata>& ModeWordNames();

// The word's value as the panel shows it: a ring's label, else the number. A code that no item
// of the ring has is given as its number.
QString ModeWordValueText(int word, std::uint16_t value);

// The teach table's columns and the group, for naming a cell: "CTO", or "CTO/siTO" when two sets
// with different calculation modes are compared.
QString TeachColumnName(int column, std::uint16_t calcmodeA, std::uint16_t calcmodeB);

// One word where two parameter images differ.
struct ParameterDifference {
    QString parameter;  // "MAXCOL-No.", "row 2 CTO"
    std::uint16_t a = 0;
    std::uint16_t b = 0;
    QString line;  // both values as the panel shows them: "OUTMODE BINARY → DIRECT HI"
};

// What differs between two parameter images, one word each, by name: "MAXCOL-No. 4 → 5",
// "OUTMODE BINARY → DIRECT HI", "row 2 CTO 100 → 40", "row 7 group 3 → 5". The mode words come
// first, then the teach table row by row.
std::vector<ParameterDifference> NamedDifferences(const ParameterImage& a, const ParameterImage& b);
// The same, the lines only.
std::vector<QString> ParameterDifferences(const ParameterImage& a, const ParameterImage& b);

// What the scope would make of a parameter set it reads: values its controls cannot take (a
// number beyond the control's range, a code a ring does not have), values its mode rules force,
// and the warnings it shows.
struct PanelFindings {
    // One line each: "INT LIMIT 50 → 0 (forced by PMOD DYN)".
    std::vector<QString> adjustments;
    std::vector<ModeWarning> warnings;

    bool Clean() const { return adjustments.empty() && warnings.empty(); }
    // Every finding as a line: the adjustments, then the warnings in one line each
    // (ModeWarningLine).
    std::vector<QString> Lines() const;
};
PanelFindings FindPanelAdjustments(const ParameterImage& image);

// A warning's pop-up text in one line, without its "ATTENTION!".
QString ModeWarningLine(ModeWarning warning);

}  // namespace tvx
