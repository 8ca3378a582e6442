#include "tool_shell.h"

#include <QApplication>

#include "dimming.h"
#include "wait.h"

namespace tvx {

ToolShell::ToolShell(Popups& popups, StartOptions options, QString programName)
    : popups_(popups), options_(std::move(options)), programName_(std::move(programName)) {}

ToolShell::~ToolShell() = default;

ToolShell::Sequence::Sequence(ToolShell& shell) : shell_(shell) {
    if (shell_.busy_++ > 0) return;
    shell_.SetCommandsDimmed(true);
    SetControlsDimmed(
        {shell_.interfacepanel->buttonTryToConnect, shell_.interfacepanel->buttonDiscard}, true);
}

ToolShell::Sequence::~Sequence() {
    if (--shell_.busy_ > 0) return;
    shell_.SetCommandsDimmed(false);
    SetControlsDimmed(
        {shell_.interfacepanel->buttonTryToConnect, shell_.interfacepanel->buttonDiscard}, false);
    // The main panel was closed meanwhile: the program ends now that the sequence is over.
    if (shell_.quitRequested_) QCoreApplication::exit(0);
}

void ToolShell::LoadLink(LinkState& link, FrameBuffers& buffers, LoopFlags& flags,
                         LinkVariant variant, QLineEdit* dispStatus,
                         MainPanelLinkDisplays displays) {
    link_ = &link;
    interfacepanel = std::make_unique<InterfacePanel>(QStringLiteral("INTERFACE"));
    com_ = std::make_unique<Com232>(link, buffers, flags, popups_, variant);
    com_->SetStatusDisplay([dispStatus](const QString& text) { dispStatus->setText(text); });
    connection_ = std::make_unique<ConnectionProcedure>(
        *interfacepanel, *com_, link, [this] { CheckComLine(); }, std::move(displays), popups_);
}

void ToolShell::KeepSettings(QWidget& mainPanel) {
    settings_ = std::make_unique<RememberedSettings>(programName_, options_.resetSettings);
    settings_->KeepInterface(*interfacepanel, *connection_);
    ApplyStartOptions(options_, *interfacepanel);
    settings_->KeepPlacement(mainPanel, QStringLiteral("main"));
    settings_->KeepPlacement(*interfacepanel, QStringLiteral("interface"));
}

void ToolShell::ConnectAtStart(const QString& historyFile) {
    connection_->LoadIpHistory(historyFile);
    connection_->InitConnectPanel();
    connection_->TryToConnect();
}

int ToolShell::RunTool(QWidget& mainPanel) {
    // The window is on screen before the first connection attempt, so that its status is seen
    // while the attempt waits.
    ShowExposed(mainPanel);
    InitVars();
    // Closing the main panel during the start-up sequence ends the program once it is over.
    if (!quitRequested_) QApplication::exec();
    com_->CloseCom();
    if (link_->tcpcon > 0) com_->DisconnectTCP();
    return 0;
}

void ToolShell::RequestQuit(QWidget& mainPanel) {
    quitRequested_ = true;
    mainPanel.hide();
    interfacepanel->hide();
    // A running sequence ends first (its loop at the next pass, its later steps skipped); the
    // program ends when it is over. Otherwise it ends now, also from inside a pop-up's loop.
    if (busy_ == 0) QCoreApplication::exit(0);
}

}  // namespace tvx
