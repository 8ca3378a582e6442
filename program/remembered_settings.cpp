#include "remembered_settings.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include "connection_procedure.h"
#include "interface_panel.h"
#include "serial_port_names.h"
#include "window_placement.h"

namespace tvx {

namespace {

// Raised whenever the layout of the file changes; a file of another format is dropped.
constexpr int kSettingsFormat = 1;

const QString kFormatKey = QStringLiteral("format");
const QString kProtocolKey = QStringLiteral("interface/protocol");
const QString kSerialKey = QStringLiteral("interface/serial");
const QString kAddressKey = QStringLiteral("interface/address");
const QString kPortKey = QStringLiteral("interface/port");

QString PanelKey(const QString& name) {
    return QStringLiteral("panels/") + name;
}

bool PlainText(const QString& text, qsizetype maxLength) {
    if (text.size() > maxLength) return false;
    for (const QChar c : text)
        if (!c.isPrint()) return false;
    return true;
}

// A remembered serial choice is offered again only while its device is there.
bool SerialChoiceAvailable(const QString& text) {
    const auto choice = ParseSerialArgument(text);
    if (!choice) return false;
    const QString device =
        choice->device.isEmpty() ? SerialPortName(choice->comport) : choice->device;
    return !device.startsWith(QLatin1Char('/')) || QFileInfo::exists(device);
}

}  // namespace

QString SettingsFilePath(const QString& programName) {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(
            QStringLiteral("%1/%2.conf").arg(QLatin1String(kSettingsOrganization), programName));
}

RememberedSettings::RememberedSettings(const QString& programName, bool reset, QObject* parent)
    : QObject(parent) {
    const QString path = SettingsFilePath(programName);
    if (reset) QFile::remove(path);
    settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    const bool ours = settings_->status() == QSettings::NoError &&
                      settings_->value(kFormatKey).toString() == QString::number(kSettingsFormat);
    if (!ours) {
        // Damaged, foreign or absent: start afresh rather than half-trust it.
        settings_.reset();
        QFile::remove(path);
        settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
        settings_->setValue(kFormatKey, kSettingsFormat);
    }
}

RememberedSettings::~RememberedSettings() = default;

void RememberedSettings::KeepInterface(InterfacePanel& panel, ConnectionProcedure& connection) {
    bool ok = false;
    const int protocol = settings_->value(kProtocolKey).toString().toInt(&ok);
    if (ok && (protocol == kRs232 || protocol == kTcpIp))
        panel.editCommunicationProtocol->setCurrentIndex(protocol);
    const QString serial = settings_->value(kSerialKey).toString();
    if (PlainText(serial, 255) && SerialChoiceAvailable(serial))
        panel.editSelectComPort->setEditText(serial);
    const QString address = settings_->value(kAddressKey).toString();
    if (!address.isEmpty() && PlainText(address, 255)) panel.stringIpAdress->setEditText(address);
    const QString port = settings_->value(kPortKey).toString();
    if (!port.isEmpty() && PlainText(port, 31)) panel.stringPortNumber->setText(port);

    connect(&connection, &ConnectionProcedure::settingsTaken, this,
            [this, &panel] { SaveInterface(panel); });
}

void RememberedSettings::SaveInterface(const InterfacePanel& panel) {
    settings_->setValue(kProtocolKey, panel.editCommunicationProtocol->currentIndex());
    settings_->setValue(kSerialKey, panel.editSelectComPort->currentText().trimmed());
    settings_->setValue(kAddressKey, panel.stringIpAdress->currentText());
    settings_->setValue(kPortKey, panel.stringPortNumber->text());
    settings_->sync();
}

void RememberedSettings::KeepPlacement(QWidget& panel, const QString& name) {
    const QVariant value = settings_->value(PanelKey(name));
    const QRect saved = value.toRect();
    if (value.typeId() == QMetaType::QRect && !saved.isEmpty()) {
        const QScreen* screen = QGuiApplication::screenAt(saved.center());
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QRect placed = PlaceWindow(screen->availableGeometry(), saved, QRect());
            panel.resize(placed.size());
            panel.move(placed.topLeft());
        }
    }
    panelNames_.insert(&panel, name);
    panel.installEventFilter(this);
    connect(&panel, &QObject::destroyed, this, [this](QObject* gone) { panelNames_.remove(gone); });
}

bool RememberedSettings::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Hide) {
        const auto name = panelNames_.constFind(watched);
        auto* panel = static_cast<QWidget*>(watched);
        // Only where the user sees it: the places a panel passes through while it is made are not
        // the user's.
        if (name != panelNames_.constEnd() && (panel->isVisible() || type == QEvent::Hide))
            settings_->setValue(PanelKey(*name), QRect(panel->pos(), panel->size()));
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tvx
