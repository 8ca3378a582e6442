// The parameter controls and their modes on the real main panel and group panel, offscreen: every
// control is operated as a user does (the list of a ring opened and an item taken with the
// keyboard, numbers typed and committed with Enter, buttons and switches clicked, cells edited),
// and every pop-up is answered and recorded by ScriptedPopups.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTest>
#include <memory>
#include <vector>

#include "group_panel.h"
#include "help.h"
#include "info_texts.h"
#include "main_panel.h"
#include "parameter_controls.h"
#include "scope_state.h"
#include "scripted_popups.h"
#include "user_actions.h"

namespace tvx {
namespace {

const QColor kGreen(0x008000);
const QColor kRed(0xFF0000);

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// What the mode rules did to the live displays, through the hooks.
struct DisplayLog {
    int colourNumber = -1;  // -1: never set
    int colourBits = -1;
    int groupDisplay = -1;
};

class ParameterControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        panel = std::make_unique<MainPanel>(QStringLiteral("TRIVEX-Scope V6.1"));
        grouppanel = std::make_unique<GroupPanel>();
        controls = std::make_unique<ParameterControls>(*panel, *grouppanel, state, popups,
                                                       [this] { SendPara(); });
        ModeDisplayHooks hooks;
        hooks.showColourNumber = [this](bool shown) { displays.colourNumber = shown; };
        hooks.showColourBits = [this](bool shown) { displays.colourBits = shown; };
        hooks.showGroupDisplay = [this](bool shown) { displays.groupDisplay = shown; };
        controls->SetModeDisplayHooks(hooks);
        controls->ParaVis();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    void SendPara() {
        ++sends;
        onSend();
    }

    void ShowGroupPanel() {
        controls->ParaInVis();
        Click(controls->buttonColorGroups);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grouppanel.get()));
    }

    // --- what the panels show ---

    void ExpectRowLabels(int activeRows) {
        for (int row = 0; row < kTeachRows; ++row) {
            SCOPED_TRACE(row + 1);
            const QColor expected = row < activeRows ? kGreen : kRed;
            EXPECT_EQ(controls->gridTeach->RowLabelColour(row), expected);
            EXPECT_EQ(grouppanel->gridGroups->RowLabelColour(row), expected);
        }
    }

    int WarningsOf(const char* text) const {
        int count = 0;
        for (const PopupRecord& record : popups.Records())
            if (record.title == "INFO!" && record.text == Text(text)) ++count;
        return count;
    }

    QStringList TeachColumnLabels() const {
        QStringList labels;
        for (int c = 0; c < kTeachColumns; ++c)
            labels << controls->gridTeach->horizontalHeaderItem(c)->text();
        return labels;
    }

    ScopeState state;
    ScriptedPopups popups;
    DisplayLog displays;
    int sends = 0;
    std::function<void()> onSend = [] {};
    std::unique_ptr<MainPanel> panel;
    std::unique_ptr<GroupPanel> grouppanel;
    std::unique_ptr<ParameterControls> controls;
};

// Both tables label a teach row with the number "No.", C-No and the help texts give it: the cell
// in the row labelled n belongs to teach row n of the parameter set.
TEST_F(ParameterControlsTest, TablesLabelTheTeachRowsAsTheProgramCountsThem) {
    ShowGroupPanel();
    struct Case {
        WordTable* table;
        std::function<std::uint16_t(int)> taken;
    };
    const Case cases[] = {
        {controls->gridTeach, [this](int n) { return state.params.ctt[n][0]; }},
        {grouppanel->gridGroups, [this](int n) { return state.params.groupbuf[n]; }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.table->rowCount(), kTeachRows);
        for (int n : {0, 1, 7, 14}) {
            int row = -1;
            for (int r = 0; r < kTeachRows; ++r)
                if (c.table->verticalHeaderItem(r)->text() == QString::number(n)) row = r;
            ASSERT_GE(row, 0) << "no row labelled " << n;
            ASSERT_TRUE(EditCell(c.table, row, 0, 100 + n));
            controls->GetPanelValues();
            EXPECT_EQ(c.taken(n), 100 + n) << "row labelled " << n;
        }
    }
}

