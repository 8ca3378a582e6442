// The main panel and the group panel offscreen, without a sensor.
#include <gtest/gtest.h>

#include "display_checks.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

class PanelsTest : public ScopePanels {
  protected:
    void ShowGroupPanel() {
        controls->ParaInVis();
        Click(controls->buttonColorGroups);
        grouppanel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(grouppanel.get()));
    }
    void ExpectRowLabels(int activeRows) {
        for (int row = 0; row < kTeachRows; ++row) {
            const QColor expected(row < activeRows ? 0x008000 : 0xFF0000);
            EXPECT_EQ(controls->gridTeach->RowLabelColour(row), expected) << row;
            EXPECT_EQ(grouppanel->gridGroups->RowLabelColour(row), expected) << row;
        }
    }
    QStringList TeachColumnLabels() const {
        QStringList labels;
        for (int c = 0; c < kTeachColumns; ++c)
            labels << controls->gridTeach->horizontalHeaderItem(c)->text();
        return labels;
    }
};

// Which warnings a setting gives is ApplyModeRule's (tests/protocol); here each moment that shows
// them.
TEST_F(PanelsTest, ColourCountAndGroupWarningsComeWithEveryCommitAndRead) {
    const QString maxcol = QString::fromUtf8(info::InfoMaxColNo),
                  groups = QString::fromUtf8(info::InfoGroupsOutmode);
    using Act = std::function<void()>;
    auto colours = [&](int n) -> Act { return [=, this] { Enter(controls->editMaxcolNo, n); }; };
    auto output = [&](int code) -> Act {
        return [=, this] { Choose(controls->editOutmode, code); };
    };
    auto cell = [&](int row, int group) -> Act {
        return [=, this] {
            ShowGroupPanel();
            ASSERT_TRUE(EditCell(grouppanel->gridGroups, row, 0, group));
            EXPECT_EQ(grouppanel->Group(row), group);
            controls->ParaVis();
        };
    };
    const Act readFiveDirectWithGroups = [&] {
        state.params.maxcolno = 5;
        state.params.outmode = kOutmodeDirectLo;
        state.params.colorgroup = 1;
        state.params.groupbuf[3] = 7;
        controls->SetPanelValues();  // values only; the rules come with InitPanelCtrlAttr
    };
    const Act switchGroups = [&] { Click(grouppanel->switchColorGroups); };
    struct Step {
        const char* what;
        Act act;
        QStringList warnings;
        int activeRows;  // 0: not looked at
    };
    const Step steps[] = {
        {"values of a read", readFiveDirectWithGroups, {}, 4},
        {"their rules", [&] { controls->InitPanelCtrlAttr(); }, {groups, maxcol}, 5},
        {"group 4 outside BINARY", cell(1, 4), {groups}, 0},
        {"6 colours do not look at the groups", colours(6), {maxcol}, 6},
        {"DIRECT HI, groups on", output(kOutmodeDirectHi), {maxcol, groups}, 0},
        {"groups off", switchGroups, {}, 0},
        {"groups on", switchGroups, {groups}, 0},
    };
    EXPECT_EQ(controls->gridTeach->verticalHeaderItem(14)->text(), "14");
    EXPECT_EQ(grouppanel->gridGroups->verticalHeaderItem(0)->text(), "0");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        popups.Clear();
        step.act();
        EXPECT_EQ(popups.Texts(), step.warnings);
        if (step.activeRows) ExpectRowLabels(step.activeRows);
    }
    ShowGroupPanel();
    Click(grouppanel->buttonResetGroupTable);
    controls->GetPanelValues();
    EXPECT_EQ(state.params.groupbuf[1], 0);
    Click(grouppanel->buttonGroupPanelClose);
    EXPECT_FALSE(grouppanel->isVisible());
}

