#pragma once

#include <QObject>
#include <memory>

#include "com232.h"
#include "command_line.h"
#include "connection_procedure.h"
#include "interface_panel.h"
#include "popups.h"
#include "remembered_settings.h"
#include "tempcomp_commands.h"
#include "tempcomp_panel.h"
#include "tempcomp_state.h"

namespace tvx::tempcomp {

inline constexpr const char* kTempCompTitle = "TRIVEX-TEMPCOMP-Scope V6.1";
inline constexpr const char* kSendingText = "TRY TO SAVE";

// The temperature-compensation tool's main module: start-up, the panels, the callbacks, the end.
class Tvx3TempCompV61 : public QObject {
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
    // Start values, file paths, logo, address history and the first connection attempt.
    void InitVars();

    // The computations of the tables on the boxes as they stand, each redrawing its charts.
    void CalcCurves();
    void CalcCfCurves();
    void Calc3rdRoot();

    TempCompState& State() { return state_; }
    TempCompPanel& Main() { return *panel; }
    InterfacePanel& Interface() { return *interfacepanel; }
    Com232& Link() { return *com_; }
    TempCompCommands& Commands() { return *commands_; }
    ConnectionProcedure& Connection() { return *connection_; }
    bool QuitRequested() const { return quitRequested_; }
    // True while a transfer, a read-back or a connection attempt runs.
    bool Busy() const { return busy_ > 0; }

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
    // Marks an exchange: the buttons that start one or change the tables are dimmed and no
    // connection attempt can start until it ends; a close of the main panel during it ends the
    // program afterwards.
    class Sequence;

    void ConnectCallbacks();
    void CheckComLine();
    void SetButtonsDimmed(bool dimmed);
    FileSelectRequest EquationFileRequest(bool forSaving) const;

    Popups& popups_;
    StartOptions options_;
    TempCompState state_;
    bool quitRequested_ = false;
    int busy_ = 0;

    // Declared before the panels so that it takes their last places when they go.
    std::unique_ptr<RememberedSettings> settings_;
    std::unique_ptr<TempCompPanel> panel;
    std::unique_ptr<InterfacePanel> interfacepanel;
    std::unique_ptr<Com232> com_;
    std::unique_ptr<TempCompCommands> commands_;
    std::unique_ptr<ConnectionProcedure> connection_;
};

}  // namespace tvx::tempcomp
