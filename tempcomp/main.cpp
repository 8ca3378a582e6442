#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

#include "Tvx3TempCompV61.h"
#include "qt_popups.h"
#include "termination.h"

int main(int argc, char** argv) {
    try {
        // The arguments are understood before any window system is needed, so --help and a bad
        // argument work without a display.
        QStringList arguments;
        for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        const auto parsed = tvx::ParseStartOptions(arguments);
        const QString help = tvx::StartOptionsHelp(QStringLiteral("Tvx3TempCompV61"));
        if (!parsed.error.isEmpty()) {
            std::fprintf(stderr, "Tvx3TempCompV61: %s\n%s", qPrintable(parsed.error),
                         qPrintable(help));
            return 2;
        }
        if (parsed.options.showHelp) {
            std::printf("%s", qPrintable(help));
            return 0;
        }
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tvx3TempCompV61"));
        tvx::QtPopups popups;
        tvx::tempcomp::Tvx3TempCompV61 tool(popups, parsed.options);
        tool.LoadPanels();
        // A termination request closes the main panel, as the user would.
        tvx::CloseOnTerminationSignal(&tool.Main());
        return tool.Run();
    } catch (const std::exception&) {
        return -1;
    }
}
