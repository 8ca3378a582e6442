#include "command_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "interface_panel.h"
#include "link_state.h"

namespace tvx {

namespace {

QString TakeValue(const QStringList& arguments, qsizetype& i, const QString& option,
                  QString& error) {
    if (i + 1 >= arguments.size()) {
        error = QStringLiteral("%1 needs a value").arg(option);
        return {};
    }
    return arguments[++i];
}

}  // namespace

ParsedStartOptions ParseStartOptions(const QStringList& arguments) {
    ParsedStartOptions parsed;
    StartOptions& o = parsed.options;
    for (qsizetype i = 0; i < arguments.size() && parsed.error.isEmpty(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.showHelp = true;
        } else if (arg == QLatin1String("--version")) {
            o.showVersion = true;
        } else if (arg == QLatin1String("--reset-settings")) {
            o.resetSettings = true;
        } else if (arg == QLatin1String("--tcp")) {
            const QString value = TakeValue(arguments, i, arg, parsed.error);
            if (!parsed.error.isEmpty()) break;
            QString refused;
            o.address = SensorAddress::Parse(QStringLiteral("tcp://") + value, refused);
            if (!o.address) {
                parsed.error = QStringLiteral("--tcp expects HOST:PORT, got \"%1\"").arg(value);
                break;
            }
        } else if (arg == QLatin1String("--serial")) {
            const QString value = TakeValue(arguments, i, arg, parsed.error);
            if (!parsed.error.isEmpty()) break;
            if (value.isEmpty()) {
                parsed.error = QStringLiteral("--serial expects a port number or a device path");
                break;
            }
            QString refused;
            o.address = SensorAddress::Parse(QStringLiteral("serial:") + value, refused);
            // A number the panel does not offer goes into it as typed all the same: connecting
            // says the port is not usable.
            if (!o.address) o.address = SensorAddress::Serial({0, value});
        } else {
            parsed.error = QStringLiteral("unknown argument \"%1\"").arg(arg);
        }
    }
    return parsed;
}

QString StartOptionsHelp(const QString& programName) {
    return QStringLiteral(
               "Usage: %1 [--tcp HOST:PORT | --serial DEVICE] [--reset-settings]\n"
               "  --tcp HOST:PORT    start connected to the sensor's TCP server\n"
               "  --serial DEVICE    start on a serial port: a port number (1 = first port)\n"
               "                     or a device path such as /dev/ttyUSB0\n"
               "  --reset-settings   start from the panels' own values and forget the\n"
               "                     remembered interface settings and window places\n"
               "  --version          show the program's version and end\n"
               "  --help             show this text\n"
               "Without options the interface settings of the last run are used, else the\n"
               "interface panel's start values.\n")
        .arg(programName);
}

void ApplyStartOptions(const StartOptions& options, InterfacePanel& panel) {
    if (!options.address) return;
    const SensorAddress& address = *options.address;
    panel.editCommunicationProtocol->setCurrentIndex(address.tcp ? kTcpIp : kRs232);
    if (address.tcp) {
        panel.stringIpAdress->setEditText(address.host);
        panel.stringPortNumber->setText(QString::number(address.port));
    } else {
        panel.editSelectComPort->setEditText(address.SerialText());
    }
}

QString ProgramDirectory(const StartOptions& options) {
    if (!options.programDirectory.isEmpty()) return options.programDirectory;
    return ProgramDirectoryFor(QCoreApplication::applicationDirPath(),
                               QCoreApplication::applicationName(),
                               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString ProgramDirectoryFor(const QString& executableDir, const QString& programName,
                            const QString& userDataDir) {
    const QDir dir(executableDir);
    const bool installed = QFileInfo::exists(dir.filePath(
        QStringLiteral("../share/applications/%1.desktop").arg(programName.toLower())));
    if (!installed && QFileInfo(executableDir).isWritable()) return executableDir;
    // When the folder cannot be made, the files cannot be written either; each write reports it.
    QDir().mkpath(userDataDir);
    return userDataDir;
}

}  // namespace tvx
