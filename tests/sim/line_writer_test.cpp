// How reply plans go onto the line: pauses, baud pacing, bytes that travel together, closing.

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "line_writer.h"
#include "sim_test_util.h"

namespace tvx::sim {
namespace {

// Records every write the line takes, with the time it came.
struct Line {
    std::vector<QByteArray> writes;
    std::vector<qint64> at;
    int closes = 0;
    QElapsedTimer clock;
    LineWriter writer{[this](const QByteArray& bytes) {
                          writes.push_back(bytes);
                          at.push_back(clock.elapsed());
                          return static_cast<qint64>(bytes.size());
                      },
                      [this] { ++closes; }};

    Line() { clock.start(); }
    QByteArray All() const {
        QByteArray all;
        for (const QByteArray& w : writes) all += w;
        return all;
    }
    // Serves events until the writer has nothing left, at most ms.
    void Drain(int ms) {
        QElapsedTimer waited;
        waited.start();
        while (!writer.Idle() && waited.elapsed() < ms) test::ServeEvents(5);
    }
};

const QByteArray kReply = test::Request(5, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});

TEST(LineWriterTest, WithoutPacingAReplyIsOneWrite) {
    Line line;
    line.writer.Enqueue({ReplyStep{0, kReply, false}});
    ASSERT_EQ(line.writes.size(), 1u) << "written at once, before Enqueue returns";
    EXPECT_EQ(line.writes[0], kReply);
}

TEST(LineWriterTest, PacedBytesLeaveOneByOneAtTheBaudRate) {
    Line line;
    line.writer.SetBaud(19200);
    line.writer.Enqueue({ReplyStep{0, kReply, false}});
    line.Drain(3000);
    EXPECT_EQ(line.All(), kReply);
    EXPECT_GT(line.writes.size(), 5u);
    EXPECT_GE(line.at.back(), 18) << "36 bytes of 10 bits at 19200 baud: 18.75 ms";
}

TEST(LineWriterTest, BytesThatTravelTogetherLeaveInOneWrite) {
    // 1000 baud: 10 ms a byte, far above the timer's step, so every byte is a write of its own
    // unless it travels with the one before.
    Line line;
    line.writer.SetBaud(1000);
    ReplyStep step{0, "abcdeXY", false};
    step.together = 2;
    line.writer.Enqueue({step});
    line.Drain(3000);
    EXPECT_EQ(line.All(), QByteArray("abcdeXY"));
    ASSERT_FALSE(line.writes.empty());
    EXPECT_EQ(line.writes.back(), QByteArray("eXY"));
    // Never a moment with only the reply itself on the line.
    qsizetype sent = 0;
    for (const QByteArray& w : line.writes) {
        sent += w.size();
        EXPECT_NE(sent, 5);
    }
}

TEST(LineWriterTest, PausesSeparateTheSteps) {
    Line line;
    line.writer.Enqueue({ReplyStep{0, "ab", false}, ReplyStep{200, "cd", false}});
    line.Drain(3000);
    ASSERT_EQ(line.writes.size(), 2u);
    EXPECT_EQ(line.writes[1], QByteArray("cd"));
    EXPECT_GE(line.at[1] - line.at[0], 200);
}

TEST(LineWriterTest, PlansQueueBehindEachOther) {
    Line line;
    line.writer.Enqueue({ReplyStep{100, "first", false}});
    line.writer.Enqueue({ReplyStep{0, "second", false}});
    line.Drain(3000);
    EXPECT_EQ(line.All(), QByteArray("firstsecond"));
}

TEST(LineWriterTest, ACloseStepEndsTheConversationAndDropsWhatFollows) {
    Line line;
    line.writer.Enqueue({ReplyStep{0, "bye", true}, ReplyStep{0, "lost", false}});
    line.Drain(1000);
    EXPECT_EQ(line.All(), QByteArray("bye"));
    EXPECT_EQ(line.closes, 1);
}

TEST(LineWriterTest, ClearDropsWhatIsNotYetWritten) {
    Line line;
    line.writer.Enqueue({ReplyStep{100, "late", false}});
    line.writer.Clear();
    EXPECT_TRUE(line.writer.Idle());
    test::ServeEvents(200);
    EXPECT_TRUE(line.writes.empty());
}

}  // namespace
}  // namespace tvx::sim