TEST_F(ParameterControlsTest, StartsWithTheRulesOfItsDefaultValuesApplied) {
    ParameterControls& c = *controls;
    EXPECT_EQ(c.slidePower->minimum(), 0);
    EXPECT_EQ(c.slidePower->maximum(), 1000);
    EXPECT_EQ(c.editMaxcolNo->minimum(), 1);
    EXPECT_EQ(c.editMaxcolNo->maximum(), 15);
    EXPECT_EQ(c.editNo->maximum(), 14);
    EXPECT_EQ(c.editCalcmode->itemText(0), "X/Y  INT");
    EXPECT_EQ(c.editCalcmode->itemText(1), "s/i  M");
    // STAT: the window is not used.
    EXPECT_TRUE(c.slidePower->isEnabled());
    EXPECT_FALSE(c.editDynWinLo->isEnabled());
    EXPECT_FALSE(c.editDynWinHi->isEnabled());
    EXPECT_TRUE(c.editIntlim->isEnabled());
    EXPECT_TRUE(c.buttonTeachDataTo->isEnabled());
    EXPECT_EQ(TeachColumnLabels(), QStringList({"X", "Y", "CTO", "INT", "ITO"}));
    ExpectRowLabels(c.editMaxcolNo->value());
    EXPECT_TRUE(panel->selectRAM->isChecked());
    EXPECT_FALSE(panel->selectEEPROM->isChecked());
    EXPECT_FALSE(panel->selectFILE->isChecked());
    EXPECT_EQ(popups.Count(), 0);

    // The power readout follows the slider.
    c.slidePower->setFocus();
    QTest::keyClick(c.slidePower, Qt::Key_Right);
    EXPECT_EQ(c.dispPower->text(), QString::number(c.slidePower->value()));
}

TEST_F(ParameterControlsTest, MaxColNoFiveWithDirectOutputWarnsOnEitherCommitAndAfterARead) {
    Enter(controls->editMaxcolNo, 5);
    EXPECT_EQ(popups.Count(), 0) << "BINARY allows 15 colours";
    ExpectRowLabels(5);

    Choose(controls->editOutmode, kOutmodeDirectLo);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(WarningsOf(info::InfoMaxColNo), 1);
    EXPECT_EQ(controls->editMaxcolNo->value(), 5) << "a warning changes no value";

    popups.Clear();
    Enter(controls->editMaxcolNo, 7);
    ExpectRowLabels(7);
    Enter(controls->editMaxcolNo, 5);
    EXPECT_EQ(WarningsOf(info::InfoMaxColNo), 2);
    ExpectRowLabels(5);

    popups.Clear();
    Choose(controls->editOutmode, kOutmodeDirectHi);
    EXPECT_EQ(WarningsOf(info::InfoMaxColNo), 1);
    EXPECT_EQ(popups.Count(), 1);

    // After a parameter read the rules run again.
    popups.Clear();
    controls->GetPanelValues();
    controls->SetPanelValues();
    EXPECT_EQ(popups.Count(), 0);
    controls->InitPanelCtrlAttr();
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(WarningsOf(info::InfoMaxColNo), 1);
    ExpectRowLabels(5);
    EXPECT_EQ(state.params.maxcolno, 5u);
    EXPECT_EQ(state.params.outmode, kOutmodeDirectHi);
}

TEST_F(ParameterControlsTest, FourColoursNeverWarnAndFifteenWithBinaryNeverWarns) {
    Enter(controls->editMaxcolNo, 4);
    Choose(controls->editOutmode, kOutmodeDirectLo);
    Choose(controls->editOutmode, kOutmodeDirectHi);
    Enter(controls->editMaxcolNo, 3);
    Enter(controls->editMaxcolNo, 4);
    controls->InitPanelCtrlAttr();
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join("|").toStdString();
    ExpectRowLabels(4);

    Choose(controls->editOutmode, kOutmodeBinary);
    Enter(controls->editMaxcolNo, 15);
    Choose(controls->editOutmode, kOutmodeBinary);
    controls->InitPanelCtrlAttr();
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join("|").toStdString();
    ExpectRowLabels(15);
}

TEST_F(ParameterControlsTest, ProgramWritesRunNoCallbacksTheRulesDo) {
    state.params.maxcolno = 5;
    state.params.outmode = kOutmodeDirectLo;
    state.params.colorgroup = 1;
    state.params.groupbuf[3] = 7;
    state.params.groupbuf[9] = 12;
    state.params.evalmode = 1;
    state.params.pmode = 1;
    state.params.intlim = 300;
    controls->SetPanelValues();
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join("|").toStdString();
    EXPECT_TRUE(grouppanel->switchColorGroups->isChecked());
    EXPECT_EQ(controls->editIntlim->value(), 300) << "SetPanelValues applies no rule";
    ExpectRowLabels(4);

    // The rules: the group warning (group rule) once, then the MAXCOL-No. warning.
    controls->InitPanelCtrlAttr();
    ASSERT_EQ(popups.Count(), 2) << popups.Texts().join("|").toStdString();
    EXPECT_EQ(popups.Texts()[0], Text(info::InfoGroupsOutmode));
    EXPECT_EQ(popups.Texts()[1], Text(info::InfoMaxColNo));
    EXPECT_EQ(popups.Titles(), QStringList({"INFO!", "INFO!"}));
    ExpectRowLabels(5);
    EXPECT_EQ(displays.groupDisplay, 1);
    EXPECT_FALSE(controls->buttonTeachDataTo->isEnabled());
    // DYN: the limit is forced on the control only; the variable follows at the next read.
    EXPECT_EQ(controls->editIntlim->value(), 0);
    EXPECT_FALSE(controls->editIntlim->isEnabled());
    EXPECT_EQ(state.params.intlim, 300);
    controls->GetPanelValues();
    EXPECT_EQ(state.params.intlim, 0);
}

