// The simulator in a thread of its own answers clients that block their thread.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <QTcpSocket>

#include "sim_test_util.h"
#include "sim_thread.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;

// Reads n bytes from a descriptor, blocking this thread (no event processing).
QByteArray BlockingRead(int fd, qsizetype n, int timeoutMs) {
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < n) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, std::min<qsizetype>(sizeof buffer, n - out.size()));
        if (got <= 0) break;
        out.append(buffer, got);
    }
    return out;
}

TEST(SimThreadTest, ABlockingSerialClientIsAnswered) {
    SimThread sim;
    SimConfig config;
    config.tcp = false;
    config.pty = true;
    config.baud = 19200;
    config.version = "THREADED SENSOR";
    ASSERT_TRUE(sim.Start(config)) << sim.Error().toStdString();
    ASSERT_FALSE(sim.PtyPath().isEmpty());

    const int fd = ::open(sim.PtyPath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    const QByteArray request = Request(7);
    ASSERT_EQ(::write(fd, request.constData(), request.size()), 36);
    EXPECT_EQ(QByteArray(BlockingRead(fd, 36, 3000).constData()), QByteArray("THREADED SENSOR"));

    sim.Server().AddFault(Fault{FaultKind::ShortReply, 5, 1, 0, 20, Fault::kDefault});
    const QByteArray data = Request(5);
    ASSERT_EQ(::write(fd, data.constData(), data.size()), 36);
    EXPECT_EQ(BlockingRead(fd, 36, 500).size(), 20);
    ::close(fd);

    const auto log = sim.Server().Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].Order(), 5);
}

TEST(SimThreadTest, ABlockingTcpClientIsAnswered) {
    SimThread sim;
    ASSERT_TRUE(sim.Start());
    ASSERT_NE(sim.TcpPort(), 0);
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
    ASSERT_TRUE(socket.waitForConnected(3000));
    socket.write(Request(4, {1}));
    ASSERT_TRUE(socket.waitForBytesWritten(3000));
    QByteArray reply;
    while (reply.size() < 36 && socket.waitForReadyRead(3000)) reply += socket.readAll();
    ASSERT_EQ(reply.size(), 36);
    EXPECT_EQ(WordAt(reply, 2), 1);
    EXPECT_EQ(WordAt(reply, 3), 819);
}

TEST(SimThreadTest, StateFaultsAndLogAreReachableFromTheTestThread) {
    SimThread sim;
    ASSERT_TRUE(sim.Start());
    SimServer& server = sim.Server();
    SensorState state = server.State();
    state.cf = {1000, 1100, 1200};
    server.SetState(state);
    server.WithModel([](SensorModel& model) { model.SetSample(Sample{100, 200, 300, 20}); });

    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, sim.TcpPort());
    test::DeviceReader reader(&socket);
    socket.write(Request(31));
    const QByteArray cf = reader.Read(36);
    EXPECT_EQ(WordAt(cf, 2), 1000);
    EXPECT_EQ(WordAt(cf, 4), 1200);
    socket.write(Request(1, {42}));
    EXPECT_TRUE(server.WaitForRequests(2, 3000));
    EXPECT_EQ(server.State().ram[kPower], 42);

    server.CloseConversation();
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    if (socket.state() != QAbstractSocket::UnconnectedState) loop.exec();
    EXPECT_EQ(socket.state(), QAbstractSocket::UnconnectedState);
}

TEST(SimThreadTest, StartsAgainAfterStopAndReportsABusyPort) {
    SimThread first;
    ASSERT_TRUE(first.Start());
    const quint16 port = first.TcpPort();
    first.Stop();
    EXPECT_FALSE(first.Running());
    ASSERT_TRUE(first.Start());
    EXPECT_TRUE(first.Running());

    SimThread second;
    SimConfig config;
    config.tcpPort = first.TcpPort();
    EXPECT_FALSE(second.Start(config));
    EXPECT_FALSE(second.Running());
    EXPECT_FALSE(second.Error().isEmpty());
    (void)port;
}

}  // namespace
}  // namespace tvx::sim
