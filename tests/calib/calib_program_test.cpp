// The calibration tool as a program: started as a process against the simulated sensor, ended as
// the system ends it.
#include <gtest/gtest.h>

#include <QProcess>
#include <csignal>

#include "closed_port.h"
#include "program_process.h"
#include "sim_thread.h"

namespace tvx::calib {
namespace {

void StartTool(QProcess& tool, const QStringList& arguments) {
    StartProgram(tool, QStringLiteral(TVX_CALIB_EXE), arguments);
}

TEST(CalibProgram, ConnectsWithTheHandshakeAloneAndEndsWithExitCodeZero) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcess tool;
    StartTool(tool, TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    // Nothing follows the handshake until the user acts.
    EXPECT_FALSE(sensor.Server().WaitForRequests(2, 500));
    const auto requests = sensor.Server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().Order(), 7);
    EXPECT_EQ(Terminate(tool), 0);
}

TEST(CalibProgram, EndsWithExitCodeZeroWhileTheHandshakeWaits) {
    sim::SimConfig config;
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    config.faults = {silent};
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start(config));
    QProcess tool;
    StartTool(tool, TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(Terminate(tool), 0);
}

TEST(CalibProgram, StartsAndEndsWithNothingListening) {
    const quint16 port = ClosedLocalPort();
    ASSERT_NE(port, 0);
    QProcess tool;
    StartTool(tool, TcpArguments(port));
    tool.waitForFinished(1500);
    ASSERT_EQ(tool.state(), QProcess::Running) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(tool), 0);
}

TEST(CalibProgram, ConnectsToTheSimulatorProgramOverAPseudoTerminal) {
    QProcess simulator;
    simulator.start(QStringLiteral(TVX_SIM_EXE),
                    {QStringLiteral("--pty"), QStringLiteral("-"), QStringLiteral("--baud"),
                     QStringLiteral("19200")});
    ASSERT_TRUE(simulator.waitForStarted(10000));
    QString pty;
    while (pty.isEmpty() && simulator.waitForReadyRead(10000)) {
        while (simulator.canReadLine()) {
            const QString line = QString::fromLatin1(simulator.readLine()).trimmed();
            if (line.startsWith(QStringLiteral("pty "))) pty = line.mid(4);
        }
    }
    ASSERT_FALSE(pty.isEmpty());
    QProcess tool;
    StartTool(tool, {QStringLiteral("--serial"), pty});
    tool.waitForFinished(2000);
    ASSERT_EQ(tool.state(), QProcess::Running) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(tool), 0);
    ::kill(static_cast<pid_t>(simulator.processId()), SIGTERM);
    EXPECT_TRUE(simulator.waitForFinished(10000));
    EXPECT_EQ(simulator.exitCode(), 0);
}

TEST(CalibProgram, WithoutAWindowSystemEndsWithTheStartFailureCode) {
    ExpectNoWindowSystemEndsTheStart(QStringLiteral(TVX_CALIB_EXE));
}

TEST(CalibProgram, ATerminationRequestEndsItWhileABoxIsOpen) {
    ExpectTerminationEndsAProgramWithABoxOpen(QStringLiteral(TVX_CALIB_EXE));
}

}  // namespace
}  // namespace tvx::calib
