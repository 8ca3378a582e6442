// The simulator on its two lines, TCP loopback and a pseudo-terminal, seen by a plain client.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QFileInfo>
#include <QTemporaryDir>

#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;

class WireTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(GetParam() ? server.ListenTcp(0) : server.OpenPty())
            << server.LastError().toStdString();
        ASSERT_TRUE(client.Open());
    }
    SimServer server;
    test::Client client{server, GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Lines, WireTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Tcp" : "Pty"; });

// Each fault, once, on the reply to order 3 (a teach-row read for those that only hit one): the
// bytes the client sees, whether the simulator ends the conversation, and that the next request
// is answered as usual.
TEST_P(WireTest, EachFaultPutsItsBytesOnTheLine) {
    const QByteArray reply = client.Exchange(Request(3));
    ASSERT_EQ(reply.size(), 36);
    const QByteArray row0 = client.Exchange(Request(4, {0}));
    ASSERT_EQ(WordAt(row0, 3), 2047) << "row 0 is taught";
    const QByteArray badSync = QByteArray(reply).replace(0, 2, QByteArray("\x00\x56", 2));
    const QByteArray badOrder = QByteArray(reply).replace(2, 2, QByteArray("\x00\x04", 2));
    const struct {
        const char* fault;
        QByteArray first;  // what arrives at once
        double quiet;      // seconds after it in which nothing comes
        QByteArray rest;   // what comes after that
        bool ends;
        int row = -1;  // the teach row read (order 4) instead of order 3
    } cases[] = {
        {"noreply", {}, 0.3, {}, false},
        {"short", reply.left(35), 0.1, {}, false},
        {"short:4", reply.left(4), 0.1, {}, false},
        {"long:3", reply + QByteArray(3, '\xEE'), 0.1, {}, false},
        {"split:18:300", reply.left(18), 0.1, reply.mid(18), false},
        {"split:10:50", reply, 0, {}, false},
        {"delay:300", {}, 0.1, reply, false},
        {"badsync", badSync, 0.1, {}, false},
        {"badorder", badOrder, 0.1, {}, false},
        {"badrow", row0, 0.1, {}, false, 14},  // the last row answered for the first
        {"disconnect", {}, 0, {}, true},
        // A terminal that is closed takes what its reader has not yet read with it.
        {"disconnect:1", GetParam() ? reply : QByteArray(), 0, {}, true},
        {"unsolicited:5:200", reply, 0.05, QByteArray(5, '\xCC'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        const QByteArray request =
            c.row < 0 ? Request(3) : Request(4, {static_cast<std::uint16_t>(c.row)});
        const QByteArray usual = client.Exchange(request);
        server.AddFault(test::ParseFault(
            QStringLiteral("%1,order=%2,times=once").arg(c.fault).arg(c.row < 0 ? 3 : 4)));
        client.Send(request);
        EXPECT_EQ(client.Read(c.first.size()), c.first);
        EXPECT_TRUE(c.quiet == 0 || client.ReadFor(c.quiet).isEmpty());
        EXPECT_EQ(client.Read(c.rest.size()), c.rest);
        if (c.ends) {
            ASSERT_TRUE(client.Ended());
            ASSERT_TRUE(client.Open());
        }
        EXPECT_TRUE(client.ReadFor(0.1).isEmpty());
        EXPECT_EQ(client.Exchange(request), usual) << "the fault is used up";
    }
    EXPECT_EQ(server.Faults().size(), std::size(cases));
    server.AddFault(test::ParseFault(QStringLiteral("noreply")));
    server.ClearFaults();
    EXPECT_EQ(client.Exchange(Request(3)), reply);
}

TEST_P(WireTest, PacedBytesUnsolicitedBytesAndAClosedConversation) {
    server.SetBaud(19200);
    EXPECT_EQ(client.Exchange(Request(7)).size(), 36);
    server.SendUnsolicited(QByteArray(40, '\x7F'));
    EXPECT_FALSE(server.LinesIdle()) << "40 bytes at 19200 baud take about 21 ms";
    ASSERT_TRUE(server.WaitForLinesIdle(5000));
    EXPECT_EQ(client.Read(40), QByteArray(40, '\x7F'));

    EXPECT_EQ(server.Requests().back().endpoint, QLatin1String(GetParam() ? "tcp" : "pty"));
    server.CloseConversation();
    ASSERT_TRUE(client.Ended());
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(client.Exchange(Request(7)).size(), 36);
}

TEST(PtyLineTest, TheLinkFollowsTheTerminalReplacesAStaleLinkAndSparesOtherFiles) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("tty")), notes = dir.filePath("notes");
    ASSERT_EQ(::symlink("/dev/null", link.toLocal8Bit().constData()), 0);
    {
        SimServer server;
        ASSERT_TRUE(server.OpenPty(link)) << server.LastError().toStdString();
        EXPECT_TRUE(server.PtyPath().startsWith(QStringLiteral("/dev/pts/")));
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
        server.CloseConversation();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
    }
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the simulator";
    ASSERT_TRUE(QFile(notes).open(QIODevice::WriteOnly));
    SimServer server;
    EXPECT_FALSE(server.OpenPty(notes));
    EXPECT_EQ(server.LastError(), notes + QStringLiteral(" exists and is not a symbolic link"));
    EXPECT_TRUE(QFileInfo(notes).isFile() && !QFileInfo(notes).isSymLink());
}

}  // namespace
}  // namespace tvx::sim