TEST_F(ParameterControlsTest, EvaluationModeThreeForcesFourBinaryColoursAndNoGroups) {
    Enter(controls->editMaxcolNo, 9);
    Choose(controls->editOutmode, kOutmodeDirectHi);
    ShowGroupPanel();
    Click(grouppanel->switchColorGroups);
    ASSERT_TRUE(grouppanel->switchColorGroups->isChecked());
    controls->ParaVis();
    popups.Clear();

    Choose(controls->editEvalmode, 3);
    EXPECT_EQ(popups.Count(), 0) << "mode 3 recolours without the check";
    EXPECT_EQ(controls->editMaxcolNo->value(), 4);
    EXPECT_FALSE(controls->editMaxcolNo->isEnabled());
    EXPECT_EQ(controls->editOutmode->currentData().toInt(), kOutmodeBinary);
    EXPECT_FALSE(controls->editOutmode->isEnabled());
    ExpectRowLabels(4);
    EXPECT_FALSE(grouppanel->isVisible());
    EXPECT_FALSE(grouppanel->switchColorGroups->isChecked());
    EXPECT_EQ(displays.colourNumber, 0);
    EXPECT_EQ(displays.colourBits, 1);
    EXPECT_EQ(displays.groupDisplay, 0);
    EXPECT_FALSE(controls->buttonTeachDataTo->isEnabled());
    EXPECT_TRUE(controls->gridTeach->ColumnEditable(kTeachColumnCto));
    // Forcing writes the controls only; a read takes the forced values.
    EXPECT_EQ(state.params.maxcolno, 9u);
    EXPECT_EQ(state.params.outmode, kOutmodeDirectHi);
    EXPECT_EQ(state.params.evalmode, 3);
    controls->GetPanelValues();
    EXPECT_EQ(state.params.maxcolno, 4u);
    EXPECT_EQ(state.params.outmode, kOutmodeBinary);
    EXPECT_EQ(state.params.colorgroup, 0);

    // The teach page has no COLOR GROUPS button in mode 3.
    controls->ParaInVis();
    EXPECT_TRUE(panel->teachPage->isVisible());
    EXPECT_FALSE(controls->buttonColorGroups->isVisible());
    EXPECT_TRUE(controls->gridTeach->isVisible());
    controls->ParaVis();

    // Leaving mode 3 undims both and keeps the forced values.
    Choose(controls->editEvalmode, 0);
    EXPECT_TRUE(controls->editMaxcolNo->isEnabled());
    EXPECT_TRUE(controls->editOutmode->isEnabled());
    EXPECT_EQ(controls->editMaxcolNo->value(), 4);
    EXPECT_EQ(controls->editOutmode->currentData().toInt(), kOutmodeBinary);
    EXPECT_EQ(displays.colourNumber, 1);
    EXPECT_EQ(displays.colourBits, 0);
    EXPECT_EQ(displays.groupDisplay, 0) << "the group display is not touched";
    EXPECT_TRUE(controls->buttonTeachDataTo->isEnabled());
    EXPECT_EQ(popups.Count(), 0);
    controls->ParaInVis();
    EXPECT_TRUE(controls->buttonColorGroups->isVisible());
}

