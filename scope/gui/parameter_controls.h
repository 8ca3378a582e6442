#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>
#include <cstdint>
#include <functional>
#include <vector>

#include "group_panel.h"
#include "main_panel.h"
#include "mode_rules.h"
#include "parameter_set.h"
#include "popups.h"
#include "scope_commands.h"
#include "word_table.h"

namespace tvx {

// Teach-table columns, counted from 0: X, Y, CTO, INT, ITO (s, i, siTO, M, MTO), row colour.
inline constexpr int kTeachColumnCto = 2;
inline constexpr int kTeachColumnRowColour = 5;

// What the mode rules do to live displays of the main panel that the live display brings along.
// An empty function is skipped.
struct ModeDisplayHooks {
    std::function<void(bool shown)> showColourNumber;  // the C-No display
    std::function<void(bool shown)> showColourBits;    // the four indicators 8, 4, 2, 1
    std::function<void(bool shown)> showGroupDisplay;  // the group display
};

// The main panel's parameter controls and teach-page basics, the memory selector, the group
// panel's behaviour, and what ties them together: the copy points between controls and the
// parameter set (GetPanelValues, SetPanelValues), the mode rules (ApplyModeRule) drawn onto the
// controls with their warnings, the relabelling by calculation mode, the two pages and the
// dimming of the command controls.
//
// Callbacks act on the user's own actions only: rings on activated, numerics on a committed
// change (keyboard tracking off), switches on clicked, the memory toggles on toggled. Every write
// of the program (SetPanelValues, a forced value) is made with the control's signals blocked, so
// it never runs a callback.
class ParameterControls : public QObject {
    Q_OBJECT
  public:
    using Step = std::function<void()>;
    // One place that SetDispNames relabels; called with calculation mode 0 or 1 only.
    using DispNamesRow = std::function<void(int calcmode)>;

    // The state the controls work on: the parameter set they show and read, and the exchange's
    // target, which the memory selector sets.
    struct State {
        ParameterSet& params;
        ExchangeState& exchange;
    };

    // Builds the controls onto the main panel's two pages and connects the callbacks of the main
    // panel's parameter controls, memory selector and the group panel. The controls start with
    // the program's default values and the rules of those values applied (read into `state`).
    // sendPara writes the panel's parameter set to the sensor's RAM (used by CBF_Calcmode).
    ParameterControls(MainPanel& panel, GroupPanel& grouppanel, State state, Popups& popups,
                      std::function<void()> sendPara);

    // Parameter page.
    QSlider* slidePower;  // 0 ... 1000
    QLabel* dispPower;    // the slider's value as a number
    QComboBox* editPmode;
    QSpinBox* editAverage;
    QComboBox* editEvalmode;
    QSpinBox* editHold;
    QSpinBox* editIntlim;
    QSpinBox* editMaxcolNo;  // 1 ... 15
    QComboBox* editOutmode;
    QComboBox* editTrigger;
    QComboBox* editExteach;
    QComboBox* editCalcmode;
    QSpinBox* editDynWinLo;
    QSpinBox* editDynWinHi;

    // Teach page. buttonTeachDataTo is the mode-0 teach button that the evaluation-mode rule
    // enables only in mode 0; the teach operations connect its click. Further teach buttons go
    // into teachButtons.
    WordTable* gridTeach;  // 15 rows x (5 value columns + the row-colour cell)
    QSpinBox* editNo;      // "No.:" 0 ... 14
    QCheckBox* radioInc;   // auto increment of "No.:"
    QPushButton* buttonTeachDataTo;
    QPushButton* buttonColorGroups;
    QVBoxLayout* teachButtons;

    // Extension points for the parts of the main panel built later.
    void SetModeDisplayHooks(ModeDisplayHooks hooks) { displayHooks_ = std::move(hooks); }
    // Steps that InitPanelCtrlAttr runs last, in the order added (DispVis, InitTeachPanel).
    void AddPanelCtrlAttrStep(Step step) { panelCtrlAttrSteps_.push_back(std::move(step)); }
    // Places that SetDispNames relabels, in the order added.
    void AddDispNamesRow(DispNamesRow row) { dispNamesRows_.push_back(std::move(row)); }
    // Rows for the common cases: a label's text; the ring items with the given codes, relabelled
    // in the order of the codes.
    static DispNamesRow LabelRow(QLabel* label, QString mode0, QString mode1);
    static DispNamesRow RingItemsRow(QComboBox* ring, QList<int> items, QStringList mode0,
                                     QStringList mode1);
    // Adds a command control to the set that SetButtonsDimmed dims. STOP is refused.
    void AddDimmedCommand(QWidget* control);

