#pragma once

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "application_start.h"
#include "command_line.h"
#include "qt_popups.h"
#include "remembered_settings.h"
#include "termination.h"
#include "trivex_version.h"

namespace tvx {

// The entry of each program: reads the start options (before any window system is needed, so
// --help and a bad argument work without a display), creates the program with Qt's pop-ups,
// loads its panels and runs it. --help and --version answer without a display. Exit codes: the
// program's own; 2 for bad arguments; -1 when it cannot start (no usable window system, a panel
// that cannot be made).
template <typename Program>
int RunProgram(int argc, char** argv, const char* name) {
    const QString programName = QString::fromLatin1(name);
    try {
        QStringList arguments;
        for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        const ParsedStartOptions parsed = ParseStartOptions(arguments);
        const QString help = StartOptionsHelp(programName);
        if (!parsed.error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n%s", name, qPrintable(parsed.error), qPrintable(help));
            return 2;
        }
        if (parsed.options.showHelp) {
            std::printf("%s", qPrintable(help));
            return 0;
        }
        if (parsed.options.showVersion) {
            std::printf("%s\n", qPrintable(VersionLine(programName)));
            return 0;
        }
        const auto app = StartApplication(argc, argv, name);
        // The per-user folders are named after these: trivex/<program>.
        QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
        QApplication::setApplicationName(programName);
        QApplication::setApplicationVersion(QString::fromLatin1(kTrivexVersion));
        QGuiApplication::setDesktopFileName(programName.toLower());
        QtPopups popups;
        Program program(popups, parsed.options);
        program.LoadPanels();
        // A termination request closes the main panel, as the user would.
        CloseOnTerminationSignal(&program.Main());
        return program.Run();
    } catch (const std::exception&) {
        return kStartFailureExitCode;
    }
}

}  // namespace tvx