TEST_F(ParameterControlsTest, EvaluationModesZeroToTwoSetTheTeachButtonAndTheCtoColumn) {
    controls->ParaInVis();
    for (int row = 0; row < kTeachRows; ++row) controls->gridTeach->SetValue(row, 2, 100);
    controls->ParaVis();

    Choose(controls->editEvalmode, 2);
    EXPECT_FALSE(controls->buttonTeachDataTo->isEnabled());
    EXPECT_FALSE(controls->gridTeach->ColumnEditable(kTeachColumnCto));
    EXPECT_TRUE(controls->gridTeach->ColumnEditable(kTeachColumnCto + 1));
    controls->ParaInVis();
    panel->activateWindow();
    EXPECT_FALSE(EditCell(controls->gridTeach, 4, kTeachColumnCto, 77)) << "CTO is read-only";
    EXPECT_EQ(controls->gridTeach->Value(4, kTeachColumnCto), 100);
    EXPECT_TRUE(EditCell(controls->gridTeach, 4, kTeachColumnCto + 1, 1234));
    EXPECT_EQ(controls->gridTeach->Value(4, kTeachColumnCto + 1), 1234);
    controls->ParaVis();

    Choose(controls->editEvalmode, 1);
    EXPECT_FALSE(controls->buttonTeachDataTo->isEnabled());
    EXPECT_TRUE(controls->gridTeach->ColumnEditable(kTeachColumnCto));
    controls->ParaInVis();
    EXPECT_TRUE(EditCell(controls->gridTeach, 4, kTeachColumnCto, 77));
    EXPECT_EQ(controls->gridTeach->Value(4, kTeachColumnCto), 77);
    controls->ParaVis();

    Choose(controls->editEvalmode, 0);
    EXPECT_TRUE(controls->buttonTeachDataTo->isEnabled());
    EXPECT_TRUE(controls->editMaxcolNo->isEnabled());
    EXPECT_TRUE(controls->editOutmode->isEnabled());
    EXPECT_EQ(displays.colourNumber, 1);
    EXPECT_EQ(displays.colourBits, 0);
    EXPECT_EQ(displays.groupDisplay, -1) << "modes 0 to 2 leave the group display alone";
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ParameterControlsTest, MemoryTogglesActAsOneSelector) {
    auto expectSelected = [&](std::uint16_t target) {
        EXPECT_EQ(state.exchange.target, target);
        EXPECT_EQ(panel->selectRAM->isChecked(), target == RAM);
        EXPECT_EQ(panel->selectEEPROM->isChecked(), target == EEPROM);
        EXPECT_EQ(panel->selectFILE->isChecked(), target == DATFILE);
    };
    expectSelected(RAM);
    Click(panel->selectEEPROM);
    expectSelected(EEPROM);
    Click(panel->selectFILE);
    expectSelected(DATFILE);
    // Switching the active one off falls back to RAM.
    Click(panel->selectFILE);
    expectSelected(RAM);
    // RAM cannot be switched off by itself.
    Click(panel->selectRAM);
    expectSelected(RAM);
    Click(panel->selectEEPROM);
    Click(panel->selectEEPROM);
    expectSelected(RAM);
    Click(panel->selectEEPROM);
    Click(panel->selectRAM);
    expectSelected(RAM);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ParameterControlsTest, ExternalTriggerForcesExternalTeachOff) {
    state.params = {};
    state.params.exteach = 1;
    state.params.maxcolno = 4;
    state.params.outmode = kOutmodeBinary;
    controls->SetPanelValues();
    ASSERT_TRUE(controls->editTrigger->isEnabled());

    for (int trigger : {1, 2}) {
        SCOPED_TRACE(trigger);
        Choose(controls->editTrigger, trigger);
        EXPECT_EQ(controls->editExteach->currentData().toInt(), 0);
        EXPECT_FALSE(controls->editExteach->isEnabled());
        EXPECT_EQ(state.params.trigger, trigger);
        EXPECT_EQ(state.params.exteach, 1) << "the variable follows at the next read";
    }
    Choose(controls->editTrigger, 0);
    EXPECT_TRUE(controls->editExteach->isEnabled());
    EXPECT_EQ(controls->editExteach->currentData().toInt(), 0);
    controls->GetPanelValues();
    EXPECT_EQ(state.params.exteach, 0);
}

TEST_F(ParameterControlsTest, ExternalTeachModesForceTriggerAndPowerMode) {
    ParameterControls& c = *controls;
    state.params.trigger = 2;
    state.params.pmode = 1;
    state.params.maxcolno = 4;
    state.params.outmode = kOutmodeBinary;
    c.SetPanelValues();

    Choose(c.editExteach, 2);  // ON 1
    EXPECT_EQ(c.editTrigger->currentData().toInt(), 0);
    EXPECT_FALSE(c.editTrigger->isEnabled());
    EXPECT_EQ(c.editPmode->currentData().toInt(), 0);
    EXPECT_FALSE(c.editPmode->isEnabled());
    EXPECT_TRUE(c.slidePower->isEnabled());
    EXPECT_FALSE(c.editDynWinLo->isEnabled());
    EXPECT_FALSE(c.editDynWinHi->isEnabled());

    Choose(c.editExteach, 3);
    EXPECT_EQ(c.editTrigger->currentData().toInt(), 0);
    EXPECT_FALSE(c.editTrigger->isEnabled());
    EXPECT_EQ(c.editPmode->currentData().toInt(), 0);
    EXPECT_FALSE(c.editPmode->isEnabled());
    EXPECT_FALSE(c.slidePower->isEnabled());
    EXPECT_TRUE(c.editDynWinLo->isEnabled());
    EXPECT_TRUE(c.editDynWinHi->isEnabled());

    // ON: the trigger stays forced, the power mode is free again and its rule applies (STAT).
    Choose(c.editExteach, 1);
    EXPECT_FALSE(c.editTrigger->isEnabled());
    EXPECT_TRUE(c.editPmode->isEnabled());
    EXPECT_TRUE(c.slidePower->isEnabled());
    EXPECT_FALSE(c.editDynWinLo->isEnabled());
    EXPECT_TRUE(c.editIntlim->isEnabled());
    EXPECT_EQ(state.params.pmode, 0);

    Choose(c.editExteach, 0);
    EXPECT_TRUE(c.editTrigger->isEnabled());
    EXPECT_TRUE(c.editPmode->isEnabled());
    EXPECT_TRUE(c.slidePower->isEnabled());
    c.GetPanelValues();
    EXPECT_EQ(state.params.trigger, 0);
    EXPECT_EQ(state.params.pmode, 0);
    EXPECT_EQ(state.params.exteach, 0);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ParameterControlsTest, DynamicPowerModeForcesTheIntensityLimitToZero) {
    ParameterControls& c = *controls;
    Enter(c.editIntlim, 250);
    c.GetPanelValues();
    Choose(c.editPmode, 1);
    EXPECT_EQ(c.editIntlim->value(), 0);
    EXPECT_FALSE(c.editIntlim->isEnabled());
    EXPECT_FALSE(c.slidePower->isEnabled());
    EXPECT_TRUE(c.editDynWinLo->isEnabled());
    EXPECT_TRUE(c.editDynWinHi->isEnabled());
    EXPECT_EQ(state.params.intlim, 250);

    Choose(c.editPmode, 0);
    EXPECT_TRUE(c.editIntlim->isEnabled());
    EXPECT_EQ(c.editIntlim->value(), 0);
    EXPECT_TRUE(c.slidePower->isEnabled());
    EXPECT_FALSE(c.editDynWinLo->isEnabled());
    EXPECT_FALSE(c.editDynWinHi->isEnabled());
    c.GetPanelValues();
    EXPECT_EQ(state.params.intlim, 0);
    EXPECT_EQ(state.params.pmode, 0);
}

