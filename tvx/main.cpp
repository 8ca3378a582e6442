#include <QCoreApplication>
#include <QStringList>

#include "tvx_commands.h"

// tvx: the sensors from scripts, without a window system.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tvx"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tvx::cli::RunTvx(arguments);
}
