// The simulator over TCP loopback, seen by a plain QTcpSocket client.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>

#include "sim_server.h"
#include "sim_test_util.h"

namespace tvx::sim {
namespace {

using test::DeviceReader;
using test::Request;
using test::WordAt;
using test::Words;

class TcpClient {
  public:
    bool Connect(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(3000);
        if (socket.state() != QAbstractSocket::ConnectedState) loop.exec();
        return socket.state() == QAbstractSocket::ConnectedState;
    }
    void Send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    QByteArray Exchange(const QByteArray& request, qsizetype replyBytes = 36) {
        Send(request);
        return reader.Read(replyBytes);
    }
    // Waits for the server to close the conversation.
    bool WaitDisconnected(int ms) {
        if (socket.state() == QAbstractSocket::UnconnectedState) return true;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(ms);
        loop.exec();
        return socket.state() == QAbstractSocket::UnconnectedState;
    }

    QTcpSocket socket;
    DeviceReader reader{&socket};
};

class TcpEndpointTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.ListenTcp(0)) << server.LastError().toStdString();
        ASSERT_NE(server.TcpPort(), 0);
        ASSERT_TRUE(client.Connect(server.TcpPort()));
    }
    void AddFault(const char* text) { test::AddFault(server, text); }

    SimServer server;
    TcpClient client;
};