TEST_F(ParameterControlsTest, CalculationModeChangeWritesTheWholeSetToRam) {
    ParameterControls& c = *controls;
    QLabel label(QStringLiteral("X"));
    QComboBox source;
    source.addItem("X/Y", 0);
    source.addItem("R,G,B", 1);
    source.addItem("INT", 2);
    std::vector<int> relabelled;
    c.AddDispNamesRow([&](int calcmode) { relabelled.push_back(calcmode); });
    c.AddDispNamesRow(ParameterControls::LabelRow(&label, "X", "s"));
    c.AddDispNamesRow(
        ParameterControls::RingItemsRow(&source, {0, 2}, {"X/Y", "INT"}, {"s/i", "M"}));

    struct AtSend {
        std::uint16_t target;
        bool ramOn, eepromOn, fileOn;
        bool sendOn, getOn, goOn, connectOn, calcOn, stopOn;
        QStringList labels;
    };
    std::vector<AtSend> seen;
    onSend = [&] {
        seen.push_back({state.exchange.target, panel->selectRAM->isChecked(),
                        panel->selectEEPROM->isChecked(), panel->selectFILE->isChecked(),
                        panel->buttonSend->isEnabled(), panel->buttonGet->isEnabled(),
                        panel->buttonGo->isEnabled(), panel->buttonConnect->isEnabled(),
                        c.editCalcmode->isEnabled(), panel->buttonStop->isEnabled(),
                        TeachColumnLabels()});
    };

    Click(panel->selectEEPROM);
    Choose(c.editCalcmode, 1);
    ASSERT_EQ(sends, 1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, RAM);
    EXPECT_TRUE(seen[0].ramOn);
    EXPECT_FALSE(seen[0].eepromOn);
    EXPECT_FALSE(seen[0].fileOn);
    EXPECT_FALSE(seen[0].sendOn || seen[0].getOn || seen[0].goOn || seen[0].connectOn ||
                 seen[0].calcOn);
    EXPECT_TRUE(seen[0].stopOn);
    EXPECT_EQ(seen[0].labels, QStringList({"X", "Y", "CTO", "INT", "ITO"}))
        << "relabelled after the send";
    EXPECT_EQ(TeachColumnLabels(), QStringList({"s", "i", "siTO", "M", "MTO"}));
    EXPECT_EQ(state.params.calcmode, 1u);
    EXPECT_EQ(relabelled, std::vector<int>({1}));
    EXPECT_EQ(label.text(), "s");
    EXPECT_EQ(source.itemText(0), "s/i");
    EXPECT_EQ(source.itemText(1), "R,G,B");
    EXPECT_EQ(source.itemText(2), "M");
    EXPECT_EQ(state.exchange.target, RAM);
    EXPECT_TRUE(panel->selectRAM->isChecked());
    for (QWidget* command :
         {static_cast<QWidget*>(panel->buttonSend), static_cast<QWidget*>(panel->buttonGet),
          static_cast<QWidget*>(panel->buttonGo), static_cast<QWidget*>(panel->buttonConnect),
          static_cast<QWidget*>(c.editCalcmode)})
        EXPECT_TRUE(command->isEnabled());

    Click(panel->selectFILE);
    Choose(c.editCalcmode, 0);
    ASSERT_EQ(sends, 2);
    EXPECT_EQ(seen[1].target, RAM);
    EXPECT_FALSE(seen[1].fileOn);
    EXPECT_TRUE(panel->selectRAM->isChecked());
    EXPECT_FALSE(panel->selectFILE->isChecked());
    EXPECT_EQ(TeachColumnLabels(), QStringList({"X", "Y", "CTO", "INT", "ITO"}));
    EXPECT_EQ(relabelled, std::vector<int>({1, 0}));
    EXPECT_EQ(label.text(), "X");
    EXPECT_EQ(source.itemText(2), "INT");

    // Choosing the mode that is already set is a commit too: the set is written again.
    Choose(c.editCalcmode, 0);
    EXPECT_EQ(sends, 3);

    // A parameter read relabels without writing anything.
    state.params.calcmode = 1;
    state.params.maxcolno = 4;
    state.params.outmode = kOutmodeBinary;
    c.SetPanelValues();
    EXPECT_EQ(TeachColumnLabels(), QStringList({"X", "Y", "CTO", "INT", "ITO"}));
    c.InitPanelCtrlAttr();
    EXPECT_EQ(sends, 3);
    EXPECT_EQ(TeachColumnLabels(), QStringList({"s", "i", "siTO", "M", "MTO"}));
    EXPECT_EQ(label.text(), "s");
}

