#include "connection_procedure.h"

#include <limits>

#include "address_history.h"
#include "dimming.h"
#include "serial_port_names.h"
#include "window_placement.h"

namespace tvx {

MainPanelLinkDisplays MainPanelLinkDisplays::Of(QLineEdit* comPort, QLabel* comPortLabel,
                                                QLineEdit* address, QLabel* addressLabel) {
    MainPanelLinkDisplays displays;
    displays.showLink = [comPort, address](const QString& comport, const QString& ip) {
        comPort->setText(comport);
        address->setText(ip);
    };
    displays.showLinkKind = [=](bool rs232) {
        comPort->setVisible(rs232);
        comPortLabel->setVisible(rs232);
        address->setVisible(!rs232);
        addressLabel->setVisible(!rs232);
    };
    return displays;
}

ConnectionProcedure::ConnectionProcedure(InterfacePanel& panel, Com232& com, LinkState& link,
                                         std::function<void()> checkComLine,
                                         MainPanelLinkDisplays mainDisplays, Popups& popups,
                                         QObject* parent)
    : QObject(parent),
      panel_(panel),
      com_(com),
      link_(link),
      checkComLine_(std::move(checkComLine)),
      mainDisplays_(std::move(mainDisplays)),
      popups_(popups) {
    connect(panel_.editCommunicationProtocol, &QComboBox::activated, this,
            &ConnectionProcedure::CBF_EditCommunicationProtocol);
    connect(panel_.editSelectComPort, &QComboBox::activated, this,
            &ConnectionProcedure::CBF_EditSelectComPort);
    // A text field commits when the user changed it and then pressed Enter or left it.
    auto onCommit = [this](QLineEdit* field, void (ConnectionProcedure::*callback)()) {
        connect(field, &QLineEdit::editingFinished, this, [this, field, callback] {
            if (!field->isModified()) return;
            field->setModified(false);
            (this->*callback)();
        });
    };
    onCommit(panel_.editSelectComPort->lineEdit(), &ConnectionProcedure::CBF_EditSelectComPort);
    onCommit(panel_.stringPortNumber, &ConnectionProcedure::CBF_StringPortNumber);
    onCommit(panel_.stringIpAdress->lineEdit(), &ConnectionProcedure::CBF_StringIpAdress);
    connect(panel_.stringIpAdress, &QComboBox::activated, this,
            &ConnectionProcedure::CBF_StringIpAdress);
    connect(panel_.buttonTryToConnect, &QPushButton::clicked, this,
            &ConnectionProcedure::CBF_ButtonTryToConnect);
    connect(panel_.buttonAccept, &QPushButton::clicked, this,
            &ConnectionProcedure::CBF_ButtonAccept);
    connect(panel_.buttonDiscard, &QPushButton::clicked, this,
            &ConnectionProcedure::CBF_ButtonDiscard);
    connect(&panel_, &Panel::closeRequested, this, &ConnectionProcedure::CBF_INTERFACEP);
    // The version of a sensor that is gone is no longer shown.
    connect(&com_, &Com232::linkDown, this,
            [this] { panel_.dispConnectStatus->setText(QString::fromLatin1(kNotConnectedText)); });
}

int ConnectionProcedure::PortNumberFromText(const QString& text) {
    long long value = 0;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > '9') break;
        value = value * 10 + (c.unicode() - '0');
        // A number too large for a port is still passed on; the connect call refuses it.
        if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

void ConnectionProcedure::InitConnectPanel() {
    const int protocol = panel_.editCommunicationProtocol->currentIndex();
    if (protocol != kRs232 && protocol != kTcpIp) return;
    link_.comprotocol = static_cast<std::uint16_t>(protocol);
    const bool rs232 = protocol == kRs232;
    panel_.ShowControl(panel_.editSelectComPort, rs232);
    panel_.ShowControl(panel_.stringIpAdress, !rs232);
    panel_.ShowControl(panel_.stringPortNumber, !rs232);
}

void ConnectionProcedure::TryToConnect() {
    sensorAnswered_ = false;
    com_.CloseCom();
    // Both status displays: from here on the link of the last attempt is gone.
    panel_.dispConnectStatus->setText(QStringLiteral("TRY"));
    com_.ShowStatus(QStringLiteral("TRY"));

    const int protocol = panel_.editCommunicationProtocol->currentIndex();
    if (protocol == kRs232 || protocol == kTcpIp)
        link_.comprotocol = static_cast<std::uint16_t>(protocol);
    if (const auto serial =
            ParseSerialArgument(panel_.editSelectComPort->currentText().trimmed())) {
        link_.comport = serial->comport;
        link_.comdevice = serial->device;
    } else {
        // No usable port: the open fails and reports it.
        link_.comport = 0;
        link_.comdevice.clear();
    }
    link_.ipBuf = panel_.stringIpAdress->currentText().left(255);
    link_.portNumStr = panel_.stringPortNumber->text().left(31);
    emit settingsTaken();

    const bool rs232 = link_.comprotocol == kRs232;
    if (mainDisplays_.showLink) {
        const QString port =
            link_.comdevice.isEmpty() ? QString::number(link_.comport) : link_.comdevice;
        mainDisplays_.showLink(port, link_.ipBuf);
    }
    link_.portNum = PortNumberFromText(link_.portNumStr);
    if (mainDisplays_.showLinkKind) mainDisplays_.showLinkKind(rs232);
    if (rs232)
        com_.InitRS232();
    else
        com_.InitTCP_IP();
    checkComLine_();
}

void ConnectionProcedure::CBF_EditCommunicationProtocol() {
    InitConnectPanel();
    panel_.buttonAccept->setEnabled(false);
}

void ConnectionProcedure::LoadIpHistory(const QString& historyFile) {
    historyFile_ = historyFile;
    QPalette palette = panel_.stringIpAdress->palette();
    palette.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    panel_.stringIpAdress->setPalette(palette);
    const QString typed = panel_.stringIpAdress->currentText();
    for (const QString& address : LoadAddressHistory(historyFile))
        panel_.stringIpAdress->addItem(address);
    // The list does not replace an address the program was started with.
    panel_.stringIpAdress->setEditText(typed);
}

void ConnectionProcedure::CBF_StringIpAdress() {
    panel_.buttonAccept->setEnabled(false);
    QComboBox& box = *panel_.stringIpAdress;
    const QString text = box.currentText();
    link_.ipBuf = text.left(255);
    const int old = box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (old >= 0) box.removeItem(old);
    box.insertItem(0, text);
    while (box.count() > kHistoryMaxEntries) box.removeItem(kHistoryMaxEntries);
    box.setCurrentIndex(0);
    std::vector<QString> entries;
    for (int i = 0; i < box.count(); ++i) entries.push_back(box.itemText(i));
    const HistoryWriteResult written = SaveAddressHistory(historyFile_, entries);
    if (!written.ok) popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), written.message);
}

