// The scope as a program: started as a process against a simulator, ended as a user or the system
// ends it.
#include <gtest/gtest.h>

#include <QProcess>

#include "closed_port.h"
#include "program_process.h"
#include "sim_thread.h"

namespace tvx {
namespace {

void StartScope(QProcess& scope, const QStringList& arguments) {
    StartProgram(scope, QStringLiteral(TVX_SCOPE_EXE), arguments);
}

TEST(ScopeProgram, ConnectsToTheSensorAndEndsWithExitCodeZero) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcess scope;
    StartScope(scope,
               {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sensor.TcpPort())});
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(sensor.Server().Requests().front().Order(), 7);
    EXPECT_EQ(Terminate(scope), 0);
}

TEST(ScopeProgram, ClosingWhileTheHandshakeWaitsEndsWithExitCodeZero) {
    sim::SimConfig config;
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    config.faults = {silent};
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start(config));
    QProcess scope;
    StartScope(scope,
               {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(sensor.TcpPort())});
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));  // the handshake is waiting now
    EXPECT_EQ(Terminate(scope), 0);
}

TEST(ScopeProgram, StartsAndEndsWithNothingListening) {
    const quint16 port = ClosedLocalPort();
    ASSERT_NE(port, 0);
    QProcess scope;
    StartScope(scope, {QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port)});
    // Give the failed connection attempt time to be made before the program is asked to end.
    scope.waitForFinished(1500);
    ASSERT_EQ(scope.state(), QProcess::Running) << scope.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(scope), 0);
}

TEST(ScopeProgram, WithoutAWindowSystemEndsWithTheStartFailureCode) {
    ExpectNoWindowSystemEndsTheStart(QStringLiteral(TVX_SCOPE_EXE));
}

TEST(ScopeProgram, ATerminationRequestEndsItWhileABoxIsOpen) {
    ExpectTerminationEndsAProgramWithABoxOpen(QStringLiteral(TVX_SCOPE_EXE));
}

}  // namespace
}  // namespace tvx
