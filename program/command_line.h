#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "sensor_address.h"

namespace tvx {

// Start values for the interface panel given on the command line, so that a program can start
// connected to a known sensor. Without arguments the panel's own start values hold.
struct StartOptions {
    // The sensor of --tcp or --serial (the last one given); the panel's protocol follows it.
    std::optional<SensorAddress> address;
    bool showHelp = false;
    bool showVersion = false;
    // Start from the panels' own values and forget what earlier runs remembered.
    bool resetSettings = false;
    // Where the program keeps its files; empty: the executable's directory. Set by tests only.
    QString programDirectory;
};

struct ParsedStartOptions {
    StartOptions options;
    QString error;  // empty when the arguments were understood
};

// Understands --tcp HOST:PORT (PORT from 1 to 65535), --serial DEVICE, --reset-settings, --version
// and --help (arguments without the program name).
ParsedStartOptions ParseStartOptions(const QStringList& arguments);

// The text --help prints.
QString StartOptionsHelp(const QString& programName);

class InterfacePanel;

// Presets the interface panel's start values with those the command line gave.
void ApplyStartOptions(const StartOptions& options, InterfacePanel& panel);

// Where the program keeps its files: the directory the options name (tests), else
// ProgramDirectoryFor the executable's directory and the per-user data folder.
QString ProgramDirectory(const StartOptions& options);

// The program's own directory when it may write there and it is not an installed copy (one whose
// menu entry lies in ../share/applications), else the per-user folder, which is created. An
// installed program run by root thus leaves the system's directories alone.
QString ProgramDirectoryFor(const QString& executableDir, const QString& programName,
                            const QString& userDataDir);

}  // namespace tvx
