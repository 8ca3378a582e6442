#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <functional>

#include "com232.h"
#include "interface_panel.h"
#include "link_state.h"
#include "loop_flags.h"
#include "popups.h"

namespace tvx {

// Where a program's main panel shows the link in use. The temperature-compensation tool has no
// such displays and passes none.
struct MainPanelLinkDisplays {
    std::function<void(const QString& comport, const QString& address)> showLink;
    std::function<void(bool rs232)> showLinkKind;  // RS232: the COM display; TCP/IP: the address

    // The usual pair: a COM-port display and an address display, each with its label.
    static MainPanelLinkDisplays Of(QLineEdit* comPort, QLabel* comPortLabel, QLineEdit* address,
                                    QLabel* addressLabel);
};

// The connection procedure and the callbacks of the interface settings panel, shared by the
// three programs. The program's own handshake (CheckComLine) is passed in.
class ConnectionProcedure : public QObject {
    Q_OBJECT
  public:
    ConnectionProcedure(InterfacePanel& panel, Com232& com, LinkState& link,
                        std::function<void()> checkComLine, MainPanelLinkDisplays mainDisplays,
                        Popups& popups, QObject* parent = nullptr);

    // Fills the address list from the history file, newest first; start-up does this once,
    // before the first connection attempt.
    void LoadIpHistory(const QString& historyFile);
    // Reads the protocol selector into comprotocol and shows the controls that belong to it.
    void InitConnectPanel();
    // Closes the serial port, reads the panel into the link state, opens the chosen link and runs
    // the handshake, whatever the opening gave.
    void TryToConnect();
    // The connect button's part: saves the panel's values for Discard, dims Accept and shows the
    // panel over `over` (not modal).
    void OpenInterfacePanel(const QWidget& over);
    // The handshake succeeded: the settings may be kept.
    void EnableAccept() {
        panel_.buttonAccept->setEnabled(true);
        sensorAnswered_ = true;
    }

    // The decimal value of the leading digits of a port text; 0 when it does not start with one.
    static int PortNumberFromText(const QString& text);

  signals:
    // A connection attempt has read the panel: these are the settings in force now.
    void settingsTaken();

  public slots:
    void CBF_EditCommunicationProtocol();
    void CBF_EditSelectComPort();
    void CBF_StringIpAdress();
    void CBF_StringPortNumber();
    void CBF_ButtonTryToConnect();
    void CBF_ButtonAccept();
    void CBF_ButtonDiscard();
    void CBF_INTERFACEP();

  private:
    InterfacePanel& panel_;
    Com232& com_;
    LinkState& link_;
    std::function<void()> checkComLine_;
    MainPanelLinkDisplays mainDisplays_;
    Popups& popups_;
    QString historyFile_;

    // The panel's values when it was opened, put back by Discard.
    int comprotocolold = kRs232;
    QString comportold;
    QString ipBufOld;
    QString portNumStrOld;
    bool sensorAnswered_ = false;  // by the handshake of the last attempt
};

}  // namespace tvx
