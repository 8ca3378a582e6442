// The main panel and the group panel offscreen, without a sensor.
#include <gtest/gtest.h>

#include "display_checks.h"
#include "live_frame_view.h"
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
    const Act read = [&] {
        controls->GetPanelValues();
        controls->InitPanelCtrlAttr();
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
        {"5 colours, BINARY", colours(5), {}, 5},
        {"DIRECT LO", output(kOutmodeDirectLo), {maxcol}, 5},
        {"a read", read, {maxcol}, 5},
        {"4 colours", colours(4), {}, 4},
        {"BINARY", output(kOutmodeBinary), {}, 4},
        {"values of a read", readFiveDirectWithGroups, {}, 4},
        {"their rules", [&] { controls->InitPanelCtrlAttr(); }, {groups, maxcol}, 5},
        {"group 4 outside BINARY", cell(1, 4), {groups}, 0},
        {"6 colours do not look at the groups", colours(6), {maxcol}, 6},
        {"DIRECT HI, groups on", output(kOutmodeDirectHi), {maxcol, groups}, 0},
        {"groups off", switchGroups, {}, 0},
        {"DIRECT LO, groups off", output(kOutmodeDirectLo), {maxcol}, 0},
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

TEST_F(PanelsTest, EvaluationModesForceColoursAndChooseTheColourNumberDisplay) {
    Enter(controls->editMaxcolNo, 9);
    ShowGroupPanel();
    Click(grouppanel->switchColorGroups);
    controls->ParaVis();
    Choose(controls->editEvalmode, 3);
    EXPECT_EQ(controls->editMaxcolNo->value(), 4);
    EXPECT_FALSE(controls->editMaxcolNo->isEnabled() || controls->editOutmode->isEnabled());
    ExpectRowLabels(4);
    EXPECT_FALSE(grouppanel->isVisible() || grouppanel->switchColorGroups->isChecked());
    EXPECT_FALSE(Shown(panel->dispCOL) || Shown(panel->group));
    ShowFrame(1, 1, 1, 1, 1, 1, 5);
    for (int lamp = 0; lamp < 4; ++lamp)
        EXPECT_EQ(panel->colourBit[lamp]->IsOn(), lamp % 2) << lamp;
    struct Mode {
        int evalmode;
        bool teachButton, ctoEditable;
    };
    for (const Mode& m :
         {Mode{3, false, true}, Mode{2, false, false}, Mode{1, false, true}, Mode{0, true, true}}) {
        SCOPED_TRACE(m.evalmode);
        controls->ParaVis();
        Choose(controls->editEvalmode, m.evalmode);
        EXPECT_EQ(Shown(panel->dispCOL), m.evalmode != 3);
        controls->ParaInVis();
        EXPECT_EQ(controls->buttonColorGroups->isVisible(), m.evalmode != 3);
        EXPECT_EQ(controls->buttonTeachDataTo->isEnabled(), m.teachButton);
        panel->activateWindow();
        EXPECT_EQ(EditCell(controls->gridTeach, 4, kTeachColumnCto, 70 + m.evalmode),
                  m.ctoEditable);
    }
    EXPECT_EQ(controls->editMaxcolNo->value(), 4) << "leaving mode 3 keeps the forced values";
}

TEST_F(PanelsTest, TriggerTeachAndPowerModesForceEachOther) {
    ParameterControls& c = *controls;
    Enter(c.editIntlim, 250);
    c.GetPanelValues();
    struct Row {
        QComboBox* ring;
        int value;
        const char* enabled;  // trigger, teach, power mode, power, window, limit
        int trigger, teach, pmode, limit;
    };
    const Row rows[] = {
        {c.editTrigger, 1, "101101", 1, 0, 0, 250}, {c.editTrigger, 0, "111101", 0, 0, 0, 250},
        {c.editExteach, 2, "010101", 0, 2, 0, 250}, {c.editExteach, 3, "010011", 0, 3, 0, 250},
        {c.editExteach, 1, "011101", 0, 1, 0, 250}, {c.editExteach, 0, "111101", 0, 0, 0, 250},
        {c.editPmode, 1, "111010", 0, 0, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.enabled);
        Choose(row.ring, row.value);
        const QWidget* controlsInOrder[] = {c.editTrigger, c.editExteach,  c.editPmode,
                                            c.slidePower,  c.editDynWinLo, c.editIntlim};
        QString enabled;
        for (const QWidget* w : controlsInOrder) enabled += w->isEnabled() ? '1' : '0';
        EXPECT_EQ(enabled, row.enabled);
        EXPECT_EQ(c.editTrigger->currentData().toInt(), row.trigger);
        EXPECT_EQ(c.editExteach->currentData().toInt(), row.teach);
        EXPECT_EQ(c.editPmode->currentData().toInt(), row.pmode);
        EXPECT_EQ(c.editIntlim->value(), row.limit);
    }
    c.GetPanelValues();
    EXPECT_EQ(state.params.intlim, 0);
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

TEST(LiveFrameView, ColourNumberLampsAndIntensityBand) {
    using Bits = std::array<bool, 4>;  // indicators 8, 4, 2, 1
    for (auto [number, bits] : {std::pair{0, Bits{}}, std::pair{2, Bits{false, false, true, false}},
                                std::pair{4, Bits{false, true, false, false}},
                                std::pair{9, Bits{true, false, false, true}},
                                std::pair{16, Bits{true, true, true, true}}})
        EXPECT_EQ(ColourNumberBits(number), bits) << number;
    struct Band {
        std::uint16_t intensity, tolerance;
        int lower, upper;
    };
    for (const Band& b :
         {Band{4000, 200, 3800, 4095}, Band{100, 200, 0, 300}, Band{1000, 50, 950, 1050},
          Band{65535, 65535, 0, 4095}, Band{30000, 0, 4095, 4095}}) {
        const IntensityBand band = BandOfRow(b.intensity, b.tolerance);
        EXPECT_EQ(std::pair(band.lower, band.upper), std::pair(b.lower, b.upper)) << b.intensity;
    }
}

}  // namespace
}  // namespace tvx
