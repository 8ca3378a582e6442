#pragma once

#include <memory>

#include "gui/group_panel.h"
#include "gui/live_display.h"
#include "gui/main_panel.h"
#include "gui/mean_teach_panel.h"
#include "gui/parameter_controls.h"
#include "gui/recorder_panel.h"
#include "gui/row_colour_panel.h"
#include "gui/signal_graph_panel.h"
#include "gui/teach_operations.h"
#include "gui/unsent_work.h"
#include "scope_commands.h"
#include "scope_state.h"
#include "tool_shell.h"

namespace tvx {

inline constexpr const char* kScopeTitle = "TRIVEX-Scope V6.1";

// The scope's main module: start-up, the panels, the callbacks, the end.
class Tvx3v61 : public ToolShell {
    Q_OBJECT
  public:
    Tvx3v61(Popups& popups, StartOptions options);
    ~Tvx3v61() override;

    // Creates the seven panels in their order. A panel that cannot be made throws; the program
    // then ends with exit code -1.
    void LoadPanels();
    // Shows the main panel, runs the start-up sequence and the event loop until the main panel is
    // closed, then closes the link. Returns the exit code.
    int Run();
    // The start-up sequence: start values, file paths, pages, logo, the first connection attempt.
    void InitVars() override;

    ScopeState& State() { return state_; }
    MainPanel& Main() { return *panel; }
    RecorderPanel& Recorder() { return *recpanel; }
    RecorderOperations& Recording() { return *recorder_; }
    RowColourPanel& RowColours() { return *srcpanel; }
    RowColourOperations& RowColourOps() { return *rowColours_; }
    SignalGraphPanel& SignalGraph() { return *graphpanel; }
    SignalGraphOperations& SignalGraphOps() { return *signalGraph_; }
    MeanTeachPanel& MeanValueTeach() { return *teachpanel; }
    MeanTeachOperations& MeanTeach() { return *meanTeach_; }
    GroupPanel& ColourGroups() { return *grouppanel; }
    ParameterControls& Controls() { return *controls_; }
    LiveDisplay& Live() { return *live_; }
    TeachOperations& Teach() { return *teach_; }
    // The values on the panels that differ from the sensor's; unsentCountChanged tells their
    // number.
    UnsentWork& Unsent() { return *unsent_; }

    // Back from the recorder to the main panel.
    void ChangePanel();

  public slots:
    void CBF_P();
    void CBF_RECP();
    void CBF_SRCP();
    void CBF_GRAPHP();
    void CBF_TEACHP();
    void CBF_PGROUP();
    void CBF_ButtonSend();
    void CBF_ButtonGet();
    void CBF_ButtonGo();
    void CBF_ButtonStop();
    void CBF_ButtonConnect();
    void CBF_ParaVisible();

  private:
    // The main panel's command buttons.
    void SetCommandsDimmed(bool dimmed) override;
    // The handshake of every connection attempt, with the parameter read after it.
    void CheckComLine() override;
    void ConnectCallbacks();
    void AttachHelpTexts();
    // The main panel's state line, the stale look of the live values and of the cursors.
    void ShowStateOfTheLink();

    ScopeState state_;

    std::unique_ptr<MainPanel> panel;
    std::unique_ptr<RecorderPanel> recpanel;
    std::unique_ptr<RowColourPanel> srcpanel;
    std::unique_ptr<SignalGraphPanel> graphpanel;
    std::unique_ptr<MeanTeachPanel> teachpanel;
    std::unique_ptr<GroupPanel> grouppanel;
    std::unique_ptr<ParameterControls> controls_;
    std::unique_ptr<LiveDisplay> live_;
    std::unique_ptr<TeachOperations> teach_;
    std::unique_ptr<RowColourOperations> rowColours_;
    std::unique_ptr<MeanTeachOperations> meanTeach_;
    std::unique_ptr<SignalGraphOperations> signalGraph_;
    std::unique_ptr<RecorderOperations> recorder_;
    std::unique_ptr<UnsentWork> unsent_;
    std::unique_ptr<ScopeCommands> commands_;
};

}  // namespace tvx
