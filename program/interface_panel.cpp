#include "interface_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "help.h"
#include "serial_port_names.h"

namespace tvx {

InterfacePanel::InterfacePanel(const QString& title) : Panel(title) {
    editCommunicationProtocol = new QComboBox(this);
    editCommunicationProtocol->addItem(QStringLiteral("RS232"), 0);
    editCommunicationProtocol->addItem(QStringLiteral("TCP/IP"), 1);

    editSelectComPort = new QComboBox(this);
    editSelectComPort->setEditable(true);
    for (int port = 1; port <= 16; ++port) {
        editSelectComPort->addItem(QString::number(port));
        editSelectComPort->setItemData(port - 1, SerialPortName(port), Qt::ToolTipRole);
    }
    // Adapters the system has found (USB to RS-232 and the like) can be picked by their path.
    for (const DetectedSerialPort& detected : DetectedSerialPorts()) {
        if (editSelectComPort->findText(detected.device) >= 0) continue;
        editSelectComPort->addItem(detected.device);
        editSelectComPort->setItemData(editSelectComPort->count() - 1, detected.description,
                                       Qt::ToolTipRole);
    }

    stringIpAdress = new QComboBox(this);
    stringIpAdress->setEditable(true);
    stringIpAdress->setInsertPolicy(QComboBox::NoInsert);
    stringIpAdress->setMinimumWidth(180);
    stringPortNumber = new QLineEdit(this);
    stringPortNumber->setMaxLength(31);

    buttonTryToConnect = new QPushButton(QStringLiteral("TRY TO CONNECT"), this);
    buttonAccept = new QPushButton(QStringLiteral("ACCEPT"), this);
    buttonDiscard = new QPushButton(QStringLiteral("DISCARD"), this);
    // Only a successful handshake lets the user keep new settings.
    buttonAccept->setEnabled(false);
    // Return keeps the settings, once an attempt with them has succeeded: typing into a field
    // dims ACCEPT before the Return that commits it reaches the panel.
    SetDefaultButton(buttonAccept);
    dispConnectStatus = new QLineEdit(this);
    dispConnectStatus->setReadOnly(true);
    dispConnectStatus->setFocusPolicy(Qt::NoFocus);
    dispConnectStatus->setMinimumWidth(300);

    form_ = new QFormLayout;
    QFormLayout* form = form_;
    form->addRow(QStringLiteral("INTERFACE"), editCommunicationProtocol);
    form->addRow(QStringLiteral("COM-PORT"), editSelectComPort);
    form->addRow(QStringLiteral("IP ADDRESS"), stringIpAdress);
    form->addRow(QStringLiteral("PORT"), stringPortNumber);
    form->addRow(QStringLiteral("STATUS"), dispConnectStatus);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buttonTryToConnect);
    buttons->addStretch(1);
    buttons->addWidget(buttonAccept);
    buttons->addWidget(buttonDiscard);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    CloseOnEscape();
}

void InterfacePanel::ShowControl(QWidget* control, bool visible) {
    form_->setRowVisible(control, visible);
}

void AttachInterfacePanelHelp(InterfacePanel& panel, Popups& popups) {
    using namespace info;
    const auto help = [&popups](QWidget* control, const char* text) {
        AttachHelp(control, popups, QString::fromUtf8(text));
    };
    help(panel.editCommunicationProtocol, InfoEditCommunicationProtocol);
    help(panel.editSelectComPort, InfoEditConnect);
    help(panel.stringIpAdress, InfoStringIpAdress);
    help(panel.stringPortNumber, InfoStringPortNumber);
    help(panel.buttonTryToConnect, InfoButtonTryToConnect);
    help(panel.buttonAccept, InfoButtonAccept);
    help(panel.buttonDiscard, InfoButtonDiscard);
}

}  // namespace tvx