    // Copy points between the controls and the parameter set, in the order power, pmode,
    // average, evalmode, hold, intlim, maxcolno, outmode, trigger, exteach, calcmode, dynwinlo,
    // dynwinhi, colorgroup, then per row the group cell and the five teach cells.
    // GetPanelValues first makes every box hold the value it shows; a box whose text is no value
    // is named in a box and nothing is read (false).
    bool GetPanelValues();
    // The boxes GetPanelValues reads: the numerics of the parameter page.
    QList<QWidget*> ValueBoxes() const;
    // Makes every box and open table-cell editor hold the value it shows; false (after a box
    // named the bad text) when one shows no value.
    bool TakeShownValues();
    void SetPanelValues();
    // The parameter set the controls show, as GetPanelValues would read it.
    ParameterSet PanelValues() const;
    // Applies every rule of a parameter read (kModeRulesOfARead) to the values now on the
    // panels: the five mode rules, the group rule, the MAXCOL-No. check with the row-label
    // colours, then the added steps.
    void InitPanelCtrlAttr();

    // Mode rules: read the ring into its variable and draw what its rule gives the controls.
    void InitPowerMode();
    void InitEvalMode();
    void InitCalcMode();
    void InitExteach();
    void InitTrigger();
    // Reads the group switch into colorgroup, shows or hides the group display and warns once
    // about group numbers the direct output modes cannot give.
    void InitColorGroups();
    // Relabels every place that depends on the calculation mode (read from its ring).
    void SetDispNames();

    // The parameter page / the teach page.
    void ParaVis();
    void ParaInVis();
    // Dims or undims SEND, GET, GO, the calculation-mode ring, CONNECT and the added commands,
    // all but `keptUsable` when one is given.
    void SetButtonsDimmed(bool dimmed, QWidget* keptUsable = nullptr);

    // Row labels 1 ... maxcolno green, the others red, in the teach table and the group table.
    void MarkActiveRows(std::uint32_t maxcolno);

  public slots:
    void CBF_SelectRAM(bool on);
    void CBF_SelectEEPROM(bool on);
    void CBF_SelectFILE(bool on);
    void CBF_Evalmode();
    void CBF_EditTrigger();
    void CBF_EditExteach();
    void CBF_EditPmode();
    void CBF_Calcmode();
    void CBF_EditMaxcolNo();
    void CBF_EditOutmode();
    void CBF_ButtonColorGroups();
    void CBF_EditGridGroups();
    void CBF_EditColorGroups();
    void CBF_ButtonResetGroupTable();
    void CBF_ButtonGroupPanelClose();

  private:
    void BuildParameterPage();
    void BuildTeachPage();
    void ConnectCallbacks();
    void AttachHelpTexts();

    void SelectMemory(std::uint16_t memory);
    void OnMemoryToggled(std::uint16_t memory, bool on);
    // Reads the words the rule looks at from their controls into their variables, as the
    // rule's callback does, and draws what the rule gives the controls.
    void InitModeRule(ModeRule rule);
    void ReadModeWords(ModeRule rule);
    // The variables, with the group table's cells as groupbuf.
    ParameterSet RuleInput() const;
    void Draw(const ControlStates& states);
    void RelabelPanels(std::uint16_t calcmode);
    void ShowWarning(ModeWarning warning);
    void ShowDisplay(const std::function<void(bool)>& hook, const ControlState& state);

    MainPanel& panel_;
    GroupPanel& grouppanel_;
    State state_;
    Popups& popups_;
    std::function<void()> sendPara_;

    ModeDisplayHooks displayHooks_;
    std::vector<Step> panelCtrlAttrSteps_;
    std::vector<DispNamesRow> dispNamesRows_;
    std::vector<QWidget*> dimmedCommands_;
};

}  // namespace tvx
