#pragma once

#include <memory>

#include "calib_commands.h"
#include "calib_panel.h"
#include "calib_state.h"
#include "tool_shell.h"

namespace tvx::calib {

inline constexpr const char* kCalibTitle = "TRIVEX-CALIB-Scope V6.1";

// The calibration tool's main module: start-up, the panels, the button sequences, the end.
class Tvx3CalibV61 : public ToolShell {
    Q_OBJECT
  public:
    Tvx3CalibV61(Popups& popups, StartOptions options);
    ~Tvx3CalibV61() override;

    // Creates the main panel and the interface settings panel. A panel that cannot be made
    // throws; the program then ends with exit code -1.
    void LoadPanels();
    // Shows the main panel, runs the start-up sequence and the event loop until the main panel is
    // closed, then closes the link. Returns the exit code.
    int Run();
    void InitVars() override;

    CalibState& State() { return state_; }
    CalibPanel& Main() { return *panel; }
    CalibCommands& Commands() { return *commands_; }

    // Sets the dimmed state of the six command buttons.
    void SetButtonsDimmed(int dimmed);

  public slots:
    void CBF_P();
    void CBF_ButtonSendPower();
    void CBF_ButtonSendCF();
    void CBF_ButtonGetCF();
    void CBF_ButtonGo();
    void CBF_ButtonStop();
    void CBF_ButtonCalcCF();
    void CBF_ButtonFinishCalib();
    void CBF_ButtonConnect();

  private:
    // The three CF boxes, which SendCF reads.
    QList<QWidget*> FactorBoxes() const;
    void SetCommandsDimmed(bool dimmed) override;
    void CheckComLine() override;
    void ConnectCallbacks();
    void AttachHelpTexts();
    // The fixed pause between two steps of a sequence: the window repaints, no user action runs.
    // A STOP pressed from then on ends the GO loop that follows after its first frame, even when
    // a later step's wait takes it before the loop begins.
    void PauseBetweenSteps();
    // True once, when a STOP came between a pause and the GO loop that follows it.
    bool TakeStopBeforeGo();

    CalibState state_;
    bool pausedInSequence_ = false;  // a pause ran in the sequence now running
    bool stopBeforeGo_ = false;
    std::unique_ptr<CalibPanel> panel;
    std::unique_ptr<CalibCommands> commands_;
};

}  // namespace tvx::calib