void ConnectionProcedure::CBF_EditSelectComPort() {
    panel_.buttonAccept->setEnabled(false);
}

void ConnectionProcedure::CBF_StringPortNumber() {
    panel_.buttonAccept->setEnabled(false);
}

void ConnectionProcedure::CBF_ButtonTryToConnect() {
    QPushButton* const tryButton = panel_.buttonTryToConnect;
    SetControlsDimmed({tryButton}, true);
    TryToConnect();
    SetControlsDimmed({tryButton}, false);
    // With the focus on TRY, after a successful attempt the next key keeps the link.
    const bool focusOnTry = panel_.focusWidget() == tryButton || panel_.focusWidget() == nullptr;
    if (focusOnTry && sensorAnswered_ && panel_.buttonAccept->isEnabled() && panel_.isVisible())
        panel_.buttonAccept->setFocus(Qt::OtherFocusReason);
}

void ConnectionProcedure::CBF_ButtonAccept() {
    panel_.hide();
}

void ConnectionProcedure::OpenInterfacePanel(const QWidget& over) {
    comprotocolold = panel_.editCommunicationProtocol->currentIndex();
    comportold = panel_.editSelectComPort->currentText();
    ipBufOld = panel_.stringIpAdress->currentText();
    portNumStrOld = panel_.stringPortNumber->text();
    panel_.buttonAccept->setEnabled(false);
    ShowPanel(panel_, &over);
    panel_.raise();
}

void ConnectionProcedure::CBF_ButtonDiscard() {
    panel_.editCommunicationProtocol->setCurrentIndex(comprotocolold);
    panel_.editSelectComPort->setEditText(comportold);
    panel_.stringIpAdress->setEditText(ipBufOld);
    panel_.stringPortNumber->setText(portNumStrOld);
    InitConnectPanel();
    TryToConnect();
    panel_.hide();
}

void ConnectionProcedure::CBF_INTERFACEP() {
    panel_.hide();
}

}  // namespace tvx
