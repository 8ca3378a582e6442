#pragma once

#include <QHash>
#include <QObject>
#include <QSettings>
#include <QString>
#include <memory>

namespace tvx {

class ConnectionProcedure;
class InterfacePanel;

// The per-user folders of a program are <organisation>/<program>.
inline constexpr const char* kSettingsOrganization = "trivex";

// The program's settings file: <per-user configuration folder>/trivex/<program>.conf.
QString SettingsFilePath(const QString& programName);

// What one program remembers between runs: the interface settings that its last connection
// attempt took, and where the user left each panel. A file that cannot be read, is damaged or
// was written by another format is dropped without a word; the panels then keep their own values.
class RememberedSettings : public QObject {
    Q_OBJECT
  public:
    // reset: forget everything remembered so far (--reset-settings).
    RememberedSettings(const QString& programName, bool reset, QObject* parent = nullptr);
    ~RememberedSettings() override;

    // Puts the remembered protocol, serial port, address and TCP port into the panel (values that
    // cannot be used now, such as a serial device that is gone, leave the panel's own), then
    // remembers the panel's values at every connection attempt.
    void KeepInterface(InterfacePanel& panel, ConnectionProcedure& connection);
    // Puts the panel where it was, brought wholly onto a screen present now (the screen it was on,
    // else the primary one), and remembers where it goes.
    void KeepPlacement(QWidget& panel, const QString& name);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SaveInterface(const InterfacePanel& panel);

    std::unique_ptr<QSettings> settings_;
    QHash<QObject*, QString> panelNames_;
};

}  // namespace tvx
