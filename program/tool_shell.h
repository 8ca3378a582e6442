#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>
#include <memory>

#include "com232.h"
#include "command_line.h"
#include "connection_procedure.h"
#include "interface_panel.h"
#include "panel.h"
#include "popups.h"
#include "remembered_settings.h"

namespace tvx {

// What the three window programs share around their own main panel: the link and the interface
// settings panel with its connection procedure, the remembered settings, the busy guard of a
// button sequence (the tools'), and the end of the program (the main panel closed, by the user
// or a termination signal, ends it once no sequence runs).
class ToolShell : public QObject {
    Q_OBJECT
  public:
    ~ToolShell() override;

    InterfacePanel& Interface() { return *interfacepanel; }
    Com232& Link() { return *com_; }
    ConnectionProcedure& Connection() { return *connection_; }
    // True once the main panel was closed.
    bool QuitRequested() const { return quitRequested_; }

    // Start values, file paths, logo, address history and the first connection attempt.
    virtual void InitVars() = 0;

  protected:
    ToolShell(Popups& popups, StartOptions options, QString programName);

    // Marks a sequence: what starts an exchange is dimmed and no connection attempt can start
    // until it ends (its reply would be taken); a close of the main panel during it ends the
    // program afterwards.
    class Sequence {
      public:
        explicit Sequence(ToolShell& shell);
        ~Sequence();
        Sequence(const Sequence&) = delete;
        Sequence& operator=(const Sequence&) = delete;

      private:
        ToolShell& shell_;
    };

    // The tool's own buttons that start an exchange, dimmed while a sequence runs.
    virtual void SetCommandsDimmed(bool dimmed) = 0;
    // The handshake of every connection attempt, run by the connection procedure.
    virtual void CheckComLine() = 0;

    // The interface panel, the link working on the tool's state (its failures shown in
    // `dispStatus`) and the connection procedure.
    void LoadLink(LinkState& link, FrameBuffers& buffers, LoopFlags& flags, LinkVariant variant,
                  QLineEdit* dispStatus, MainPanelLinkDisplays displays);
    // The remembered interface settings, then the start options over them, and the places of
    // the two panels.
    void KeepSettings(QWidget& mainPanel);
    // The end of InitVars: the address history, the protocol's controls, the first attempt.
    void ConnectAtStart(const QString& historyFile);
    // Shows the main panel, runs InitVars and the event loop until the main panel is closed,
    // then closes the link. Returns the exit code.
    int RunTool(QWidget& mainPanel);
    // The main panel's close: the program ends now, or once the running sequence is over.
    void RequestQuit(QWidget& mainPanel);

    Popups& popups_;
    StartOptions options_;
    bool quitRequested_ = false;

    // Declared before the panels so that it takes their last places when they go.
    std::unique_ptr<RememberedSettings> settings_;
    std::unique_ptr<InterfacePanel> interfacepanel;
    std::unique_ptr<Com232> com_;
    std::unique_ptr<ConnectionProcedure> connection_;

  private:
    QString programName_;
    LinkState* link_ = nullptr;
    int busy_ = 0;
};

}  // namespace tvx
