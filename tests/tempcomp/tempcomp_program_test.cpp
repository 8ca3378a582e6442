// The temperature-compensation tool as a program: started as a process against the simulated
// sensor, ended as the system ends it.
#include <gtest/gtest.h>

#include <QProcess>

#include "closed_port.h"
#include "program_process.h"
#include "sim_thread.h"

namespace tvx::tempcomp {
namespace {

void StartTool(QProcess& tool, const QStringList& arguments) {
    StartProgram(tool, QStringLiteral(TVX_TEMPCOMP_EXE), arguments);
}

TEST(TempCompProgram, ConnectsWithTheHandshakeAloneAndEndsWithExitCodeZero) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcess tool;
    StartTool(tool, TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    // Nothing is sent until the user acts: the tables stay as the sensor had them.
    EXPECT_FALSE(sensor.Server().WaitForRequests(2, 500));
    const auto requests = sensor.Server().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front().Order(), 7);
    EXPECT_EQ(sensor.Server().State(), sim::DefaultSensorState());
    EXPECT_EQ(Terminate(tool), 0);
}

TEST(TempCompProgram, StartsAndEndsWithNothingListening) {
    const quint16 port = ClosedLocalPort();
    ASSERT_NE(port, 0);
    QProcess tool;
    StartTool(tool, TcpArguments(port));
    tool.waitForFinished(1500);
    ASSERT_EQ(tool.state(), QProcess::Running) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(Terminate(tool), 0);
}

TEST(TempCompProgram, WithoutAWindowSystemEndsWithTheStartFailureCode) {
    ExpectNoWindowSystemEndsTheStart(QStringLiteral(TVX_TEMPCOMP_EXE));
}

TEST(TempCompProgram, ATerminationRequestEndsItWhileABoxIsOpen) {
    ExpectTerminationEndsAProgramWithABoxOpen(QStringLiteral(TVX_TEMPCOMP_EXE));
}

}  // namespace
}  // namespace tvx::tempcomp
