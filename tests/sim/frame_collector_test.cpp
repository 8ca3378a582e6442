// Cutting the received byte stream into request frames.

#include <gtest/gtest.h>

#include "frame_collector.h"
#include "sim_test_util.h"

namespace tvx::sim {
namespace {

using test::Request;

TEST(FrameCollectorTest, FramesSplitAnywhereAreJoined) {
    const QByteArray stream = Request(3) + Request(4, {7}) + Request(5);
    for (int chunk : {1, 5, 35, 36, 37, 100}) {
        FrameCollector collector;
        std::vector<QByteArray> frames;
        for (int pos = 0; pos < stream.size(); pos += chunk) {
            for (QByteArray& f : collector.Feed(stream.mid(pos, chunk))) frames.push_back(f);
        }
        ASSERT_EQ(frames.size(), 3u) << "chunk " << chunk;
        EXPECT_EQ(frames[0], Request(3));
        EXPECT_EQ(frames[1], Request(4, {7}));
        EXPECT_EQ(frames[2], Request(5));
        EXPECT_EQ(collector.Pending(), 0);
    }
}

TEST(FrameCollectorTest, BytesBeforeASyncWordAreDropped) {
    FrameCollector collector;
    auto frames = collector.Feed(QByteArray("\x12\x55\x00", 3));
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(collector.Pending(), 1) << "a lone 0x00 may begin a sync word";
    frames = collector.Feed(Request(7).mid(1) + QByteArray("\xFF\x00\x56", 3) + Request(8));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], Request(7));
    EXPECT_EQ(frames[1], Request(8));
    EXPECT_EQ(collector.Dropped(), 2 + 3);
}

TEST(FrameCollectorTest, ResetForgetsAHalfFrame) {
    FrameCollector collector;
    collector.Feed(Request(3).left(20));
    collector.Reset();
    EXPECT_TRUE(collector.Feed(Request(4).left(20)).empty());
    const auto frames = collector.Feed(Request(4).mid(20));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], Request(4));
}

}  // namespace
}  // namespace tvx::sim
