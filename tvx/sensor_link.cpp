#include "sensor_link.h"

#include "orders.h"

namespace tvx::cli {

void HeadlessPopups::MessagePopup(const QString& title, const QString& text) {
    ++messages;
    lastTitle = title;
    lastText = text;
}

SensorLink::SensorLink(const SensorAddress& address) : address_(address) {
    if (address.tcp) {
        link_.comprotocol = kTcpIp;
        link_.ipBuf = address.host;
        link_.portNumStr = QString::number(address.port);
        link_.portNum = address.port;
    } else {
        link_.comprotocol = kRs232;
        link_.comport = address.serial.comport;
        link_.comdevice = address.serial.device;
    }
    com_ = std::make_unique<Com232>(link_, buffers_, flags_, popups_);
    com_->SetStatusDisplay([this](const QString& text) { status_ = text; });
    ExchangePanelHooks hooks;
    hooks.showMainStatus = [this](const QString& text) { status_ = text; };
    hooks.showInterfaceStatus = [](const QString&) {};
    hooks.enableAccept = [] {};
    hooks.setButtonsDimmed = [](bool) {};
    hooks.getPanelValues = [] {};
    hooks.showParameters = [this] { parametersShown_ = true; };
    hooks.showLiveFrame = [] {};
    commands_ = std::make_unique<ScopeCommands>(*com_, link_, exchange_, buffers_, params_, live_,
                                                flags_, files_, popups_, hooks);
}

SensorLink::~SensorLink() {
    Close();
}

void SensorLink::StartOperation() {
    popups_.messages = 0;
    status_.clear();
    error_.clear();
}

bool SensorLink::Fail(const QString& what) {
    // A conversation the sensor closed says more than the time-out that followed it.
    QString reason = what;
    if (popups_.lastText == QLatin1String("Server has closed connection!") && address_.tcp &&
        link_.tcpcon == 0)
        reason += QStringLiteral(" (the sensor closed the connection)");
    error_ = reason;
    return false;
}

bool SensorLink::Connect() {
    StartOperation();
    if (address_.tcp) {
        com_->InitTCP_IP();
        if (link_.ret < 0)
            return Fail(QStringLiteral("cannot connect: %1").arg(link_.szStatus.trimmed()));
    } else {
        com_->InitRS232();
        if (link_.ret < 0)
            return Fail(QStringLiteral("cannot open %1: %2")
                            .arg(com_->SerialDeviceName(), link_.szStatus.trimmed()));
    }
    exchange_.order = kOrderVersion;
    if (!RunHandshake(*com_, buffers_, exchange_.version,
                      {[](const QString&) {}, [](const QString&) {}, [] {}}))
        return Fail(QStringLiteral("TIMEOUT: no answer to the handshake"));
    return true;
}

bool SensorLink::ReadParameters(bool eeprom, ParameterImage& image) {
    StartOperation();
    parametersShown_ = false;
    exchange_.target = eeprom ? EEPROM : RAM;
    commands_->GetPara();
    if (!parametersShown_) {
        // The read stops at the exchange that failed: a complete reply there was the wrong one.
        if (link_.bytesToRead == 0)
            return Fail(
                QStringLiteral("wrong reply (sync, order or row) while reading the parameters"));
        return Fail(QStringLiteral("TIMEOUT: no reply while reading the parameters"));
    }
    CopyVarsToPP(params_, buffers_);
    image = TakeImageFromPp(buffers_);
    return true;
}

bool SensorLink::SendParameters(bool eeprom, const ParameterImage& image, ParameterImage& sent) {
    StartOperation();
    PutImageIntoPp(image, buffers_);
    CopyFileParatoVars(buffers_, params_);
    exchange_.target = eeprom ? EEPROM : RAM;
    commands_->SendPara();
    // SendPara left the image it sent in pp; no reply has overwritten it.
    sent = TakeImageFromPp(buffers_);
    if (popups_.messages > 0) return Fail(QStringLiteral("the parameters could not be written"));
    return true;
}

bool SensorLink::FetchFrame(LiveValues& values) {
    StartOperation();
    if (!commands_->FetchDataFrame()) return Fail(QStringLiteral("TIMEOUT: no data frame"));
    values = live_;
    return true;
}

void SensorLink::Close() {
    if (!com_) return;
    com_->CloseCom();
    com_->DisconnectTCP();
}

}  // namespace tvx::cli
