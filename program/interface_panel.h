#pragma once

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include "panel.h"
#include "popups.h"

namespace tvx {

// The interface settings panel: how the sensor is reached (RS232 port or TCP/IP address and
// port), the try, Accept and Discard buttons and the connection status.
class InterfacePanel : public Panel {
    Q_OBJECT
  public:
    explicit InterfacePanel(const QString& title);

    // Shows or hides one of the link controls together with its label.
    void ShowControl(QWidget* control, bool visible);

    QComboBox* editCommunicationProtocol;  // item n has value n: 0 = RS232, 1 = TCP/IP
    QComboBox* editSelectComPort;          // a port number, or a device path typed or detected
    QComboBox* stringIpAdress;             // editable: the address text and its history list
    QLineEdit* stringPortNumber;
    QPushButton* buttonTryToConnect;
    QPushButton* buttonAccept;
    QPushButton* buttonDiscard;
    QLineEdit* dispConnectStatus;

  private:
    QFormLayout* form_;
};

// The help texts of the interface panel's controls; each program brings its own.
struct InterfacePanelHelp {
    const char* editCommunicationProtocol;
    const char* editConnect;
    const char* stringIpAdress;
    const char* stringPortNumber;
    const char* buttonTryToConnect;
    const char* buttonAccept;
    const char* buttonDiscard;
};
void AttachInterfacePanelHelp(InterfacePanel& panel, Popups& popups,
                              const InterfacePanelHelp& texts);

}  // namespace tvx
