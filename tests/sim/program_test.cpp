// tvx-sensor-sim started as a process, as scripts and end-to-end tests use it.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;

// The program with what it printed on standard output up to "ready" or its end.
struct SimProcess {
    QProcess process;
    QString out;

    bool Start(const QStringList& args) {
        process.start(QStringLiteral(TVX_SENSOR_SIM_PATH), args);
        WaitUntil(
            [&] {
                out += QString::fromUtf8(process.readAllStandardOutput());
                return out.contains("ready\n") || process.state() == QProcess::NotRunning;
            },
            10.0, WaitMode::ServeUserInput,
            {WakeSource(&process, &QProcess::readyReadStandardOutput),
             WakeSource(&process, &QProcess::finished)});
        return out.contains("ready\n");
    }
    // Ends it with `sig` (0: waits for its own end); its exit code, -1 when it crashed.
    int End(int sig) {
        if (sig != 0) ::kill(static_cast<pid_t>(process.processId()), sig);
        EXPECT_TRUE(process.state() == QProcess::NotRunning || process.waitForFinished(10000));
        out += QString::fromUtf8(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

TEST(SimProgramTest, PrintsItsEndpointsAnswersWithFaultsAndScenarioAndStopsOnSignals) {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttySIM"), scenario = dir.filePath("white-after-one.txt");
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("clock frames\n0 2000 1200 800\n1 3000 3000 3000 33\n");
    file.close();
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--tcp", "0", "--pty", link, "--baud", "19200", "--version",
                           "E2E SENSOR V6.1", "--scenario", scenario, "--fault",
                           "noreply,order=5,times=once", "--fault=long:2,order=19"}))
        << sim.out.toStdString();
    const QStringList lines = sim.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << sim.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("tcp 127.0.0.1:"));
    EXPECT_EQ(lines[1], "pty " + QFileInfo(link).symLinkTarget());
    EXPECT_TRUE(lines[1].startsWith("pty /dev/pts/"));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, lines[0].section(':', 1).toUShort());
    ASSERT_TRUE(socket.waitForConnected(5000));
    const auto exchange = [&](std::uint16_t order, qsizetype n) {
        socket.write(Request(order));
        QByteArray reply;
        while (reply.size() < n && socket.waitForReadyRead(5000)) reply += socket.readAll();
        return reply;
    };
    EXPECT_EQ(QByteArray(exchange(7, 36).constData()), QByteArray("E2E SENSOR V6.1"));
    exchange(5, 0);  // not answered
    const QByteArray second = exchange(5, 36);
    EXPECT_EQ(WordAt(second, 8), 3) << "the second data frame shows white";
    EXPECT_EQ(WordAt(second, 12), 33);
    EXPECT_EQ(exchange(19, 38).size(), 38);
    EXPECT_EQ(sim.End(SIGTERM), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the program";

    SimProcess plain;
    ASSERT_TRUE(plain.Start({}));
    EXPECT_NE(plain.out.section(QRegularExpression("[:\\n]"), 1, 1).toUShort(), 0)
        << "without options: a free TCP port";
    EXPECT_EQ(plain.End(SIGINT), 0);
}

TEST(SimProgramTest, ServesManySensorsEachOnItsOwnPort) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--tcp-count", "3", "--version", "MANY V6.1"})) << sim.out.toStdString();
    const QStringList lines = sim.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << sim.out.toStdString();
    QTcpSocket sensors[3];
    for (int i = 0; i < 3; ++i) {  // all connected at once: each port is a sensor of its own
        ASSERT_TRUE(lines[i].startsWith("tcp 127.0.0.1:"));
        sensors[i].connectToHost(QHostAddress::LocalHost, lines[i].section(':', 1).toUShort());
        ASSERT_TRUE(sensors[i].waitForConnected(5000));
    }
    for (QTcpSocket& socket : sensors) {
        socket.write(Request(7));
        QByteArray reply;
        while (reply.size() < 36 && socket.waitForReadyRead(5000)) reply += socket.readAll();
        EXPECT_EQ(QByteArray(reply.constData()), QByteArray("MANY V6.1"));
    }
    EXPECT_EQ(sim.End(SIGTERM), 0);
}

TEST(SimProgramTest, RefusesAMalformedRecordingInOneLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("line3.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("time,R,G,B,X,Y,INT,C-No,GROUP,TEMP\r\n2026-12-09T01:02:03,1,2,3,4,5,6,7,8,9\r\n");
    file.close();
    SimProcess sim;
    EXPECT_FALSE(sim.Start({"--replay", path, "--replay-hold"}));
    EXPECT_EQ(sim.End(0), 2);
    const QString err = QString::fromUtf8(sim.process.readAllStandardError());
    EXPECT_TRUE(err.startsWith("tvx-sensor-sim: " + path + ":2: bad time stamp"))
        << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}

TEST(SimProgramTest, HelpAndBadArguments) {
    const struct {
        QStringList args;
        int code;
        QStringList says;  // on standard output with code 0, else on standard error
    } cases[] = {
        {{"--help"},
         0,
         {"--tcp PORT", "--tcp-count N", "--pty LINK", "--baud N", "--scenario FILE",
          "--fault FAULT", "--version TEXT", "disconnect:N", "unsolicited:N:MS", "forget",
          "times=", "--replay FILE", "--replay-hold", "refused replay file", "--drift \"DX DY",
          "--decay PERCENT", "--temp-ramp DEG", "--time-scale F"}},
        {{"--tcp", "http"}, 2, {"bad TCP port \"http\""}},
        {{"--loud"}, 2, {"unknown option \"--loud\""}},
        {{"--tcp-count", "0"}, 2, {"bad sensor count \"0\": expected 1 to 5000"}},
        {{"--tcp", "65534", "--tcp-count", "3"}, 2, {"3 sensors from port 65534 run past"}},
        {{"--baud"}, 2, {"--baud needs a value"}},
        {{"--fault", "explode"}, 2, {"fault \"explode\": unknown kind"}},
        {{"--scenario", "/nonexistent/s.txt"}, 2, {"scenario /nonexistent/s.txt"}},
        {{"--sample", "1 2"}, 2, {"bad sample \"1 2\""}},
        {{"--replay-hold"}, 2, {"--replay-hold needs --replay FILE"}},
        {{"--replay", "r.csv", "--sample", "1 2 3"}, 2, {"--replay excludes --scenario"}},
        {{"--version", QString(37, 'V')}, 2, {"1 to 36 characters"}},
        {{"--drift", "0 0 5"}, 2, {"bad drift \"0 0 5\": expected \"DX DY PER_MINUTE\""}},
        {{"--decay", "101"}, 2, {"bad decay \"101\""}},
        {{"--time-scale", "0"}, 2, {"bad time scale \"0\""}},
        {{"--replay", "r.csv", "--temp-ramp", "1"}, 2, {"--replay excludes --drift"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        SimProcess sim;
        EXPECT_FALSE(sim.Start(c.args));
        EXPECT_EQ(sim.End(0), c.code);
        const QString err = QString::fromUtf8(sim.process.readAllStandardError());
        for (const QString& text : c.says) EXPECT_TRUE((c.code ? err : sim.out).contains(text));
        EXPECT_TRUE(c.code == 0 || sim.out.isEmpty()) << "nothing a script takes for an endpoint";
    }
}

}  // namespace
}  // namespace tvx::sim
