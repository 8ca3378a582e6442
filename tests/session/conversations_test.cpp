// GET, SEND and the data frame as every program holds them: the requests in their order, the
// judgement of each reply, and a broken read that leaves the set as it was.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "conversations.h"
#include "frames.h"
#include "orders.h"

namespace tvx {
namespace {

// The sensor's side of a read: a reply to each request, as a script of one letter per request
// (T the right reply, M none, W a reply to another order, R a reply naming another row).
std::array<std::uint8_t, kFrameBytes> ReplyTo(const ConversationStep& step, char kind) {
    std::uint16_t words[anzframe] = {sync, step.order, step.row};
    if (kind == 'W') words[1] = static_cast<std::uint16_t>(step.order + 1);
    if (kind == 'R') words[2] = static_cast<std::uint16_t>(step.row + 1);
    if (step.order == kOrderReadModes)
        for (int i = 0; i < 16; ++i) words[2 + i] = static_cast<std::uint16_t>(100 + i);
    if (step.order == kOrderReadTeachRow)
        for (int i = 0; i < 6; ++i) words[3 + i] = static_cast<std::uint16_t>(1000 * step.row + i);
    std::array<std::uint8_t, kFrameBytes> bytes{};
    PackWords(bytes.data(), words, anzframe);
    return bytes;
}

struct ReadCase {
    const char* name;
    bool eeprom;
    std::string replies;   // one letter per request made, in order
    std::string requests;  // the requests made: "8 3 4/0 4/1 ..."
    bool failed;
    ReplyVerdict failure;
    ConversationStep failedStep;
};

std::string AllRows() {
    std::string rows;
    for (int r = 0; r < kTeachRows; ++r) rows += " 4/" + std::to_string(r);
    return rows;
}

TEST(ParameterRead, AsksInOrderAndStopsWhereTheScopeAlwaysStopped) {
    const std::string fifteen(kTeachRows, 'T');
    const std::vector<ReadCase> cases = {
        {"whole set from RAM",
         false,
         "T" + fifteen,
         "3" + AllRows(),
         false,
         ReplyVerdict::Taken,
         {}},
        {"whole set from EEPROM",
         true,
         "TT" + fifteen,
         "8 3" + AllRows(),
         false,
         ReplyVerdict::Taken,
         {}},
        // No answer to order 3: row 0 is still asked for, then the read ends.
        {"order 3 missing", false, "MT", "3 4/0", true, ReplyVerdict::Missing, {3, 0}},
        {"order 3 missing, row 0 too", false, "MM", "3 4/0", true, ReplyVerdict::Missing, {3, 0}},
        {"order 3 answered by another order", false, "W", "3", true, ReplyVerdict::Wrong, {3, 0}},
        {"row 7 names another row",
         false,
         "TTTTTTTTR",
         "3 4/0 4/1 4/2 4/3 4/4 4/5 4/6 4/7",
         true,
         ReplyVerdict::Wrong,
         {4, 7}},
        {"row 14 missing",
         false,
         "T" + fifteen.substr(1) + "M",
         "3" + AllRows(),
         true,
         ReplyVerdict::Missing,
         {4, 14}},
        {"order 8 not echoed", true, "W", "8", true, ReplyVerdict::Wrong, {8, 0}},
        {"order 8 missing", true, "M", "8", true, ReplyVerdict::Missing, {8, 0}},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ParameterSet before;
        before.power = 7;
        before.ctt[3][1] = 33;
        ParameterRead read(c.eeprom, before);
        std::string requests;
        for (char kind : c.replies) {
            ASSERT_FALSE(read.Ended()) << "ended before reply " << requests;
            const ConversationStep step = read.Next();
            requests += (requests.empty() ? "" : " ") + std::to_string(step.order) +
                        (step.order == kOrderReadTeachRow ? "/" + std::to_string(step.row) : "");
            const auto reply = ReplyTo(step, kind);
            read.Take(kind != 'M', reply.data());
        }
        EXPECT_TRUE(read.Ended());
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(read.Failed(), c.failed);
        if (c.failed) {
            EXPECT_EQ(read.Failure(), c.failure);
            EXPECT_EQ(read.FailedStep(), c.failedStep);
        } else {
            EXPECT_EQ(read.Read().power, 100);
            EXPECT_EQ(read.Read().ctt[3][1], 3001);
            EXPECT_EQ(read.Read().groupbuf[14], 14005);
        }
    }
}

TEST(ParameterRead, TakesMaxColNoAsFifteenAtMost) {
    ParameterRead read(false, {});
    std::uint16_t words[anzframe] = {sync, kOrderReadModes};
    words[2 + kMaxcolno] = 40;
    std::array<std::uint8_t, kFrameBytes> reply{};
    PackWords(reply.data(), words, anzframe);
    EXPECT_EQ(read.Take(true, reply.data()), ReplyVerdict::Taken);
    EXPECT_EQ(read.Read().maxcolno, 15u);
}

TEST(Conversations, RequestsAndSendStepsAreTheWireFrames) {
    ParameterImage image{};
    for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<std::uint16_t>(k + 1);
    const auto steps = ParameterWriteSteps();
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_EQ(steps.front(), (ConversationStep{kOrderWriteModes, 0}));
    EXPECT_EQ(steps.back(), (ConversationStep{kOrderWriteTeachRow, 14}));

    struct FrameCase {
        ConversationStep step;
        bool withImage;
        std::vector<std::uint16_t> words;  // the frame's first words; the rest are checked zero
        int zeroFrom;
    };
    const std::vector<FrameCase> cases = {
        {{kOrderWriteModes, 0},
         true,
         {sync, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         18},
        {{kOrderWriteTeachRow, 2}, true, {sync, 2, 2, 29, 30, 31, 32, 33, 34}, 9},
        {{kOrderReadTeachRow, 9}, false, {sync, 4, 9}, 3},
        {{kOrderData, 0}, false, {sync, 5}, 2},
        {{kOrderVersion, 0}, false, {sync, 7}, 2},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.step.order);
        const QByteArray frame = RequestFrame(c.step, c.withImage ? &image : nullptr);
        ASSERT_EQ(frame.size(), kFrameBytes);
        std::uint16_t words[anzframe];
        UnpackWords(reinterpret_cast<const std::uint8_t*>(frame.constData()), words, anzframe);
        for (std::size_t i = 0; i < c.words.size(); ++i) EXPECT_EQ(words[i], c.words[i]) << i;
        for (int i = c.zeroFrom; i < anzframe; ++i) EXPECT_EQ(words[i], 0) << i;
    }
}

TEST(Conversations, ADataFrameIsTakenOnlyWhole) {
    std::uint16_t words[anzframe] = {sync, kOrderData, 11, 12, 13, 14, 15, 16, 3, 0, 0, 0, 27, 2};
    ExchangeResult result;
    result.expected = kFrameBytes;
    result.arrived = kFrameBytes;
    result.reply.resize(kFrameBytes);
    PackWords(reinterpret_cast<std::uint8_t*>(result.reply.data()), words, anzframe);
    const auto values = DataFrameOf(result);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->dataR, 11);
    EXPECT_EQ(values->dataINT, 16);
    EXPECT_EQ(values->dataCOL, 3);
    EXPECT_EQ(values->dataTemp, 27);
    EXPECT_EQ(values->dataGroup, 2);

    result.outcome = LinkOutcome::ShortReply;
    result.arrived = 20;
    result.reply.truncate(20);
    EXPECT_FALSE(DataFrameOf(result));
}

}  // namespace
}  // namespace tvx
