#pragma once

// A program of the system run as a process: started, ended by SIGTERM, its exit code taken.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <csignal>

#include "sim_thread.h"

namespace tvx {

// The test's environment, whose per-user folders test_main made for this test alone.
inline QProcessEnvironment OffscreenEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// Without any display, unless a platform or display is named.
inline QProcessEnvironment NoDisplayEnvironment(const char* platform = "",
                                                const char* display = "") {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    if (*platform) env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    if (*display) env.insert(QStringLiteral("DISPLAY"), display);
    return env;
}

inline void StartProgram(QProcess& program, const QString& executable, const QStringList& arguments,
                         bool offscreen = true) {
    program.setProcessEnvironment(offscreen ? OffscreenEnvironment() : NoDisplayEnvironment());
    program.start(executable, arguments);
    ASSERT_TRUE(program.waitForStarted(10000));
}

inline int Terminate(QProcess& program) {
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    return program.exitCode();
}

inline QStringList TcpArguments(quint16 port) {
    return {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)};
}

// Started where no window system can be had, the program ends with the start-up failure code
// (-1, an exit status of 255) and says why in one line on standard error; it never aborts.
inline void ExpectNoWindowSystemEndsTheStart(const QString& executable) {
    ASSERT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X4711")));
    for (const auto& [what, platform, display] :
         {std::tuple{"no display at all", "", ""},
          {"a display that does not exist", "xcb", ":4711"},
          {"a platform that does not exist", "no-such-platform", ""}}) {
        SCOPED_TRACE(what);
        QProcess program;
        program.setProcessEnvironment(NoDisplayEnvironment(platform, display));
        program.start(executable, TcpArguments(1));
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 255);
        const QByteArray error = program.readAllStandardError();
        EXPECT_TRUE(error.count('\n') == 1 && error.endsWith('\n')) << error.toStdString();
        EXPECT_TRUE(error.startsWith(QFileInfo(executable).fileName().toLatin1()))
            << error.toStdString();
    }
}

// A termination request that comes while a message box waits for an answer (here the box about
// a server that closed the conversation during the handshake) ends the program with exit code 0.
inline void ExpectTerminationEndsAProgramWithABoxOpen(const QString& executable) {
    sim::SimConfig config;
    config.faults = {sim::Fault{.kind = sim::FaultKind::Disconnect, .order = 7, .a = 0}};
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start(config));
    QProcess program;
    StartProgram(program, executable, TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    program.waitForFinished(500);  // the box opens once the program has seen the conversation end
    ASSERT_EQ(program.state(), QProcess::Running);
    EXPECT_EQ(Terminate(program), 0);
}

}  // namespace tvx
