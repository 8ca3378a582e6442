#pragma once

#include <memory>

#include "tempcomp_commands.h"
#include "tempcomp_panel.h"
#include "tempcomp_state.h"
#include "tool_shell.h"

namespace tvx::tempcomp {

inline constexpr const char* kTempCompTitle = "TRIVEX-TEMPCOMP-Scope V6.1";
inline constexpr const char* kSendingText = "TRY TO SAVE";

// The temperature-compensation tool's main module: start-up, the panels, the callbacks, the end.
class Tvx3TempCompV61 : public ToolShell {
    Q_OBJECT
  public:
    Tvx3TempCompV61(Popups& popups, StartOptions options);
    ~Tvx3TempCompV61() override;

    // Creates the main panel and the interface settings panel. A panel that cannot be made
    // throws; the program then ends with exit code -1.
    void LoadPanels();
    // Shows the main panel, runs the start-up sequence and the event loop until the main panel is
    // closed, then closes the link. Returns the exit code.
    int Run();
    void InitVars() override;

    // The computations of the tables on the boxes as they stand, each redrawing its charts.
    void CalcCurves();
    void CalcCfCurves();
    void Calc3rdRoot();

    TempCompState& State() { return state_; }
    TempCompPanel& Main() { return *panel; }
    TempCompCommands& Commands() { return *commands_; }

  public slots:
    void CBF_P();
    void CBF_ButtonSendCF();
    void CBF_ButtonGet();
    void CBF_ButtonSaveEquation();
    void CBF_ButtonGetEquation();
    void CBF_ButtonCalcCurves();
    void CBF_ButtonShowRed();
    void CBF_ButtonShowGreen();
    void CBF_ButtonShowBlue();
    void CBF_ButtonCalcCalib();
    void CBF_ButtonShowCfRed();
    void CBF_ButtonShowCfGreen();
    void CBF_ButtonShowCfBlue();
    void CBF_EditTemp();
    void CBF_ButtonConnect();

  private:
    // While an exchange runs, the buttons that start one or change the tables are dimmed.
    void SetCommandsDimmed(bool dimmed) override;
    void CheckComLine() override;
    void ConnectCallbacks();
    FileSelectRequest EquationFileRequest(bool forSaving) const;

    TempCompState state_;
    std::unique_ptr<TempCompPanel> panel;
    std::unique_ptr<TempCompCommands> commands_;
};

}  // namespace tvx::tempcomp
