#pragma once

// A program of the system run as a process by a test: started offscreen, ended as the system ends
// it (SIGTERM), its exit code taken.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

namespace tvx {

// The test's environment, whose per-user folders test_main made for this test alone.
inline QProcessEnvironment OffscreenEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

// As on a machine without any display: what needs none must work so.
inline QProcessEnvironment NoDisplayEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
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

}  // namespace tvx
