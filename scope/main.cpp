#include <QApplication>
#include <cstdio>
#include <exception>

#include "Tvx3v61.h"
#include "qt_popups.h"
#include "termination.h"

int main(int argc, char** argv) {
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Tvx3v61"));
        const tvx::ParsedStartOptions parsed =
            tvx::ParseStartOptions(QApplication::arguments().mid(1));
        if (!parsed.error.isEmpty()) {
            std::fprintf(stderr, "Tvx3v61: %s\n%s", qPrintable(parsed.error),
                         qPrintable(tvx::StartOptionsHelp(QStringLiteral("Tvx3v61"))));
            return 2;
        }
        if (parsed.options.showHelp) {
            std::printf("%s", qPrintable(tvx::StartOptionsHelp(QStringLiteral("Tvx3v61"))));
            return 0;
        }
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
