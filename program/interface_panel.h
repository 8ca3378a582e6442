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

// The interface panel's right-click help, the same in every program.
void AttachInterfacePanelHelp(InterfacePanel& panel, Popups& popups);

}  // namespace tvx

// The help texts of the interface settings panel and of the main panels' button that opens it,
// kept character for character as the product has them ("adress" included).
// clang-format off
namespace tvx::info {

inline constexpr const char* InfoButtonConnect = " Open a panel to select an interface protocol.";

inline constexpr const char* InfoEditCommunicationProtocol = " Select RS232 or TCP/IP Interface. ";

inline constexpr const char* InfoEditConnect = " Select a serial COM-PORT.";

inline constexpr const char* InfoStringIpAdress = " Select an IP adress.";

inline constexpr const char* InfoStringPortNumber = " Select a port number.";

inline constexpr const char* InfoButtonTryToConnect = " Try to connect sensor.";

inline constexpr const char* InfoButtonAccept = " Accept settings and return to main panel.";

inline constexpr const char* InfoButtonDiscard = " Return to main panel with old settings.";

}  // namespace tvx::info
// clang-format on
