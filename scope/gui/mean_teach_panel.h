#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <vector>

#include "live_display.h"
#include "loop_flags.h"
#include "main_panel.h"
#include "mean_teach.h"
#include "panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"
#include "scope_commands.h"
#include "word_table.h"

namespace tvx {

inline constexpr const char* kMeanTeachPanelTitle = "TEACH MEAN VALUE";

// The mean-value teach panel: the captured frames, their mean and largest deviations, how the
// tolerances are chosen, the target row, and the buttons.
class MeanTeachPanel : public Panel {
    Q_OBJECT
  public:
    explicit MeanTeachPanel(QWidget* parent = nullptr);

    WordTable* gridTpValues;  // 100 rows x R, G, B, X, Y, INT
    WordTable* gridTpMean;    // 1 row, the same columns
    QLineEdit* dispTpCounter;
    QLineEdit* dispMaxDeltaXY;
    QLineEdit* dispTpMaxDeltaInt;
    QLabel* labelMaxDeltaXY;
    QLabel* labelMaxDeltaInt;
    // What TEACH TO TABLE would leave the captured frames: their worst margin in the row it would
    // write, and the capability of their distances against its CTO.
    QLineEdit* dispTpWorstMargin;
    QLineEdit* dispTpCpu;
    QComboBox* editTpTeachCtoWith;  // 0 value, 1 max delta, 2 both, 3 no change
    QComboBox* editTpTeachItoWith;
    QLabel* labelTeachCtoWith;
    QLabel* labelTeachItoWith;
    QSpinBox* editTpValueCto;
    QSpinBox* editTpValueIto;
    QLabel* labelValueCto;
    QLabel* labelValueIto;
    QSpinBox* editTpRowNo;  // teach row 0 ... 14
    QPushButton* buttonTpCapture;
    QPushButton* buttonTpUndo;
    QPushButton* buttonTpResetTable;
    QPushButton* buttonTpTeachToTable;
    QPushButton* buttonTpClose;
};

// What the mean-value teach panel does: captures the live loop's frames, keeps their means and
// deviations current, and teaches the mean into a row of the main panel's teach table.
class MeanTeachOperations : public QObject {
    Q_OBJECT
  public:
    // The state the mean-value teach works on.
    struct State {
        LoopFlags& flags;
        const LiveValues& live;
        ParameterSet& params;
    };

    MeanTeachOperations(MainPanel& panel, MeanTeachPanel& teachpanel, ParameterControls& controls,
                        LiveDisplay& live, ScopeCommands& commands, State state, Popups& popups);

    QPushButton* buttonTeachMeanVal;  // on the main panel's teach page

    // The mean globals: the last computed means of R, G, B, X, Y, INT.
    std::uint16_t meanr = 0, meang = 0, meanb = 0, meanx = 0, meany = 0, meanint = 0;

    int Counter() const;
    void InitTeachPanel();
    void ResetTpTable();
    void CaptureFrame();
    void UndoCapture();
    void CalcMeanValues();
    void CalcMaxDelta();
    void TeachToTable();
    // Shows the worst margin and the Cpu that teaching the captured frames would leave.
    void ShowTeachOutlook();

  public slots:
    void CBF_ButtonTeachMeanVal();
    void CBF_ButtonTpCapture();
    void CBF_ButtonTpUndo();
    void CBF_ButtonTpResetTable();
    void CBF_ButtonTpTeachToTable();
    void CBF_ButtonTpClose();
    void CBF_GridTpValues();

  private:
    void AddDispNamesRows();
    void AttachHelpTexts();
    void SetCounter(int counter);
    std::vector<CapturedFrame> CapturedFrames() const;
    // The row TEACH TO TABLE writes: the mean X, Y, INT with the CTO and ITO the selectors choose.
    std::array<std::uint16_t, kTeachColumns> RowToTeach() const;

    MainPanel& panel_;
    MeanTeachPanel& teachpanel_;
    ParameterControls& controls_;
    LiveDisplay& live_;
    ScopeCommands& commands_;
    State state_;
    Popups& popups_;
};

}  // namespace tvx