// The rules are ApplyModeRule's (tests/protocol); the panel draws what it returns.
TEST_F(PanelsTest, ModeRingsDrawWhatTheirRuleReturns) {
    ParameterControls& c = *controls;
    Enter(c.editIntlim, 250);
    Enter(c.editMaxcolNo, 9);
    Choose(c.editOutmode, kOutmodeDirectLo);
    ShowGroupPanel();
    Click(grouppanel->switchColorGroups);
    c.ParaVis();
    using enum ModeRule;
    for (auto [ring, code, rule] : {std::tuple{c.editPmode, 1, PowerMode},
                                    {c.editTrigger, 1, Trigger},
                                    {c.editTrigger, 0, Trigger},
                                    {c.editExteach, 2, Exteach},
                                    {c.editExteach, 0, Exteach},
                                    {c.editEvalmode, 2, EvalMode},
                                    {c.editEvalmode, 3, EvalMode}}) {
        SCOPED_TRACE(code);
        Choose(ring, code);
        c.GetPanelValues();
        const ControlStates s = ApplyModeRule(rule, state.params);
        if (s.columnCto.enabled) {  // the teach page shows the colour-groups button anew
            c.ParaInVis();
            panel->activateWindow();
            EXPECT_EQ(EditCell(c.gridTeach, 4, kTeachColumnCto, 70 + code), *s.columnCto.enabled);
            c.ParaVis();
        }
        for (auto [control, w] : std::initializer_list<std::pair<ControlState, QWidget*>>{
                 {s.power, c.slidePower},
                 {s.power, c.dispPower},
                 {s.pmode, c.editPmode},
                 {s.dynwinlo, c.editDynWinLo},
                 {s.dynwinhi, c.editDynWinHi},
                 {s.intlim, c.editIntlim},
                 {s.trigger, c.editTrigger},
                 {s.exteach, c.editExteach},
                 {s.maxcolno, c.editMaxcolNo},
                 {s.outmode, c.editOutmode},
                 {s.grouppanel, grouppanel.get()},
                 {s.dispGroup, panel->group},
                 {s.dispCOL, panel->colourNumber},
                 {s.colourBits, panel->colourBits},
                 {s.buttonColorGroups, c.buttonColorGroups},
                 {s.buttonTeachDataTo, c.buttonTeachDataTo}}) {
            EXPECT_EQ(control.enabled.value_or(w->isEnabled()), w->isEnabled()) << w;
            EXPECT_EQ(control.shown.value_or(!w->isHidden()), !w->isHidden()) << w;
            const int value =
                w->property(qobject_cast<QComboBox*>(w) ? "currentData" : "value").toInt();
            EXPECT_EQ(control.forced.value_or(value), value) << w;
        }
        EXPECT_EQ(s.colorgroup.forced.value_or(1) != 0, grouppanel->switchColorGroups->isChecked());
        if (s.activeRows) ExpectRowLabels(static_cast<int>(*s.activeRows));
    }
    ShowFrame(1, 1, 1, 1, 1, 1, 5);  // the colour number's bits on the lamps, as mode 3 shows them
    for (int lamp = 0; lamp < 4; ++lamp) EXPECT_EQ(panel->colourBit[lamp]->IsOn(), lamp % 2);
    EXPECT_EQ(c.editIntlim->value(), 0) << "back at STAT, INT LIMIT keeps the 0 DYN forced";
}

TEST_F(PanelsTest, CalculationModeIsSentToRamAndRelabelsTheView) {
    ParameterControls& c = *controls;
    std::vector<QStringList> seen;  // the teach table's columns at each send
    onSend = [&] {
        seen.push_back(TeachColumnLabels());
        EXPECT_EQ(state.exchange.target, RAM);
        EXPECT_TRUE(panel->selectRAM->isChecked() && panel->buttonStop->isEnabled());
        EXPECT_FALSE(panel->buttonSend->isEnabled() || c.editCalcmode->isEnabled());
    };
    const QStringList xy = {"X", "Y", "CTO", "INT", "ITO"}, si = {"s", "i", "siTO", "M", "MTO"};
    live->PrepareColourPlane();
    ASSERT_EQ(panel->graphData1->PlotCount(), 1) << "the X/Y border";

    Click(panel->selectEEPROM);
    Choose(c.editCalcmode, 1);
    Click(panel->selectFILE);
    Choose(c.editCalcmode, 0);
    EXPECT_EQ(seen, std::vector<QStringList>({xy, si})) << "relabelled after the send";
    EXPECT_EQ(TeachColumnLabels(), xy);
    EXPECT_EQ(panel->graphData1->PlotCount(), 0) << "s/i deleted the plots";
    state.params.calcmode = 1;  // a parameter read relabels without writing anything
    c.SetPanelValues();
    c.InitPanelCtrlAttr();
    EXPECT_EQ(TeachColumnLabels(), si);
    EXPECT_EQ(QStringList({panel->labelX->text(), panel->labelY->text(), panel->labelINT->text(),
                           panel->selectSource->currentText()}),
              QStringList({"s", "i", "M", "s/i"}));
    ExpectRoundCircles(panel->graphData1, "s/i");
    EXPECT_EQ(BackgroundOf(panel->dispY), 0xFFFF00u);
    EXPECT_EQ(panel->graphINT->yAxis->range(), QCPRange(0, 1200));
    live->PrepareColourPlane();
    EXPECT_EQ(panel->graphData1->PlotCount(), 0) << "no border in s/i";
    Choose(c.editCalcmode, 0);
    live->PrepareColourPlane();
    Choose(c.editCalcmode, 0);
    EXPECT_EQ(seen.size(), 4u) << "choosing the mode set is a commit too";
    EXPECT_EQ(panel->graphData1->PlotCount(), 1) << "in X/Y the plots are kept";
}

