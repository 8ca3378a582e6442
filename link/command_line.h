#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tvx {

// Start values for the interface panel given on the command line, so that a program can start
// connected to a known sensor. Without arguments the panel's own start values hold.
struct StartOptions {
    std::optional<int> comprotocol;  // 0 = RS232, 1 = TCP/IP
    QString serialDevice;            // a port number ("3") or a device path ("/dev/ttyUSB0")
    QString tcpHost;
    QString tcpPort;
    bool showHelp = false;
    // Where the program keeps its files; empty: the executable's directory. Set by tests only.
    QString programDirectory;
};

struct ParsedStartOptions {
    StartOptions options;
    QString error;  // empty when the arguments were understood
};

// Understands --tcp HOST:PORT, --serial DEVICE and --help (arguments without the program name).
ParsedStartOptions ParseStartOptions(const QStringList& arguments);

// The text --help prints.
QString StartOptionsHelp(const QString& programName);

class InterfacePanel;

// Presets the interface panel's start values with those the command line gave.
void ApplyStartOptions(const StartOptions& options, InterfacePanel& panel);

// Where the program keeps its files: the directory the options name (tests), else the program's
// own directory, or a per-user data folder when the program may not write there.
QString ProgramDirectory(const StartOptions& options);

}  // namespace tvx