TEST_F(ParameterControlsTest, GroupCellsAboveThreeWarnOutsideBinaryOutput) {
    Choose(controls->editOutmode, kOutmodeDirectLo);
    ShowGroupPanel();
    grouppanel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(grouppanel.get()));
    popups.Clear();

    ASSERT_TRUE(EditCell(grouppanel->gridGroups, 1, 0, 4));
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(WarningsOf(info::InfoGroupsOutmode), 1);
    EXPECT_EQ(grouppanel->Group(1), 4) << "the value stays as entered";

    ASSERT_TRUE(EditCell(grouppanel->gridGroups, 2, 0, 3));
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(grouppanel->Group(2), 3);

    // A number typed straight into a cell and committed by clicking another cell is checked
    // too: the edited cell is still the active one when its value changes.
    WordTable* table = grouppanel->gridGroups;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(6, 0)).center());
    QTest::keyClicks(table, "9");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualItemRect(table->item(8, 0)).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(grouppanel->Group(6), 9);
    EXPECT_EQ(popups.Count(), 2);
    EXPECT_EQ(grouppanel->activCell().row, 8);

    controls->ParaVis();
    Choose(controls->editOutmode, kOutmodeBinary);
    grouppanel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(grouppanel.get()));
    ASSERT_TRUE(EditCell(grouppanel->gridGroups, 14, 0, 14));
    EXPECT_EQ(popups.Count(), 2);
    EXPECT_EQ(grouppanel->Group(14), 14);

    // The cells go into groupbuf at the next read.
    controls->GetPanelValues();
    EXPECT_EQ(state.params.groupbuf[1], 4);
    EXPECT_EQ(state.params.groupbuf[2], 3);
    EXPECT_EQ(state.params.groupbuf[14], 14);
}

TEST_F(ParameterControlsTest, SwitchingGroupsOnWarnsOnceWithDirectOutput) {
    state.params.maxcolno = 4;
    state.params.outmode = kOutmodeDirectHi;
    state.params.groupbuf[0] = 7;
    state.params.groupbuf[5] = 9;
    state.params.groupbuf[14] = 4;
    controls->SetPanelValues();
    Choose(controls->editOutmode, kOutmodeDirectHi);
    ShowGroupPanel();
    popups.Clear();

    Click(grouppanel->switchColorGroups);
    EXPECT_EQ(state.params.colorgroup, 1);
    EXPECT_EQ(displays.groupDisplay, 1);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(WarningsOf(info::InfoGroupsOutmode), 1);

    Click(grouppanel->switchColorGroups);
    EXPECT_EQ(state.params.colorgroup, 0);
    EXPECT_EQ(displays.groupDisplay, 0);
    EXPECT_EQ(popups.Count(), 1);

    controls->ParaVis();
    Choose(controls->editOutmode, kOutmodeBinary);
    Click(grouppanel->switchColorGroups);
    EXPECT_EQ(state.params.colorgroup, 1);
    EXPECT_EQ(displays.groupDisplay, 1);
    EXPECT_EQ(popups.Count(), 1) << "BINARY has 15 groups";
}

TEST_F(ParameterControlsTest, OutmodeCommitChecksGroupsWhenTheyAreOn) {
    state.params.maxcolno = 4;
    state.params.outmode = kOutmodeBinary;
    state.params.colorgroup = 1;
    state.params.groupbuf[2] = 5;
    state.params.groupbuf[3] = 6;
    controls->SetPanelValues();

    Choose(controls->editOutmode, kOutmodeDirectLo);
    EXPECT_EQ(popups.Texts(), QStringList({Text(info::InfoGroupsOutmode)}));

    popups.Clear();
    Enter(controls->editMaxcolNo, 5);
    EXPECT_EQ(popups.Texts(), QStringList({Text(info::InfoMaxColNo)}))
        << "the MAXCOL-No. commit does not look at the groups";

    popups.Clear();
    Choose(controls->editOutmode, kOutmodeDirectHi);
    EXPECT_EQ(popups.Texts(),
              QStringList({Text(info::InfoMaxColNo), Text(info::InfoGroupsOutmode)}));

    // Groups off: only the MAXCOL-No. check.
    ShowGroupPanel();
    Click(grouppanel->switchColorGroups);
    controls->ParaVis();
    popups.Clear();
    Choose(controls->editOutmode, kOutmodeDirectLo);
    EXPECT_EQ(popups.Texts(), QStringList({Text(info::InfoMaxColNo)}));
}

