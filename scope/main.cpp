#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "Tvx3v61.h"
#include "qt_popups.h"
#include "termination.h"

int main(int argc, char** argv) {
    try {
        // The arguments are understood before any window system is needed, so --help and a bad
        // argument work without a display.
        QStringList arguments;
        for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        const tvx::ParsedStartOptions parsed = tvx::ParseStartOptions(arguments);
        const QString help = tvx::StartOptionsHelp(QStringLiteral("Tvx3v61"));
        if (!parsed.error.isEmpty()) {
            std::fprintf(stderr, "Tvx3v61: %s\n%s", qPrintable(parsed.error), qPrintable(help));
            return 2;
        }
        if (parsed.options.showHelp) {
            std::printf("%s", qPrintable(help));
            return 0;
        }
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tvx3v61"));
        tvx::QtPopups popups;
        tvx::Tvx3v61 scope(popups, parsed.options);
        scope.LoadPanels();
        // A termination request closes the main panel, as the user would.
        tvx::CloseOnTerminationSignal(&scope.Main());
        return scope.Run();
    } catch (const std::exception&) {
        return -1;
    }
}
