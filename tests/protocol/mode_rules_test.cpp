// The mode rules of the parameter controls: from the parameter words to the controls' states,
// the forced values and the warnings, one rule case a row.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "frames.h"
#include "mode_rules.h"

namespace tvx {
namespace {

// Mode words of the parameter image.
enum Word : int {
    pmode = 1,
    evalmode = 3,
    intlim = 5,
    maxcolno = 6,
    outmode = 7,
    trigger = 8,
    exteach = 9,
    calcmode = 10,
    colorgroup = 13,
};
constexpr int Group(int row) {
    return TeachRowWord(row, kTeachColumns);
}

// The panel's start values with `words` on top.
ParameterSet Words(std::initializer_list<std::pair<int, std::uint16_t>> words) {
    FrameBuffers b;
    b.pp[0] = 500;
    b.pp[intlim] = 50;
    b.pp[maxcolno] = 4;
    b.pp[outmode] = kOutmodeBinary;
    for (auto [word, value] : words) b.pp[static_cast<std::size_t>(word)] = value;
    ParameterSet p;
    CopyFileParatoVars(b, p);
    return p;
}

// The controls the rules decided on ("intlim 0 dimmed": forced to 0 and dimmed), then the
// names, the active rows and the warnings.
std::string Describe(const ControlStates& s) {
    const std::pair<const char*, const ControlState&> controls[] = {
        {"power", s.power},
        {"pmode", s.pmode},
        {"dynwinlo", s.dynwinlo},
        {"dynwinhi", s.dynwinhi},
        {"intlim", s.intlim},
        {"trigger", s.trigger},
        {"exteach", s.exteach},
        {"maxcolno", s.maxcolno},
        {"outmode", s.outmode},
        {"colorgroup", s.colorgroup},
        {"grouppanel", s.grouppanel},
        {"dispGroup", s.dispGroup},
        {"dispCOL", s.dispCOL},
        {"colourBits", s.colourBits},
        {"buttonColorGroups", s.buttonColorGroups},
        {"buttonTeachDataTo", s.buttonTeachDataTo},
        {"columnCto", s.columnCto},
    };
    std::string text;
    auto add = [&](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    for (const auto& [name, c] : controls) {
        if (c == ControlState{}) continue;
        std::string item = name;
        if (c.forced) item += " " + std::to_string(*c.forced);
        if (c.enabled) item += *c.enabled ? " enabled" : " dimmed";
        if (c.shown) item += *c.shown ? " shown" : " hidden";
        add(item);
    }
    if (s.names) add("names " + std::to_string(*s.names));
    if (s.activeRows) add("rows " + std::to_string(*s.activeRows));
    for (ModeWarning warning : s.warnings) add(std::string("warn ") + ModeWarningId(warning));
    return text;
}

// The input with the forced values written into it.
ParameterSet Forced(ParameterSet p, const ControlStates& s) {
    auto take = [](const ControlState& c, auto& word) {
        if (c.forced) word = *c.forced;
    };
    take(s.pmode, p.pmode);
    take(s.intlim, p.intlim);
    take(s.trigger, p.trigger);
    take(s.exteach, p.exteach);
    take(s.maxcolno, p.maxcolno);
    take(s.outmode, p.outmode);
    take(s.colorgroup, p.colorgroup);
    return p;
}

constexpr std::optional<ModeRule> kRead;  // every rule of a parameter read
constexpr char kEval012[] =
    "maxcolno enabled, outmode enabled, dispCOL shown, colourBits hidden, buttonColorGroups shown";
// What a read of the start values gives the power, trigger and teach controls.
constexpr char kReadPower[] =
    "power enabled, pmode enabled, dynwinlo dimmed, dynwinhi dimmed, intlim enabled, trigger "
    "enabled, exteach enabled, ";

TEST(ModeRules, EachRuleFromTheWordsToTheControls) {
    using enum ModeRule;
    const std::string eval012 = kEval012;
    struct Row {
        std::optional<ModeRule> rule;
        std::initializer_list<std::pair<int, std::uint16_t>> words;
        std::string controls;
    };
    const Row rows[] = {
        {PowerMode,
         {{pmode, 0}},
         "power enabled, dynwinlo dimmed, dynwinhi dimmed, intlim enabled"},
        {PowerMode,
         {{pmode, 1}},
         "power dimmed, dynwinlo enabled, dynwinhi enabled, intlim 0 dimmed"},
        {PowerMode, {{pmode, 2}}, ""},
        {Trigger, {{trigger, 0}, {exteach, 1}}, "exteach enabled"},
        {Trigger, {{trigger, 1}, {exteach, 3}}, "exteach 0 dimmed"},
        {Trigger, {{trigger, 2}}, "exteach 0 dimmed"},
        {Trigger, {{trigger, 3}, {exteach, 1}}, ""},
        {Exteach,
         {{exteach, 0}, {trigger, 2}},
         "power enabled, pmode enabled, dynwinlo dimmed, dynwinhi dimmed, intlim enabled, trigger "
         "enabled"},
        {Exteach,
         {{exteach, 1}, {trigger, 2}, {pmode, 1}},
         "power dimmed, pmode enabled, dynwinlo enabled, dynwinhi enabled, intlim 0 dimmed, "
         "trigger 0 dimmed"},
        {Exteach, {{exteach, 1}, {pmode, 5}}, "power enabled, pmode enabled, trigger 0 dimmed"},
        // The power mode's rule is not applied again: INT LIMIT stays as DYN left it.
        {Exteach,
         {{exteach, 2}, {pmode, 1}},
         "power enabled, pmode 0 dimmed, dynwinlo dimmed, dynwinhi dimmed, trigger 0 dimmed"},
        {Exteach,
         {{exteach, 3}},
         "power dimmed, pmode 0 dimmed, dynwinlo enabled, dynwinhi enabled, trigger 0 dimmed"},
        {Exteach, {{exteach, 4}, {trigger, 1}}, ""},
        {EvalMode, {{evalmode, 0}}, eval012 + ", buttonTeachDataTo enabled, columnCto enabled"},
        {EvalMode, {{evalmode, 1}}, eval012 + ", buttonTeachDataTo dimmed, columnCto enabled"},
        {EvalMode, {{evalmode, 2}}, eval012 + ", buttonTeachDataTo dimmed, columnCto dimmed"},
        {EvalMode,
         {{evalmode, 3}, {maxcolno, 9}, {outmode, kOutmodeDirectLo}, {colorgroup, 1}},
         "maxcolno 4 dimmed, outmode 1 dimmed, colorgroup 0, grouppanel hidden, dispGroup hidden, "
         "dispCOL hidden, colourBits shown, buttonColorGroups hidden, buttonTeachDataTo dimmed, "
         "columnCto enabled, rows 4"},
        {EvalMode, {{evalmode, 4}}, ""},
        {CalcMode, {{calcmode, 0}}, "names 0"},
        {CalcMode, {{calcmode, 1}}, "names 1"},
        {CalcMode, {{calcmode, 2}}, ""},
        {ColorGroups, {{colorgroup, 0}, {outmode, 0}, {Group(1), 7}}, "dispGroup hidden"},
        {ColorGroups, {{colorgroup, 1}, {Group(0), 14}}, "dispGroup shown"},
        {ColorGroups, {{colorgroup, 1}, {outmode, 2}, {Group(14), 3}}, "dispGroup shown"},
        {ColorGroups,
         {{colorgroup, 1}, {outmode, 2}, {Group(0), 4}, {Group(14), 7}},
         "dispGroup shown, warn groups-outmode"},
        {ColorGroups, {{colorgroup, 2}, {outmode, 0}, {Group(1), 7}}, ""},
        {MaxColNo, {{maxcolno, 4}, {outmode, 0}}, "rows 4"},
        {MaxColNo, {{maxcolno, 5}, {outmode, 2}}, "rows 5, warn maxcolno"},
        {MaxColNo, {{maxcolno, 15}, {outmode, 1}}, "rows 15"},
        {Outmode,
         {{maxcolno, 5}, {outmode, 0}, {colorgroup, 1}, {Group(2), 4}},
         "warn maxcolno, warn groups-outmode"},
        {Outmode, {{maxcolno, 5}, {outmode, 2}, {Group(2), 4}}, "warn maxcolno"},
        {Outmode, {{maxcolno, 15}, {outmode, 1}, {colorgroup, 1}, {Group(2), 4}}, ""},
        {kRead,
         {},
         kReadPower + std::string("maxcolno enabled, outmode enabled, dispGroup hidden, dispCOL "
                                  "shown, colourBits hidden, buttonColorGroups shown, "
                                  "buttonTeachDataTo enabled, columnCto enabled, names 0, rows 4")},
        // Each rule takes the values the rules before it forced.
        {kRead,
         {{pmode, 1}, {exteach, 2}, {trigger, 1}, {intlim, 250}},
         "power enabled, pmode 0 dimmed, dynwinlo dimmed, dynwinhi dimmed, intlim 0 dimmed, "
         "trigger 0 dimmed, exteach enabled, maxcolno enabled, outmode enabled, dispGroup hidden, "
         "dispCOL shown, colourBits hidden, buttonColorGroups shown, buttonTeachDataTo enabled, "
         "columnCto enabled, names 0, rows 4"},
        {kRead,
         {{evalmode, 3},
          {maxcolno, 9},
          {outmode, 0},
          {colorgroup, 1},
          {Group(0), 7},
          {calcmode, 1}},
         kReadPower + std::string("maxcolno 4 dimmed, outmode 1 dimmed, colorgroup 0, grouppanel "
                                  "hidden, dispGroup hidden, dispCOL hidden, colourBits shown, "
                                  "buttonColorGroups hidden, buttonTeachDataTo dimmed, columnCto "
                                  "enabled, names 1, rows 4")},
        // The group warning comes first, as the group rule comes before the MAXCOL-No. check.
        {kRead,
         {{maxcolno, 5}, {outmode, 0}, {colorgroup, 1}, {Group(3), 7}},
         kReadPower + std::string("maxcolno enabled, outmode enabled, dispGroup shown, dispCOL "
                                  "shown, colourBits hidden, buttonColorGroups shown, "
                                  "buttonTeachDataTo enabled, columnCto enabled, names 0, rows 5, "
                                  "warn groups-outmode, warn maxcolno")},
    };
    for (const Row& row : rows) {
        const ParameterSet p = Words(row.words);
        const ControlStates s = row.rule ? ApplyModeRule(*row.rule, p) : ApplyModeRules(p);
        SCOPED_TRACE(row.controls);
        EXPECT_EQ(Describe(s), row.controls);
        EXPECT_EQ(s.params, Forced(p, s));
    }
}

// The command line prints a warning as its name and its text on one line.
TEST(ModeRules, WarningsAreOneLineEachUnderTheirOwnName) {
    EXPECT_STRNE(ModeWarningId(ModeWarning::MaxColNo), ModeWarningId(ModeWarning::GroupsOutmode));
    for (ModeWarning warning : {ModeWarning::MaxColNo, ModeWarning::GroupsOutmode})
        EXPECT_EQ(std::strchr(ModeWarningText(warning), '\n'), nullptr);
}

}  // namespace
}  // namespace tvx