TEST_F(ParameterControlsTest, GroupPanelOpensResetsAndCloses) {
    for (int row = 0; row < kTeachRows; ++row) state.params.groupbuf[row] = row;
    state.params.colorgroup = 1;
    state.params.maxcolno = 6;
    state.params.outmode = kOutmodeBinary;
    controls->SetPanelValues();
    controls->InitPanelCtrlAttr();
    EXPECT_FALSE(grouppanel->isVisible());
    ShowGroupPanel();
    EXPECT_TRUE(grouppanel->isVisible());
    EXPECT_EQ(grouppanel->windowTitle(), "COLOR GROUPS");
    ExpectRowLabels(6);

    Click(grouppanel->buttonResetGroupTable);
    for (int row = 0; row < kTeachRows; ++row) EXPECT_EQ(grouppanel->Group(row), 0) << row;
    EXPECT_TRUE(grouppanel->switchColorGroups->isChecked());
    EXPECT_EQ(state.params.groupbuf[9], 9) << "groupbuf follows at the next read";
    controls->GetPanelValues();
    for (int row = 0; row < kTeachRows; ++row) EXPECT_EQ(state.params.groupbuf[row], 0) << row;
    EXPECT_EQ(state.params.colorgroup, 1);

    Click(grouppanel->buttonGroupPanelClose);
    EXPECT_FALSE(grouppanel->isVisible());
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ParameterControlsTest, PanelValuesRoundTripTheWholeParameterSet) {
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
    p.dynwinlo = 0;
    p.dynwinhi = 65535;
    p.colorgroup = 1;
    p.frei15 = 0xBEEF;
    p.frei16 = 7;
    for (int r = 0; r < kTeachRows; ++r) {
        for (int c = 0; c < kTeachColumns; ++c)
            p.ctt[r][c] = static_cast<std::uint16_t>(r * 4000 + c * 777 + (r == 14 ? 5000 : 0));
        p.groupbuf[r] = static_cast<std::uint16_t>(14 - r);
    }
    p.ctt[0][0] = 0;
    p.ctt[14][4] = 65535;
    p.groupbuf[15] = 99;

    state.params = p;
    controls->SetPanelValues();
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(controls->slidePower->value(), 1000);
    EXPECT_EQ(controls->dispPower->text(), "1000");
    EXPECT_EQ(controls->editOutmode->currentText(), "DIRECT HI");
    EXPECT_EQ(controls->editTrigger->currentText(), "EXT2");
    EXPECT_EQ(controls->editExteach->currentData().toInt(), 3);
    EXPECT_EQ(controls->editCalcmode->currentText(), "s/i  M");
    EXPECT_EQ(controls->gridTeach->Value(14, 4), 65535);
    EXPECT_EQ(controls->gridTeach->item(14, 4)->text(), "65535");
    EXPECT_EQ(grouppanel->Group(0), 14);

    ParameterSet cleared;
    cleared.frei15 = p.frei15;
    cleared.frei16 = p.frei16;
    cleared.groupbuf[15] = p.groupbuf[15];
    state.params = cleared;
    controls->GetPanelValues();
    EXPECT_EQ(state.params, p);

    // A second set with the other codes and the lowest values.
    ParameterSet q;
    q.power = 0;
    q.maxcolno = 1;
    q.outmode = kOutmodeDirectLo;
    q.average = 1;
    q.evalmode = 3;
    q.trigger = 1;
    state.params = q;
    controls->SetPanelValues();
    state.params = p;
    controls->GetPanelValues();
    ParameterSet expected = q;
    expected.frei15 = p.frei15;
    expected.frei16 = p.frei16;
    expected.groupbuf[15] = p.groupbuf[15];
    EXPECT_EQ(state.params, expected);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ParameterControlsTest, SetButtonsDimmedDimsTheCommandSetButNeverStop) {
    ParameterControls& c = *controls;
    QPushButton zoom(QStringLiteral("ZOOM"));
    QPushButton recorder(QStringLiteral("OPEN RECORDER"));
    c.AddDimmedCommand(&zoom);
    c.AddDimmedCommand(&recorder);
    c.AddDimmedCommand(panel->buttonStop);
    const std::vector<QWidget*> commands = {
        panel->buttonSend, panel->buttonGet,     panel->buttonGo,
        c.editCalcmode,    panel->buttonConnect, &zoom,
        &recorder};

    c.SetButtonsDimmed(true);
    for (QWidget* command : commands)
        EXPECT_FALSE(command->isEnabled()) << command->objectName().toStdString();
    EXPECT_TRUE(panel->buttonStop->isEnabled());
    // The rest of the panel stays operable.
    EXPECT_TRUE(c.editMaxcolNo->isEnabled());
    EXPECT_TRUE(panel->selectRAM->isEnabled());

    // Not counted: one undim after two dims undims everything.
    c.SetButtonsDimmed(true);
    c.SetButtonsDimmed(false);
    for (QWidget* command : commands) EXPECT_TRUE(command->isEnabled());
    EXPECT_TRUE(panel->buttonStop->isEnabled());
}

