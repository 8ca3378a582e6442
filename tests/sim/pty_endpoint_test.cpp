// The simulator on a pseudo-terminal, seen by QSerialPort and by a plain descriptor.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>

#include "sim_server.h"
#include "sim_test_util.h"
#include "sim_thread.h"

namespace tvx::sim {
namespace {

using test::DeviceReader;
using test::Request;
using test::WordAt;
using test::Words;

bool OpenSerial(QSerialPort& port, const QString& device) {
    port.setPortName(device);
    if (!port.open(QIODevice::ReadWrite)) return false;
    port.setBaudRate(19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.clear();
    return true;
}

class PtyEndpointTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        link = dir.filePath(QStringLiteral("ttySENSOR"));
        ASSERT_TRUE(server.OpenPty(link)) << server.LastError().toStdString();
        ASSERT_TRUE(OpenSerial(port, link)) << port.errorString().toStdString();
    }
    QByteArray Exchange(const QByteArray& request, qsizetype n = 36) {
        port.write(request);
        return reader.Read(n);
    }
    void AddFault(const char* text) { test::AddFault(server, text); }

    QTemporaryDir dir;
    QString link;
    SimServer server;
    QSerialPort port;
    DeviceReader reader{&port};
};

TEST_F(PtyEndpointTest, TheLinkPointsAtTheSlaveDevice) {
    EXPECT_TRUE(server.PtyPath().startsWith(QStringLiteral("/dev/pts/")));
    EXPECT_EQ(server.PtyLink(), link);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
}

TEST_F(PtyEndpointTest, OrdersAreAnsweredOverTheSerialLine) {
    EXPECT_EQ(QByteArray(Exchange(Request(7)).constData()), QByteArray(kDefaultVersion));
    const auto data = Words(Exchange(Request(5)));
    ASSERT_EQ(data.size(), 18u);
    EXPECT_EQ(data[8], 0);
    const auto cf = Words(Exchange(Request(31)));
    EXPECT_EQ(cf[2], 1024);
    EXPECT_EQ(Exchange(Request(44), 200).size(), 200);
    EXPECT_EQ(Exchange(Request(51, {128}), 256).size(), 256);
    const auto log = server.Requests();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[4].Order(), 51);
    EXPECT_EQ(log[4].Word(2), 128);
    EXPECT_EQ(log[4].endpoint, QStringLiteral("pty"));
}

TEST_F(PtyEndpointTest, EepromWriteAndReloadRoundTrip) {
    port.write(Request(1, {321, 0, 16, 0, 10, 50, 2, 1, 0, 0, 0, 3000, 3500, 0, 0, 0}));
    port.write(Request(2, {0, 111, 222, 33, 444, 55, 0}));
    EXPECT_EQ(WordAt(Exchange(Request(6)), 1), 6);
    port.write(Request(1, {999}));
    EXPECT_EQ(WordAt(Exchange(Request(3)), 2), 999);
    EXPECT_EQ(WordAt(Exchange(Request(8)), 1), 8);
    EXPECT_EQ(WordAt(Exchange(Request(3)), 2), 321);
    const auto row0 = Words(Exchange(Request(4, {0})));
    EXPECT_EQ(std::vector<std::uint16_t>(row0.begin() + 3, row0.begin() + 9),
              (std::vector<std::uint16_t>{111, 222, 33, 444, 55, 0}));
}

TEST_F(PtyEndpointTest, RepliesArePacedAtTheBaudRate) {
    server.SetBaud(19200);
    port.clear();
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Exchange(Request(7)).size(), 36);
    EXPECT_GE(clock.elapsed(), 15);  // 36 bytes of 10 bits at 19200 baud: 18.75 ms

    // A test can wait for the line to have written everything before it looks at the port.
    server.SendUnsolicited(QByteArray(40, '\x7F'));
    EXPECT_FALSE(server.LinesIdle()) << "40 paced bytes take about 21 ms";
    ASSERT_TRUE(server.WaitForLinesIdle(5000));
    EXPECT_EQ(reader.Read(40), QByteArray(40, '\x7F'));
}

TEST_F(PtyEndpointTest, ShortLongAndSplitRepliesOnTheSerialLine) {
    AddFault("short:35,order=5,times=1");
    port.write(Request(5));
    EXPECT_EQ(reader.Read(35).size(), 35);
    EXPECT_TRUE(reader.ReadFor(100).isEmpty());
    AddFault("long:1,order=5,times=1");
    port.write(Request(5));
    EXPECT_EQ(reader.Read(37).size(), 37);
    EXPECT_TRUE(reader.ReadFor(100).isEmpty());
    AddFault("split:18:1000,order=5,times=1");
    port.write(Request(5));
    EXPECT_EQ(reader.Read(18).size(), 18);
    EXPECT_TRUE(reader.ReadFor(20).isEmpty());
    EXPECT_EQ(reader.Read(18).size(), 18);
}

TEST_F(PtyEndpointTest, NoReplyAndUnsolicitedBytes) {
    AddFault("noreply,order=3,times=1");
    port.write(Request(3));
    EXPECT_TRUE(reader.ReadFor(250).isEmpty());
    server.SendUnsolicited(QByteArray(4, '\x7F'));
    EXPECT_EQ(reader.Read(4), QByteArray(4, '\x7F'));
}

TEST_F(PtyEndpointTest, ClosingTheConversationOpensAFreshTerminalAtTheLink) {
    const QString before = server.PtyPath();
    const int fd = ::open(before.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    server.CloseConversation();
    // The old line is dead: reading it ends at once.
    char byte = 0;
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    EXPECT_LE(::read(fd, &byte, 1), 0);
    ::close(fd);

    EXPECT_NE(server.PtyPath(), before);
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
    port.close();
    ASSERT_TRUE(OpenSerial(port, link));
    EXPECT_EQ(Exchange(Request(7)).size(), 36);
}

TEST(PtyLinkTest, AStaleLinkIsReplacedAndRemovedAtTheEnd) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("tty"));
    ASSERT_EQ(::symlink("/dev/null", link.toLocal8Bit().constData()), 0);
    {
        SimServer server;
        ASSERT_TRUE(server.OpenPty(link)) << server.LastError().toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
    }
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(PtyLinkTest, ARegularFileIsNotOverwritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    SimServer server;
    EXPECT_FALSE(server.OpenPty(path));
    EXPECT_EQ(server.LastError(), path + QStringLiteral(" exists and is not a symbolic link"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
}

TEST(PtyWithoutLinkTest, WorksWithTheDevicePathAlone) {
    SimServer server;
    ASSERT_TRUE(server.OpenPty());
    EXPECT_TRUE(server.PtyLink().isEmpty());
    QSerialPort port;
    ASSERT_TRUE(OpenSerial(port, server.PtyPath()));
    port.write(Request(7));
    DeviceReader reader(&port);
    EXPECT_EQ(reader.Read(36).size(), 36);
}

}  // namespace
}  // namespace tvx::sim