TEST_F(PanelsTest, PanelValuesRoundTripTheWholeParameterSet) {
    ParameterSet p;
    p.power = 1000;
    p.pmode = 1;
    p.average = 65535;
    p.evalmode = 2;
    p.hold = 1234;
    p.intlim = 4095;
    p.maxcolno = 15;
    p.outmode = kOutmodeDirectHi;
    p.trigger = 2;
    p.exteach = 3;
    p.calcmode = 1;
    p.dynwinhi = 65535;
    p.colorgroup = 1;
    for (int r = 0; r < kTeachRows; ++r) {
        for (int c = 0; c < kTeachColumns; ++c)
            p.ctt[r][c] = static_cast<std::uint16_t>(r * 4000 + c * 777 + (r == 14 ? 5000 : 0));
        p.groupbuf[r] = static_cast<std::uint16_t>(14 - r);
    }
    state.params = p;
    controls->SetPanelValues();
    state.params = ParameterSet{};
    state.params.frei15 = 0xBEEF;
    state.params.groupbuf[15] = 99;
    controls->GetPanelValues();
    p.frei15 = 0xBEEF;
    p.groupbuf[15] = 99;
    EXPECT_EQ(state.params, p);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(PanelsTest, AFrameFillsTheDisplaysHistoriesAndTheGraphOfSource) {
    state.live.dataTemp = 31;
    ShowFrame(4095, 0, 160, 1500, 900, 700, 7);
    QStringList shown;
    for (QLineEdit* display :
         {panel->dispRed, panel->dispGreen, panel->dispBlue, panel->dispX, panel->dispY,
          panel->dispINT, panel->dispCOL, panel->dispTemp, panel->dispGroup})
        shown << display->text();
    EXPECT_EQ(shown, QStringList({"4095", "0", "160", "1500", "900", "700", "7", "31", "0"}));
    EXPECT_TRUE(panel->colourPatch->styleSheet().contains("#ff000a"));

    Choose(panel->selectSource, 1);
    EXPECT_TRUE(Shown(panel->dispRed) && Shown(panel->graphRGB) && !Shown(panel->dispX));
    ShowFrame(11, 21, 31, 1600, 950, 710);
    EXPECT_EQ(panel->graphRGB->TraceValues(0).mid(98), QVector<double>({4095, 11}));

    controls->ParaInVis();
    Choose(panel->selectSource, 2);
    state.params.ctt[0][3] = 10;  // the table control counts, not the parameter set
    for (auto [row, intensity] : {std::pair{0, 4000}, std::pair{6, 100}}) {
        ASSERT_TRUE(EditCell(controls->gridTeach, row, 3, intensity));
        ASSERT_TRUE(EditCell(controls->gridTeach, row, 4, 200));
    }
    Enter(controls->editNo, 0);
    ShowFrame(12, 22, 32, 1700, 990, 3900);
    EXPECT_EQ(panel->graphINT->TraceValues(0).mid(98), QVector<double>({710, 3900}));
    EXPECT_EQ(panel->graphINT->TraceValues(2).back(), 3800);
    EXPECT_TRUE(Shown(panel->dispX) && Shown(panel->graphINT) && !Shown(panel->graphData1));
    {  // a parameter read re-applies the selection the ring holds
        const QSignalBlocker blocker(panel->selectSource);
        panel->selectSource->setCurrentIndex(panel->selectSource->findData(0));
    }
    controls->InitPanelCtrlAttr();
    EXPECT_TRUE(Shown(panel->graphData1) && !Shown(panel->graphINT));
    Choose(panel->selectSource, 2);
    Enter(controls->editNo, 6);
    ShowFrame(1, 2, 3, 4, 5, 150);
    EXPECT_EQ(state.intbuf[298], 300);
}

}  // namespace
}  // namespace tvx