TEST_F(ParameterControlsTest, PagesShowEitherTheParametersOrTheTeachTable) {
    controls->ParaInVis();
    EXPECT_FALSE(panel->parameterPage->isVisible());
    EXPECT_TRUE(panel->teachPage->isVisible());
    for (QWidget* w :
         std::vector<QWidget*>{controls->gridTeach, controls->editNo, controls->radioInc,
                               controls->buttonTeachDataTo, controls->buttonColorGroups})
        EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(controls->editMaxcolNo->isVisible());

    controls->ParaVis();
    EXPECT_TRUE(panel->parameterPage->isVisible());
    EXPECT_FALSE(panel->teachPage->isVisible());
    EXPECT_FALSE(controls->buttonColorGroups->isVisible());
    EXPECT_TRUE(controls->editMaxcolNo->isVisible());
    EXPECT_TRUE(controls->editCalcmode->isVisible());
    // The memory selector lies outside both pages.
    EXPECT_TRUE(panel->selectRAM->isVisible());
    controls->ParaInVis();
    EXPECT_TRUE(panel->selectFILE->isVisible());
}

TEST_F(ParameterControlsTest, AddedStepsRunLastInPanelCtrlAttr) {
    std::vector<QString> order;
    controls->AddPanelCtrlAttrStep([&] {
        order.push_back(QStringLiteral("DispVis after %1 pop-ups, rows %2")
                            .arg(popups.Count())
                            .arg(controls->gridTeach->RowLabelColour(6) == kGreen ? "7" : "?"));
    });
    controls->AddPanelCtrlAttrStep([&] { order.push_back(QStringLiteral("InitTeachPanel")); });
    state.params.maxcolno = 7;
    state.params.outmode = kOutmodeDirectLo;
    controls->SetPanelValues();
    EXPECT_TRUE(order.empty());
    controls->InitPanelCtrlAttr();
    EXPECT_EQ(order, std::vector<QString>({"DispVis after 1 pop-ups, rows 7", "InitTeachPanel"}));
}

TEST_F(ParameterControlsTest, RightClickShowsTheHelpOfEveryControl) {
    using namespace info;
    ParameterControls& c = *controls;
    const std::vector<std::pair<QWidget*, const char*>> parameterPage = {
        {c.slidePower, InfoEditPower},        {c.dispPower, InfoEditPower},
        {c.editPmode, InfoEditPmod},          {c.editAverage, InfoEditAverage},
        {c.editEvalmode, InfoEditEvalmode},   {c.editHold, InfoEditHold},
        {c.editIntlim, InfoEditIntlim},       {c.editMaxcolNo, InfoEditMaxcolNo},
        {c.editOutmode, InfoEditOutmode},     {c.editTrigger, InfoEditTrigger},
        {c.editExteach, InfoEditExteach},     {c.editCalcmode, InfoEditCalcMode},
        {c.editDynWinLo, InfoEditDynWinLoHi}, {c.editDynWinHi, InfoEditDynWinLoHi},
        {panel->selectRAM, InfoSelectMEM},    {panel->selectEEPROM, InfoSelectMEM},
        {panel->selectFILE, InfoSelectMEM},
    };
    const std::vector<std::pair<QWidget*, const char*>> teachPage = {
        {c.editNo, InfoEditNo},
        {c.radioInc, InfoRadioInc},
        {c.buttonTeachDataTo, InfoButtonTeachDataTo},
        {c.buttonColorGroups, InfoButtonColorGroups},
    };
    const std::vector<std::pair<QWidget*, const char*>> groupPanel = {
        {grouppanel->switchColorGroups, InfoEditColorGroups},
        {grouppanel->buttonResetGroupTable, InfoButtonResetGroupTable},
        {grouppanel->buttonGroupPanelClose, InfoButtonClosePanel},
    };
    auto check = [&](const std::vector<std::pair<QWidget*, const char*>>& cases) {
        for (const auto& [control, text] : cases) {
            SCOPED_TRACE(control->metaObject()->className());
            popups.Clear();
            RightClick(control);
            ASSERT_EQ(popups.Count(), 1);
            EXPECT_EQ(popups.LastTitle(), "INFO!");
            EXPECT_EQ(popups.LastText(), Text(text));
            EXPECT_EQ(control->toolTip(), Text(text));
        }
    };
    // Dimmed controls too (PMOD STAT dims the window bounds).
    ASSERT_FALSE(c.editDynWinLo->isEnabled());
    check(parameterPage);
    c.ParaInVis();
    check(teachPage);
    ShowGroupPanel();
    check(groupPanel);

    // The group table has no help text.
    popups.Clear();
    RightClick(grouppanel->gridGroups->viewport());
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

}  // namespace
}  // namespace tvx
