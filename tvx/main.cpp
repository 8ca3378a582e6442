#include <QCoreApplication>
#include <QStringList>

#include "tvx_commands.h"

// tvx: the sensors from scripts, without a window system.
int main(int argc, char** argv) {
    // Qt's own event dispatcher rather than GLib's: a recording of many sensors turns socket
    // notices on and off thousands of times a second, which GLib answers with a wake-up write
    // each time.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tvx"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tvx::cli::RunTvx(arguments);
}
