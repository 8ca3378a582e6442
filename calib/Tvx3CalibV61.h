#pragma once

#include <QObject>
#include <memory>

#include "calib_commands.h"
#include "calib_panel.h"
#include "calib_state.h"
#include "com232.h"
#include "command_line.h"
#include "connection_procedure.h"
#include "interface_panel.h"
#include "popups.h"
#include "remembered_settings.h"

namespace tvx::calib {

inline constexpr const char* kCalibTitle = "TRIVEX-CALIB-Scope V6.1";

// The calibration tool's main module: start-up, the panels, the button sequences, the end.
class Tvx3CalibV61 : public QObject {
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
    // Start values, file paths, logo, address history and the first connection attempt.
    void InitVars();

    CalibState& State() { return state_; }
    CalibPanel& Main() { return *panel; }
    InterfacePanel& Interface() { return *interfacepanel; }
    Com232& Link() { return *com_; }
    CalibCommands& Commands() { return *commands_; }
    ConnectionProcedure& Connection() { return *connection_; }
    // True once the main panel was closed.
    bool QuitRequested() const { return quitRequested_; }
    // True while a button sequence or a connection attempt runs.
    bool Busy() const { return busy_ > 0; }

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
    // Marks a sequence: the command buttons are dimmed and no second connection attempt can
    // start until it ends; a close of the main panel during it ends the program afterwards.
    class Sequence;

    void ConnectCallbacks();
    void AttachHelpTexts();
    void CheckComLine();
    // The fixed pause between two steps of a sequence: the window repaints, no user action runs.
    static void PauseBetweenSteps();

    Popups& popups_;
    StartOptions options_;
    CalibState state_;
    bool quitRequested_ = false;
    int busy_ = 0;

    // Declared before the panels so that it takes their last places when they go.
    std::unique_ptr<RememberedSettings> settings_;
    std::unique_ptr<CalibPanel> panel;
    std::unique_ptr<InterfacePanel> interfacepanel;
    std::unique_ptr<Com232> com_;
    std::unique_ptr<CalibCommands> commands_;
    std::unique_ptr<ConnectionProcedure> connection_;
};

}  // namespace tvx::calib
