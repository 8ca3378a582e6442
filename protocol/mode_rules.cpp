#include "mode_rules.h"

#include <algorithm>

namespace tvx {

namespace {

void Enable(ControlState& control, bool enabled) {
    control.enabled = enabled;
}

void Show(ControlState& control, bool shown) {
    control.shown = shown;
}

// Writes `value` into the control and into the parameter word it shows.
void Force(ControlState& control, auto& word, std::uint16_t value) {
    control.forced = value;
    word = value;
}

void ForceAndDim(ControlState& control, auto& word, std::uint16_t value) {
    Force(control, word, value);
    control.enabled = false;
}

bool AnyGroupAboveOutmode(const ParameterSet& p) {
    return std::any_of(p.groupbuf.begin(), p.groupbuf.begin() + kTeachRows,
                       [&](std::uint16_t group) { return !GroupFitsOutmode(group, p.outmode); });
}

void CheckMaxColNo(ControlStates& s) {
    if (s.params.maxcolno > kRowsCheckedByDirectModes && s.params.outmode != kOutmodeBinary)
        s.warnings.push_back(ModeWarning::MaxColNo);
}

// Shown once, however many groups are too high.
void CheckGroups(ControlStates& s) {
    if (AnyGroupAboveOutmode(s.params)) s.warnings.push_back(ModeWarning::GroupsOutmode);
}

void PowerMode(ControlStates& s) {
    switch (s.params.pmode) {
        case 0:  // STAT: the POWER value
            Enable(s.power, true);
            Enable(s.dynwinlo, false);
            Enable(s.dynwinhi, false);
            Enable(s.intlim, true);
            break;
        case 1:  // DYN: power tuned inside the window, and no intensity limit
            Enable(s.power, false);
            Enable(s.dynwinlo, true);
            Enable(s.dynwinhi, true);
            ForceAndDim(s.intlim, s.params.intlim, 0);
            break;
        default:
            break;
    }
}

// An external trigger and external teach share the input IN0.
void Trigger(ControlStates& s) {
    switch (s.params.trigger) {
        case 0:
            Enable(s.exteach, true);
            break;
        case 1:
        case 2:
            ForceAndDim(s.exteach, s.params.exteach, 0);
            break;
        default:
            break;
    }
}

void Exteach(ControlStates& s) {
    if (s.params.exteach > 3) return;
    if (s.params.exteach == 0)
        Enable(s.trigger, true);
    else
        ForceAndDim(s.trigger, s.params.trigger, 0);
    if (s.params.exteach <= 1) {
        Enable(s.pmode, true);
        Enable(s.power, true);
        PowerMode(s);
        return;
    }
    // Teaching row 0 externally runs at a fixed power (2) or inside the dynamic window (3).
    ForceAndDim(s.pmode, s.params.pmode, 0);
    const bool dynamic = s.params.exteach == 3;
    Enable(s.power, !dynamic);
    Enable(s.dynwinlo, dynamic);
    Enable(s.dynwinhi, dynamic);
}

void EvalMode(ControlStates& s) {
    const std::uint16_t evalmode = s.params.evalmode;
    if (evalmode > 3) return;
    const bool bits = evalmode == 3;
    Show(s.dispCOL, !bits);
    Show(s.colourBits, bits);
    Show(s.buttonColorGroups, ColorGroupsOffered(evalmode));
    // Mode 2 teaches a fixed CTO of 40.
    Enable(s.columnCto, evalmode != 2);
    Enable(s.buttonTeachDataTo, evalmode == 0);
    if (!bits) {
        Enable(s.maxcolno, true);
        Enable(s.outmode, true);
        return;
    }
    // Mode 3 puts the colour number's bits on four outputs: four colours, no groups.
    Show(s.dispGroup, false);
    Show(s.grouppanel, false);
    Force(s.colorgroup, s.params.colorgroup, 0);
    ForceAndDim(s.maxcolno, s.params.maxcolno, kRowsCheckedByDirectModes);
    ForceAndDim(s.outmode, s.params.outmode, kOutmodeBinary);
    s.activeRows = s.params.maxcolno;
}

void CalcMode(ControlStates& s) {
    if (s.params.calcmode <= 1) s.names = static_cast<std::uint16_t>(s.params.calcmode);
}

void ColorGroups(ControlStates& s) {
    switch (s.params.colorgroup) {
        case 0:
            Show(s.dispGroup, false);
            break;
        case 1:
            Show(s.dispGroup, true);
            CheckGroups(s);
            break;
        default:
            break;
    }
}

void MaxColNo(ControlStates& s) {
    CheckMaxColNo(s);
    s.activeRows = s.params.maxcolno;
}

// The row labels stay as they are; the groups count only while they are on.
void Outmode(ControlStates& s) {
    CheckMaxColNo(s);
    if (s.params.colorgroup == 1) CheckGroups(s);
}

void Apply(ModeRule rule, ControlStates& s) {
    switch (rule) {
        case ModeRule::PowerMode:
            PowerMode(s);
            break;
        case ModeRule::Trigger:
            Trigger(s);
            break;
        case ModeRule::Exteach:
            Exteach(s);
            break;
        case ModeRule::EvalMode:
            EvalMode(s);
            break;
        case ModeRule::CalcMode:
            CalcMode(s);
            break;
        case ModeRule::ColorGroups:
            ColorGroups(s);
            break;
        case ModeRule::MaxColNo:
            MaxColNo(s);
            break;
        case ModeRule::Outmode:
            Outmode(s);
            break;
    }
}

}  // namespace

const char* ModeWarningId(ModeWarning warning) {
    switch (warning) {
        case ModeWarning::MaxColNo:
            return "maxcolno";
        case ModeWarning::GroupsOutmode:
            return "groups-outmode";
    }
    return "";
}

const char* ModeWarningText(ModeWarning warning) {
    switch (warning) {
        case ModeWarning::MaxColNo:
            return kMaxColNoWarningText;
        case ModeWarning::GroupsOutmode:
            return kGroupsOutmodeWarningText;
    }
    return "";
}

ControlStates ApplyModeRule(ModeRule rule, const ParameterSet& p) {
    ControlStates s;
    s.params = p;
    Apply(rule, s);
    return s;
}

// The rules write into one set of states in turn, so that a later decision replaces an earlier
// one, as the panel's controls keep the last value written.
ControlStates ApplyModeRules(const ParameterSet& p) {
    ControlStates s;
    s.params = p;
    for (ModeRule rule : kModeRulesOfARead) Apply(rule, s);
    return s;
}

bool GroupFitsOutmode(std::uint16_t group, std::uint16_t outmode) {
    return outmode == kOutmodeBinary || group <= kLargestDirectGroup;
}

bool ColorGroupsOffered(std::uint16_t evalmode) {
    return evalmode != 3;
}

std::uint32_t RowLabelColour(int row, std::uint32_t activeRows) {
    return static_cast<std::uint32_t>(row) < activeRows ? kActiveRowColour : kInactiveRowColour;
}

const std::array<const char*, kTeachColumns>& TeachColumnNames(std::uint16_t calcmode) {
    static constexpr std::array<const char*, kTeachColumns> xy = {"X", "Y", "CTO", "INT", "ITO"};
    static constexpr std::array<const char*, kTeachColumns> si = {"s", "i", "siTO", "M", "MTO"};
    return calcmode == 0 ? xy : si;
}

}  // namespace tvx
