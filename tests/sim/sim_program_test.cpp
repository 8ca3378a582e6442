// tvx-sensor-sim started as a process, as scripts and end-to-end tests use it.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>

#include "sim_test_util.h"

namespace tvx::sim {
namespace {

using test::DeviceReader;
using test::Request;
using test::WordAt;

const QString kProgram = QStringLiteral(TVX_SENSOR_SIM_PATH);

// Waits for a signal of `sender` or the time limit, serving events meanwhile.
template <typename Sender, typename Signal>
void WaitFor(const Sender* sender, Signal signal, int ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

class SimProcess {
  public:
    ~SimProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
    // Starts the program and collects its lines up to "ready" (or its end).
    bool Start(const QStringList& args) {
        process.start(kProgram, args);
        QElapsedTimer clock;
        clock.start();
        while (!lines.contains(QStringLiteral("ready")) && clock.elapsed() < 10000) {
            if (process.state() == QProcess::NotRunning) break;
            WaitFor(&process, &QProcess::readyReadStandardOutput, 500);
            TakeLines();
        }
        TakeLines();
        return lines.contains(QStringLiteral("ready"));
    }
    void TakeLines() {
        while (process.canReadLine()) lines << QString::fromUtf8(process.readLine()).trimmed();
    }
    QString Field(const QString& kind) const {
        for (const QString& line : lines) {
            if (line.startsWith(kind + QLatin1Char(' '))) return line.mid(kind.size() + 1);
        }
        return {};
    }
    quint16 TcpPort() const {
        return static_cast<quint16>(
            Field(QStringLiteral("tcp")).section(QLatin1Char(':'), 1).toUInt());
    }
    bool Finish(int ms) {
        if (process.state() != QProcess::NotRunning) WaitFor(&process, &QProcess::finished, ms);
        return process.state() == QProcess::NotRunning;
    }
    void Signal(int sig) { ::kill(static_cast<pid_t>(process.processId()), sig); }

    QProcess process;
    QStringList lines;
};

// Runs the program to its end and returns exit code, stdout and stderr.
struct Outcome {
    int code = -1;
    QString out, err;
};
Outcome RunProgram(const QStringList& args) {
    SimProcess sim;
    sim.process.start(kProgram, args);
    sim.Finish(10000);
    return {sim.process.exitCode(), QString::fromUtf8(sim.process.readAllStandardOutput()),
            QString::fromUtf8(sim.process.readAllStandardError())};
}

TEST(SimProgramTest, PrintsItsEndpointsAnswersOnBothAndStopsOnSigterm) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    SimProcess sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--pty"),
                           link, QStringLiteral("--baud"), QStringLiteral("19200"),
                           QStringLiteral("--version"), QStringLiteral("E2E SENSOR V6.1")}))
        << sim.lines.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(sim.lines.size(), 3) << sim.lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(sim.lines[0].startsWith(QStringLiteral("tcp 127.0.0.1:")));
    EXPECT_NE(sim.TcpPort(), 0);
    EXPECT_TRUE(sim.Field(QStringLiteral("pty")).startsWith(QStringLiteral("/dev/pts/")));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.Field(QStringLiteral("pty")));

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
    DeviceReader tcp(&socket);
    socket.write(Request(7));
    EXPECT_EQ(QByteArray(tcp.Read(36).constData()), QByteArray("E2E SENSOR V6.1"));

    QSerialPort port;
    port.setPortName(link);
    ASSERT_TRUE(port.open(QIODevice::ReadWrite));
    port.setBaudRate(19200);
    DeviceReader serial(&port);
    port.write(Request(4, {3}));
    const QByteArray row3 = serial.Read(36);
    ASSERT_EQ(row3.size(), 36);
    EXPECT_EQ(WordAt(row3, 2), 3);
    port.close();

    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.Finish(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the program";
}

TEST(SimProgramTest, SigintStopsItCleanlyToo) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({}));
    EXPECT_NE(sim.TcpPort(), 0) << "without options it listens on a free TCP port";
    sim.Signal(SIGINT);
    ASSERT_TRUE(sim.Finish(5000));
    EXPECT_EQ(sim.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process.exitCode(), 0);
}

TEST(SimProgramTest, FaultsAndScenarioFromTheCommandLine) {
    QTemporaryDir dir;
    const QString scenario = dir.filePath(QStringLiteral("white-after-one.txt"));
    QFile file(scenario);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("clock frames\n0 2000 1200 800\n1 3000 3000 3000 33\n");
    file.close();

    SimProcess sim;
    ASSERT_TRUE(sim.Start({QStringLiteral("--scenario"), scenario, QStringLiteral("--fault"),
                           QStringLiteral("noreply,order=5,times=once"),
                           QStringLiteral("--fault=long:2,order=19")}));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
    DeviceReader reader(&socket);
    socket.write(Request(5));
    EXPECT_TRUE(reader.ReadFor(300).isEmpty());
    socket.write(Request(5));
    const QByteArray second = reader.Read(36);
    EXPECT_EQ(WordAt(second, 8), 3) << "the second data frame shows white";
    EXPECT_EQ(WordAt(second, 12), 33);
    socket.write(Request(19));
    EXPECT_EQ(reader.Read(38).size(), 38);
    EXPECT_TRUE(reader.ReadFor(100).isEmpty());
}

TEST(SimProgramTest, BadArgumentsEndWithCode2AndAReason) {
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{QStringLiteral("--tcp"), QStringLiteral("http")}, "bad TCP port \"http\""},
        {{QStringLiteral("--tcp"), QStringLiteral("70000")}, "bad TCP port \"70000\""},
        {{QStringLiteral("--loud")}, "unknown option \"--loud\""},
        {{QStringLiteral("--baud")}, "--baud needs a value"},
        {{QStringLiteral("--fault"), QStringLiteral("explode")}, "fault \"explode\": unknown kind"},
        {{QStringLiteral("--scenario"), QStringLiteral("/nonexistent/s.txt")},
         "scenario /nonexistent/s.txt"},
        {{QStringLiteral("--sample"), QStringLiteral("1 2")}, "bad sample \"1 2\""},
        {{QStringLiteral("--version"), QString(37, QLatin1Char('V'))}, "1 to 36 characters"},
    };
    for (const auto& c : cases) {
        const Outcome o = RunProgram(c.args);
        EXPECT_EQ(o.code, 2) << c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(o.err.contains(QLatin1String(c.message))) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty()) << "nothing that a script could take for an endpoint";
    }
}

TEST(SimProgramTest, APortInUseEndsWithCode1) {
    SimProcess first;
    ASSERT_TRUE(first.Start({}));
    const Outcome o = RunProgram({QStringLiteral("--tcp"), QString::number(first.TcpPort())});
    EXPECT_EQ(o.code, 1);
    EXPECT_TRUE(o.err.contains(QStringLiteral("tcp port %1").arg(first.TcpPort())))
        << o.err.toStdString();
}

TEST(SimProgramTest, HelpDescribesTheOptionsAndFaultSyntax) {
    const Outcome o = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(o.code, 0);
    for (const char* text :
         {"--tcp PORT", "--pty LINK", "--baud N", "--scenario FILE", "--fault FAULT",
          "--version TEXT", "disconnect:N", "unsolicited:N:MS", "times="}) {
        EXPECT_TRUE(o.out.contains(QLatin1String(text))) << text;
    }
}

}  // namespace
}  // namespace tvx::sim
