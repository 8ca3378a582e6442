#include "application_start.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace tvx {

namespace {

struct StartMessage {
    QtMsgType type;
    QString text;
};

const char* startingProgram = "";
std::vector<StartMessage> startMessages;

QString OneLine(const QString& text) {
    return text.simplified();
}

// Holds Qt's messages while the window system starts. A fatal one means no platform could be
// started: Qt would abort right after this handler, so the program ends here, with its own code.
void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        startMessages.push_back({type, message});
        return;
    }
    // The first warning usually says what went wrong ("could not connect to display :99"); the
    // fatal message itself only says that no platform plugin could be started.
    QString reason = OneLine(message.section(QLatin1Char('\n'), 0, 0));
    for (const StartMessage& held : startMessages) {
        if (held.type == QtWarningMsg || held.type == QtCriticalMsg) {
            reason = OneLine(held.text);
            break;
        }
    }
    std::fprintf(stderr, "%s: cannot start without a usable window system: %s\n", startingProgram,
                 qPrintable(reason));
    std::fflush(stderr);
    std::_Exit(kStartFailureExitCode & 0xFF);
}

}  // namespace

std::unique_ptr<QApplication> StartApplication(int& argc, char** argv, const char* programName) {
    startingProgram = programName;
    startMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    for (const StartMessage& held : std::exchange(startMessages, {}))
        qt_message_output(held.type, QMessageLogContext(), held.text);
    return app;
}

}  // namespace tvx
