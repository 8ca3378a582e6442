#include <QCoreApplication>
#include <QStringList>

#include "epoll_dispatcher.h"
#include "tvx_commands.h"

// tvx: the sensors from scripts, without a window system.
int main(int argc, char** argv) {
    // A recording of a thousand sensors from one thread: the loop must not cost what is open
    // (threads that tvx starts for other commands keep Qt's own).
    QCoreApplication::setEventDispatcher(new tvx::EpollDispatcher);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tvx"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tvx::cli::RunTvx(arguments);
}