TEST_F(TcpEndpointTest, EveryScopeOrderIsAnsweredWithTheRightLength) {
    const QByteArray version = client.Exchange(Request(7));
    EXPECT_EQ(QByteArray(version.constData()), QByteArray(kDefaultVersion));
    for (std::uint16_t order : {3, 5, 8, 19}) {
        const QByteArray reply = client.Exchange(Request(order));
        ASSERT_EQ(reply.size(), 36) << "order " << order;
        EXPECT_EQ(WordAt(reply, 0), 0x55);
        EXPECT_EQ(WordAt(reply, 1), order);
    }
    for (std::uint16_t row = 0; row < 15; ++row) {
        const QByteArray reply = client.Exchange(Request(4, {row}));
        ASSERT_EQ(reply.size(), 36);
        EXPECT_EQ(WordAt(reply, 2), row);
    }
    // The send-only orders leave nothing on the line.
    client.Send(Request(1, {500}));
    client.Send(Request(2, {0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(client.reader.ReadFor(150).isEmpty());
    const QByteArray echo6 = client.Exchange(Request(6));
    EXPECT_EQ(WordAt(echo6, 1), 6);
}

TEST_F(TcpEndpointTest, ParametersWrittenAsTheScopeDoesAreReadBackEqual) {
    // One order-1 frame and fifteen order-2 frames back to back, as one burst.
    QByteArray burst = Request(1, {1000, 1, 64, 2, 30, 100, 6, 1, 0, 0, 0, 3000, 3500, 1, 5, 6});
    for (std::uint16_t row = 0; row < 15; ++row) {
        burst += Request(
            2, {row, static_cast<std::uint16_t>(100 + row), static_cast<std::uint16_t>(200 + row),
                50, 600, 60, static_cast<std::uint16_t>(row % 3)});
    }
    burst += Request(6);
    client.Send(burst);
    EXPECT_EQ(WordAt(client.reader.Read(36), 1), 6);

    const auto modes = Words(client.Exchange(Request(3)));
    EXPECT_EQ(
        std::vector<std::uint16_t>(modes.begin() + 2, modes.end()),
        (std::vector<std::uint16_t>{1000, 1, 64, 2, 30, 100, 6, 1, 0, 0, 0, 3000, 3500, 1, 5, 6}));
    for (std::uint16_t row = 0; row < 15; ++row) {
        const auto w = Words(client.Exchange(Request(4, {row})));
        EXPECT_EQ(std::vector<std::uint16_t>(w.begin() + 2, w.begin() + 9),
                  (std::vector<std::uint16_t>{row, static_cast<std::uint16_t>(100 + row),
                                              static_cast<std::uint16_t>(200 + row), 50, 600, 60,
                                              static_cast<std::uint16_t>(row % 3)}));
    }
    const SensorState state = server.State();
    EXPECT_EQ(state.eeprom, state.ram);
}

TEST_F(TcpEndpointTest, DataFramesEvaluateTheTargetAgainstTheTeachTable) {
    auto frame = [&] { return Words(client.Exchange(Request(5))); };
    server.SetSample(Sample{800, 2000, 1200, 25});  // taught as row 1, group 1
    auto w = frame();
    EXPECT_EQ(w[8], 1);
    EXPECT_EQ(w[13], 1);
    server.SetSample(Sample{3000, 3000, 3000, 31});  // row 3, group 2
    w = frame();
    EXPECT_EQ(w[8], 3);
    EXPECT_EQ(w[13], 2);
    EXPECT_EQ(w[12], 31);
    server.SetSample(Sample{3000, 500, 500, 25});  // far from every row
    EXPECT_EQ(frame()[8], 255);
    server.SetSample(Sample{40, 24, 16, 25});  // row 0's colour, but INT 26 < intlim 50
    w = frame();
    EXPECT_EQ(w[5], 2047);
    EXPECT_EQ(w[8], 255);
    // Row 3 switched off by MAXCOL-No. 3.
    client.Send(Request(1, {500, 0, 16, 0, 10, 50, 3, 1, 0, 0, 0, 3000, 3500, 1, 0, 0}));
    server.SetSample(Sample{3000, 3000, 3000, 25});
    EXPECT_EQ(frame()[8], 255);
}

TEST_F(TcpEndpointTest, RequestsAreLoggedAsTheyArrivedAndTheLogCanBeCleared) {
    client.Exchange(Request(7));
    client.Send(Request(2, {4, 10, 20, 30, 40, 50, 2}));
    ASSERT_TRUE(server.WaitForRequests(2, 3000));
    auto log = server.Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Order(), 7);
    EXPECT_EQ(log[1].Order(), 2);
    EXPECT_EQ(log[1].bytes, Request(2, {4, 10, 20, 30, 40, 50, 2}));
    EXPECT_EQ(log[1].Word(8), 2);
    EXPECT_EQ(log[1].endpoint, QStringLiteral("tcp"));
    EXPECT_LE(log[0].ms, log[1].ms);
    server.ClearRequests();
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_FALSE(server.WaitForRequests(1, 100));
}

TEST_F(TcpEndpointTest, AFrameArrivingInPiecesIsAnsweredOnce) {
    const QByteArray request = Request(4, {2});
    client.Send(request.left(1));
    test::ServeEvents(30);
    client.Send(request.mid(1, 20));
    test::ServeEvents(30);
    client.Send(request.mid(21));
    const QByteArray reply = client.reader.Read(36);
    EXPECT_EQ(WordAt(reply, 2), 2);
    EXPECT_TRUE(client.reader.ReadFor(100).isEmpty());
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(TcpEndpointTest, NoReplyLeavesTheLineSilentOnceThenAnswersAgain) {
    AddFault("noreply,order=5,times=once");
    client.Send(Request(5));
    EXPECT_TRUE(client.reader.ReadFor(300).isEmpty());
    EXPECT_EQ(client.Exchange(Request(5)).size(), 36);
}

TEST_F(TcpEndpointTest, ShortAndLongRepliesHaveTheirLength) {
    AddFault("short:35,order=3,times=1");
    AddFault("long:1,order=4,times=1");
    client.Send(Request(3));
    EXPECT_EQ(client.reader.Read(35).size(), 35);
    EXPECT_TRUE(client.reader.ReadFor(100).isEmpty());
    client.Send(Request(4, {0}));
    const QByteArray longer = client.reader.Read(37);
    ASSERT_EQ(longer.size(), 37);
    EXPECT_TRUE(client.reader.ReadFor(100).isEmpty());
    EXPECT_EQ(static_cast<std::uint8_t>(longer[36]), 0xEE);
    EXPECT_EQ(client.Exchange(Request(3)).size(), 36);
}

TEST_F(TcpEndpointTest, SplitReplyArrivesInPartsWithAPauseBetween) {
    AddFault("split:18:1000,order=5,times=1");
    QElapsedTimer clock;
    clock.start();
    client.Send(Request(5));
    EXPECT_EQ(client.reader.Read(18).size(), 18);
    // The second part is held back for the pause.
    EXPECT_TRUE(client.reader.ReadFor(20).isEmpty());
    EXPECT_EQ(client.reader.Read(18).size(), 18);
    EXPECT_GE(clock.elapsed(), 990);
    EXPECT_TRUE(client.reader.ReadFor(100).isEmpty());
}

TEST_F(TcpEndpointTest, DelayedReplyComesLate) {
    AddFault("delay:400,order=7");
    QElapsedTimer clock;
    clock.start();
    client.Send(Request(7));
    EXPECT_EQ(client.reader.Read(36).size(), 36);
    EXPECT_GE(clock.elapsed(), 400);
}

TEST_F(TcpEndpointTest, WrongSyncAndWrongOrderAreWhatTheClientSees) {
    AddFault("badsync,order=3,times=1");
    AddFault("badorder:7,order=8,times=1");
    const QByteArray bad3 = client.Exchange(Request(3));
    EXPECT_EQ(static_cast<std::uint8_t>(bad3[0]), 0x00);
    EXPECT_EQ(static_cast<std::uint8_t>(bad3[1]), 0x56);
    const QByteArray bad8 = client.Exchange(Request(8));
    EXPECT_EQ(WordAt(bad8, 0), 0x55);
    EXPECT_EQ(WordAt(bad8, 1), 7);
    EXPECT_EQ(WordAt(client.Exchange(Request(8)), 1), 8);
}

TEST_F(TcpEndpointTest, DisconnectAfterNFramesClosesTheConversation) {
    QSignalSpy gone(&server, &SimServer::clientDisconnected);
    AddFault("disconnect:2,times=once");
    EXPECT_EQ(client.Exchange(Request(7)).size(), 36);
    EXPECT_TRUE(server.HasTcpClient());
    EXPECT_EQ(client.Exchange(Request(3)).size(), 36) << "the second reply still goes out";
    EXPECT_TRUE(client.WaitDisconnected(3000));
    EXPECT_EQ(gone.count(), 1);
    EXPECT_FALSE(server.HasTcpClient());

    TcpClient again;
    ASSERT_TRUE(again.Connect(server.TcpPort()));
    EXPECT_EQ(again.Exchange(Request(7)).size(), 36);
}

TEST_F(TcpEndpointTest, UnsolicitedBytesComeWhileNoRequestWaits) {
    AddFault("unsolicited:5:100,order=1,times=1");
    client.Send(Request(1, {500}));
    const QByteArray extra = client.reader.Read(5, 3000);
    EXPECT_EQ(extra, QByteArray(5, '\xCC'));

    server.SendUnsolicited(QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(client.reader.Read(3), QByteArray("\x01\x02\x03", 3));
}

TEST_F(TcpEndpointTest, FaultsCanBeChangedWhileTheClientTalks) {
    AddFault("noreply");
    client.Send(Request(7));
    EXPECT_TRUE(client.reader.ReadFor(150).isEmpty());
    ASSERT_EQ(server.Faults().size(), 1u);
    server.ClearFaults();
    EXPECT_EQ(client.Exchange(Request(7)).size(), 36);
}

TEST_F(TcpEndpointTest, CloseConversationDisconnectsTheClient) {
    EXPECT_EQ(client.Exchange(Request(7)).size(), 36);
    server.CloseConversation();
    EXPECT_TRUE(client.WaitDisconnected(3000));
    EXPECT_FALSE(server.HasTcpClient());
}

TEST_F(TcpEndpointTest, ANewClientReplacesTheOldOne) {
    QSignalSpy connected(&server, &SimServer::clientConnected);
    TcpClient second;
    ASSERT_TRUE(second.Connect(server.TcpPort()));
    EXPECT_TRUE(client.WaitDisconnected(3000));
    EXPECT_EQ(second.Exchange(Request(7)).size(), 36);
    EXPECT_GE(connected.count(), 1);
}

TEST_F(TcpEndpointTest, RepliesArePacedAtTheBaudRate) {
    server.SetBaud(19200);
    EXPECT_EQ(server.Baud(), 19200);
    QElapsedTimer clock;
    clock.start();
    const QByteArray reply = client.Exchange(Request(7));
    const qint64 ms = clock.elapsed();
    EXPECT_EQ(reply.size(), 36);
    // 36 bytes of 10 bits at 19200 baud take 18.75 ms on the line.
    EXPECT_GE(ms, 15);
}

TEST(TcpListenTest, APortInUseIsReported) {
    SimServer first;
    ASSERT_TRUE(first.ListenTcp(0));
    SimServer second;
    EXPECT_FALSE(second.ListenTcp(first.TcpPort()));
    EXPECT_TRUE(second.LastError().startsWith(QStringLiteral("tcp port %1: ").arg(first.TcpPort())))
        << second.LastError().toStdString();
}

}  // namespace
}  // namespace tvx::sim
