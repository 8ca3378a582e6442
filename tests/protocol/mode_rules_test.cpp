// The mode rules of the parameter controls: from the parameter words to the controls' states,
// the forced values and the warnings, one rule case a row.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "frames.h"
#include "mode_rules.h"
#include "parameter_names.h"

namespace tvx {
namespace {

// The panel's start values with the words "name=value ..." on top; "groupR" is the group of
// teach row R.
ParameterSet Words(const std::string& words) {
    static const std::map<std::string, int> number = {
        {"power", 0},   {"pmode", 1},   {"evalmode", 3}, {"intlim", 5},    {"maxcolno", 6},
        {"outmode", 7}, {"trigger", 8}, {"exteach", 9},  {"calcmode", 10}, {"colorgroup", 13}};
    FrameBuffers b;
    std::istringstream in("power=500 intlim=50 maxcolno=4 outmode=1 " + words);
    for (std::string word; in >> word;) {
        const std::string name = word.substr(0, word.find('='));
        const int k = name.starts_with("group")
                          ? TeachRowWord(std::stoi(name.substr(5)), kTeachColumns)
                          : number.at(name);
        b.pp[static_cast<std::size_t>(k)] =
            static_cast<std::uint16_t>(std::stoi(word.substr(name.size() + 1)));
    }
    ParameterSet p;
    CopyFileParatoVars(b, p);
    return p;
}

// The controls the rules decided on: "+" enabled, "-" dimmed, "=N" forced to N, ":shown",
// ":hidden"; then the calculation mode of the names, the active rows and "!" with each warning.
std::string Describe(const ControlStates& s) {
    std::string text;
    for (const auto& [name, member] : kControlNames) {
        const ControlState& c = s.*member;
        if (c == ControlState{}) continue;
        text += std::string(" ") + name;
        if (c.forced) text += "=" + std::to_string(*c.forced);
        if (c.enabled) text += *c.enabled ? "+" : "-";
        if (c.shown) text += *c.shown ? ":shown" : ":hidden";
    }
    if (s.names) text += " names=" + std::to_string(*s.names);
    if (s.activeRows) text += " rows=" + std::to_string(*s.activeRows);
    for (ModeWarning warning : s.warnings) text += std::string(" !") + ModeWarningId(warning);
    return text.empty() ? text : text.substr(1);
}

constexpr std::optional<ModeRule> kRead;  // every rule of a parameter read

TEST(ModeRules, EachRuleFromTheWordsToTheControls) {
    using enum ModeRule;
    const std::string eval = "maxcolno+ outmode+ dispCOL:shown colourBits:hidden ";
    const std::string read = "power+ pmode+ dynwinlo- dynwinhi- intlim+ trigger+ exteach+ ";
    struct Row {
        std::optional<ModeRule> rule;
        std::string words, controls;
    };
    const Row rows[] = {
        {PowerMode, "pmode=0", "power+ dynwinlo- dynwinhi- intlim+"},
        {PowerMode, "pmode=1", "power- dynwinlo+ dynwinhi+ intlim=0-"},
        {PowerMode, "pmode=2", ""},
        {Trigger, "trigger=0 exteach=1", "exteach+"},
        {Trigger, "trigger=1 exteach=3", "exteach=0-"},
        {Trigger, "trigger=2", "exteach=0-"},
        {Trigger, "trigger=3 exteach=1", ""},
        {Exteach, "exteach=0 trigger=2", "power+ pmode+ dynwinlo- dynwinhi- intlim+ trigger+"},
        {Exteach, "exteach=1 trigger=2 pmode=1",
         "power- pmode+ dynwinlo+ dynwinhi+ intlim=0- trigger=0-"},
        {Exteach, "exteach=1 pmode=5", "power+ pmode+ trigger=0-"},
        // The power mode's rule is not applied again: INT LIMIT stays as DYN left it.
        {Exteach, "exteach=2 pmode=1", "power+ pmode=0- dynwinlo- dynwinhi- trigger=0-"},
        {Exteach, "exteach=3", "power- pmode=0- dynwinlo+ dynwinhi+ trigger=0-"},
        {Exteach, "exteach=4 trigger=1", ""},
        {EvalMode, "evalmode=0", eval + "buttonColorGroups:shown buttonTeachDataTo+ columnCto+"},
        {EvalMode, "evalmode=1", eval + "buttonColorGroups:shown buttonTeachDataTo- columnCto+"},
        {EvalMode, "evalmode=2", eval + "buttonColorGroups:shown buttonTeachDataTo- columnCto-"},
        {EvalMode, "evalmode=3 maxcolno=9 outmode=0 colorgroup=1",
         "maxcolno=4- outmode=1- colorgroup=0 grouppanel:hidden dispGroup:hidden dispCOL:hidden "
         "colourBits:shown buttonColorGroups:hidden buttonTeachDataTo- columnCto+ rows=4"},
        {EvalMode, "evalmode=4", ""},
        {CalcMode, "calcmode=0", "names=0"},
        {CalcMode, "calcmode=1", "names=1"},
        {CalcMode, "calcmode=2", ""},
        {ColorGroups, "colorgroup=0 outmode=0 group1=7", "dispGroup:hidden"},
        {ColorGroups, "colorgroup=1 group0=14", "dispGroup:shown"},
        {ColorGroups, "colorgroup=1 outmode=2 group14=3", "dispGroup:shown"},
        {ColorGroups, "colorgroup=1 outmode=2 group0=4 group14=7",
         "dispGroup:shown !groups-outmode"},
        {ColorGroups, "colorgroup=2 outmode=0 group1=7", ""},
        {MaxColNo, "maxcolno=4 outmode=0", "rows=4"},
        {MaxColNo, "maxcolno=5 outmode=2", "rows=5 !maxcolno"},
        {MaxColNo, "maxcolno=15 outmode=1", "rows=15"},
        {Outmode, "maxcolno=5 outmode=0 colorgroup=1 group2=4", "!maxcolno !groups-outmode"},
        {Outmode, "maxcolno=5 outmode=2 group2=4", "!maxcolno"},
        {Outmode, "maxcolno=15 outmode=1 colorgroup=1 group2=4", ""},
        // Each rule takes the values the rules before it forced.
        {kRead, "pmode=1 exteach=2 trigger=1 intlim=250",
         "power+ pmode=0- dynwinlo- dynwinhi- intlim=0- trigger=0- exteach+ maxcolno+ outmode+ "
         "dispGroup:hidden dispCOL:shown colourBits:hidden buttonColorGroups:shown "
         "buttonTeachDataTo+ columnCto+ names=0 rows=4"},
        {kRead, "evalmode=3 maxcolno=9 outmode=0 colorgroup=1 group0=7 calcmode=1",
         read + "maxcolno=4- outmode=1- colorgroup=0 grouppanel:hidden dispGroup:hidden "
                "dispCOL:hidden colourBits:shown buttonColorGroups:hidden buttonTeachDataTo- "
                "columnCto+ names=1 rows=4"},
        // The group rule comes before the MAXCOL-No. check.
        {kRead, "maxcolno=5 outmode=0 colorgroup=1 group3=7",
         read + "maxcolno+ outmode+ dispGroup:shown dispCOL:shown colourBits:hidden "
                "buttonColorGroups:shown buttonTeachDataTo+ columnCto+ names=0 rows=5 "
                "!groups-outmode !maxcolno"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.words);
        const ParameterSet p = Words(row.words);
        const ControlStates s = row.rule ? ApplyModeRule(*row.rule, p) : ApplyModeRules(p);
        EXPECT_EQ(Describe(s), row.controls);
    }
}

TEST(ModeRules, TheParameterSetGivenBackCarriesTheForcedValues) {
    EXPECT_EQ(
        ApplyModeRules(Words("pmode=1 trigger=1 evalmode=3 maxcolno=9 outmode=0 colorgroup=1"))
            .params,
        Words("pmode=1 trigger=1 evalmode=3 maxcolno=4 outmode=1 colorgroup=0 intlim=0"));
    EXPECT_EQ(ApplyModeRules(Words("exteach=2 trigger=1 pmode=1")).params,
              Words("exteach=2 trigger=0 pmode=0 intlim=0"));
    EXPECT_EQ(ApplyModeRule(ModeRule::Trigger, Words("trigger=1 exteach=3")).params,
              Words("trigger=1 exteach=0"));
}

ParameterImage ImageOf(const std::string& words, std::map<int, std::uint16_t> cells = {}) {
    FrameBuffers b;
    CopyVarsToPP(Words(words), b);
    ParameterImage image = TakeImageFromPp(b);
    for (const auto& [word, value] : cells) image[static_cast<std::size_t>(word)] = value;
    return image;
}

std::vector<std::string> Utf8(const std::vector<QString>& lines) {
    std::vector<std::string> out;
    for (const QString& line : lines) out.push_back(line.toStdString());
    return out;
}

TEST(ParameterNames, DifferencesByNameAndRow) {
    const struct {
        std::string a, b;
        std::map<int, std::uint16_t> cellsOfB;
        std::vector<std::string> lines;
    } rows[] = {
        {"maxcolno=4", "maxcolno=4", {}, {}},
        {"maxcolno=4", "maxcolno=5", {}, {"MAXCOL-No. 4 → 5"}},
        {"outmode=1 group7=3",
         "outmode=2 group7=5",
         {},
         {"OUTMODE BINARY → DIRECT HI", "row 7 group 3 → 5"}},
        {"", "", {{TeachRowWord(2, 2), 40}, {14, 9}}, {"SPARE 15 0 → 9", "row 2 CTO 0 → 40"}},
        {"calcmode=1", "calcmode=1", {{TeachRowWord(0, 4), 7}}, {"row 0 MTO 0 → 7"}},
        {"",
         "calcmode=1",
         {{TeachRowWord(14, 0), 1}},
         {"CALC MODE X/Y  INT → s/i  M", "row 14 X/s 0 → 1"}},
        {"outmode=1", "outmode=9", {}, {"OUTMODE BINARY → 9"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a + " | " + row.b);
        EXPECT_EQ(Utf8(ParameterDifferences(ImageOf(row.a), ImageOf(row.b, row.cellsOfB))),
                  row.lines);
    }
}

TEST(ParameterNames, WhatTheScopeWouldChangeOrWarnAbout) {
    const std::string maxcol =
        "MAXCOL-No. IS TOO HIGH. DECREASE MAXCOL-No. OR SWITCH TO OUTMODE=BINARY";
    const std::string groups =
        "If OUTMODE=DIRECT HI or DIRECT LO: 4 groups are possible! GROUP 0,1,2,3. If "
        "OUTMODE=BINARY: 15 groups are possible. GROUP 0,1,2.....14.";
    const struct {
        std::string words;
        std::map<int, std::uint16_t> cells;
        std::vector<std::string> lines;
    } rows[] = {
        {"maxcolno=15 outmode=1 colorgroup=1 group3=14", {}, {}},
        {"",
         {{0, 1200}, {6, 0}},
         {"POWER 1200 → 1000 (the panel takes 0 ... 1000)",
          "MAXCOL-No. 0 → 1 (the panel takes 1 ... 15)"}},
        {"outmode=7",
         {},
         {"OUTMODE 7 is no setting of the panel (1 = BINARY, 0 = DIRECT LO, 2 = DIRECT HI); the "
          "scope would keep the one it showed before"}},
        {"maxcolno=8 outmode=2", {}, {maxcol}},
        {"colorgroup=1 outmode=0 group3=7", {}, {groups}},
        {"colorgroup=0 outmode=0 group3=7", {}, {}},
        {"evalmode=3 maxcolno=8 outmode=2 colorgroup=1",
         {},
         {"COLOR GROUPS ON → OFF (forced by EVAL MODE 3)",
          "MAXCOL-No. 8 → 4 (forced by EVAL MODE 3)",
          "OUTMODE DIRECT HI → BINARY (forced by EVAL MODE 3)"}},
        {"exteach=2 trigger=1 pmode=1",
         {},
         {"INT LIMIT 50 → 0 (forced by PMOD DYN)",
          "TRIGGER EXT1 → CONT (forced by EXT. TEACH ON 1)",
          "PMOD DYN → STAT (forced by EXT. TEACH ON 1)"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.words);
        EXPECT_EQ(Utf8(FindPanelAdjustments(ImageOf(row.words, row.cells)).Lines()), row.lines);
    }
}

}  // namespace
}  // namespace tvx
