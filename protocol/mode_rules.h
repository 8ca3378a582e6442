#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "parameter_set.h"

namespace tvx {

// Codes of outmode. BINARY is the sensor's 1; the two direct modes take the two codes around it,
// DIRECT LO = 0 and DIRECT HI = 2. Every code other than BINARY counts as a direct mode.
inline constexpr std::uint16_t kOutmodeDirectLo = 0;
inline constexpr std::uint16_t kOutmodeBinary = 1;
inline constexpr std::uint16_t kOutmodeDirectHi = 2;

// The direct output modes have four outputs: they check at most four colours and give four
// groups, 0 ... 3.
inline constexpr std::uint32_t kRowsCheckedByDirectModes = 4;
inline constexpr std::uint16_t kLargestDirectGroup = 3;

// Row-label colours (0x00RRGGBB) of the teach table and the group table: rows the sensor
// evaluates, and the others.
inline constexpr std::uint32_t kActiveRowColour = 0x008000;
inline constexpr std::uint32_t kInactiveRowColour = 0xFF0000;

// The rules, each as the commit of its control applies it (InitPowerMode, InitTrigger, ...).
enum class ModeRule : std::uint8_t {
    PowerMode,    // pmode: POWER, DYN WIN LO/HI, INT LIMIT
    Trigger,      // trigger: external teach
    Exteach,      // exteach: trigger, PMOD, POWER, DYN WIN LO/HI, then the power mode's rule
    EvalMode,     // evalmode: colour-number displays, colour groups, CTO, MAXCOL-No., OUTMODE
    CalcMode,     // calcmode: the names of the teach table's columns and of the displays
    ColorGroups,  // colorgroup: the group display and the group warning
    MaxColNo,     // MAXCOL-No. committed: the MAXCOL-No. warning and the row-label colours
    Outmode,      // OUTMODE committed: the MAXCOL-No. warning, then the group warning
};

// The rules a parameter read applies (InitPanelCtrlAttr), in their order; each takes the values
// the rules before it forced.
inline constexpr std::array kModeRulesOfARead = {
    ModeRule::PowerMode, ModeRule::EvalMode,    ModeRule::CalcMode, ModeRule::Exteach,
    ModeRule::Trigger,   ModeRule::ColorGroups, ModeRule::MaxColNo};

// Warnings about settings the sensor takes but cannot fully use. They only inform: the values
// are sent as they are.
enum class ModeWarning : std::uint8_t {
    MaxColNo,       // maxcolno above 4 with a direct output mode (the panel's InfoMaxColNo)
    GroupsOutmode,  // a group above 3 with a direct output mode (the panel's InfoGroupsOutmode)
};

// The texts of the two warnings, as the scope's pop-up titled "INFO!" shows them.
inline constexpr const char* kMaxColNoWarningText =
    " ATTENTION! \n"
    " \n"
    " MAXCOL-No. IS TOO HIGH \n"
    " DECREASE MAXCOL-No. OR SWITCH TO OUTMODE=BINARY";
inline constexpr const char* kGroupsOutmodeWarningText =
    " ATTENTION! \n"
    " If OUTMODE=DIRECT HI or DIRECT LO: \n"
    " 4 groups are possible! GROUP 0,1,2,3. \n"
    " If OUTMODE=BINARY: \n"
    " 15 groups are possible. GROUP 0,1,2.....14.";

// A short name for messages and scripts ("maxcolno", "groups-outmode"), and the pop-up's text.
const char* ModeWarningId(ModeWarning warning);
const char* ModeWarningText(ModeWarning warning);

// What the rules decide about one control. An empty field is left as it is.
struct ControlState {
    std::optional<bool> enabled;          // false: dimmed; for a table column: read-only
    std::optional<bool> shown;            // false: hidden
    std::optional<std::uint16_t> forced;  // a value written into the control

    bool operator==(const ControlState&) const = default;
};

// The state of the controls the mode rules act on, named after their parameter words where they
// show one.
struct ControlStates {
    ControlState power;  // the POWER slider and its readout
    ControlState pmode;
    ControlState dynwinlo;
    ControlState dynwinhi;
    ControlState intlim;
    ControlState trigger;
    ControlState exteach;
    ControlState maxcolno;
    ControlState outmode;
    ControlState colorgroup;         // the group panel's switch
    ControlState grouppanel;         // the group panel itself
    ControlState dispGroup;          // the main panel's group display
    ControlState dispCOL;            // the colour-number display C-No
    ControlState colourBits;         // the four indicators of the colour number's bits
    ControlState buttonColorGroups;  // teach page: opens the group panel
    ControlState buttonTeachDataTo;  // teach page: the button only evaluation mode 0 enables
    ControlState columnCto;          // the teach table's CTO column

    // The calculation mode whose names the teach table's columns and the displays take
    // (0: X, Y, INT ...; 1: s, i, M ...).
    std::optional<std::uint16_t> names;
    // Row labels 0 ... activeRows - 1 take kActiveRowColour, the others kInactiveRowColour.
    std::optional<std::uint32_t> activeRows;
    // In the order they are shown.
    std::vector<ModeWarning> warnings;
    // The parameter set given, with the forced values in it.
    ParameterSet params;
};

// Every control of ControlStates with its name, in their order, for listing the states.
inline constexpr std::pair<const char*, ControlState ControlStates::*> kControlNames[] = {
    {"power", &ControlStates::power},
    {"pmode", &ControlStates::pmode},
    {"dynwinlo", &ControlStates::dynwinlo},
    {"dynwinhi", &ControlStates::dynwinhi},
    {"intlim", &ControlStates::intlim},
    {"trigger", &ControlStates::trigger},
    {"exteach", &ControlStates::exteach},
    {"maxcolno", &ControlStates::maxcolno},
    {"outmode", &ControlStates::outmode},
    {"colorgroup", &ControlStates::colorgroup},
    {"grouppanel", &ControlStates::grouppanel},
    {"dispGroup", &ControlStates::dispGroup},
    {"dispCOL", &ControlStates::dispCOL},
    {"colourBits", &ControlStates::colourBits},
    {"buttonColorGroups", &ControlStates::buttonColorGroups},
    {"buttonTeachDataTo", &ControlStates::buttonTeachDataTo},
    {"columnCto", &ControlStates::columnCto},
};

// The state one rule gives the controls for the parameter set `p`, as the panel holds it
// (groupbuf: the group table's cells).
ControlStates ApplyModeRule(ModeRule rule, const ParameterSet& p);
// Every rule of a parameter read on `p`, in the order of kModeRulesOfARead: a later rule's
// decision about a control replaces an earlier one; the warnings of all are kept in order.
ControlStates ApplyModeRules(const ParameterSet& p);

// Whether `group` is a group the output mode can give.
bool GroupFitsOutmode(std::uint16_t group, std::uint16_t outmode);
// Whether the evaluation mode has colour groups; mode 3 puts the colour number's bits on the
// outputs and has none, so the colour-groups button is hidden there.
bool ColorGroupsOffered(std::uint16_t evalmode);

// The row-label colour of `row` (counted from 0) when `activeRows` rows are evaluated.
std::uint32_t RowLabelColour(int row, std::uint32_t activeRows);
// The names of the teach table's five value columns in calculation mode 0 or 1.
const std::array<const char*, kTeachColumns>& TeachColumnNames(std::uint16_t calcmode);

}  // namespace tvx
