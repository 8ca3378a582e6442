// Which faults hit which request, and what they make of the reply.

#include <gtest/gtest.h>

#include "fault_plan.h"
#include "sim_test_util.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;

Fault ParseOk(const char* text) {
    QString error;
    auto fault = Fault::Parse(QString::fromLatin1(text), &error);
    EXPECT_TRUE(fault) << text << ": " << error.toStdString();
    return fault.value_or(Fault{});
}

// The bytes a plan puts on the line, joined.
QByteArray Bytes(const ReplyPlan& plan) {
    QByteArray all;
    for (const ReplyStep& step : plan) all += step.bytes;
    return all;
}

const QByteArray kReply = Request(5, {1, 2, 3});

TEST(FaultParseTest, KindsParametersAndOptions) {
    Fault f = ParseOk("short:20,order=5,times=2,skip=3");
    EXPECT_EQ(f.kind, FaultKind::ShortReply);
    EXPECT_EQ(f.a, 20);
    EXPECT_EQ(f.order, 5);
    EXPECT_EQ(f.times, 2);
    EXPECT_EQ(f.skip, 3);

    f = ParseOk("split:10:250");
    EXPECT_EQ(f.kind, FaultKind::SplitReply);
    EXPECT_EQ(f.a, 10);
    EXPECT_EQ(f.b, 250);
    EXPECT_EQ(f.order, Fault::kAllOrders);
    EXPECT_EQ(f.times, Fault::kAlways);

    f = ParseOk("badsync:0x56,times=once,order=all");
    EXPECT_EQ(f.kind, FaultKind::WrongSync);
    EXPECT_EQ(f.a, 0x56);
    EXPECT_EQ(f.times, 1);

    EXPECT_EQ(ParseOk("noreply").kind, FaultKind::NoReply);
    EXPECT_EQ(ParseOk("long").kind, FaultKind::LongReply);
    EXPECT_EQ(ParseOk("delay:5").kind, FaultKind::DelayedReply);
    EXPECT_EQ(ParseOk("badorder:7,order=8").kind, FaultKind::WrongOrder);
    EXPECT_EQ(ParseOk("disconnect:3").kind, FaultKind::Disconnect);
    EXPECT_EQ(ParseOk("unsolicited:4:50").kind, FaultKind::Unsolicited);
    EXPECT_EQ(ParseOk("delay,times=always").times, Fault::kAlways);
}

TEST(FaultParseTest, TextRoundTrips) {
    for (const char* text :
         {"noreply", "short:20,order=5,times=2,skip=3", "split:10:250", "delay:700,order=19",
          "unsolicited:4:50,times=1", "disconnect:2,order=3"}) {
        EXPECT_EQ(ParseOk(text).ToString().toStdString(), text);
    }
}

TEST(FaultParseTest, BadSpecsAreRejectedWithAReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {"explode", "unknown kind \"explode\""},
        {"", "unknown kind \"\""},
        {"noreply:3", "\"noreply\" takes at most 0 parameter(s)"},
        {"short:1:2", "\"short\" takes at most 1 parameter(s)"},
        {"short:x", "bad parameter \"x\""},
        {"delay:-5", "bad parameter \"-5\""},
        // Sizes and times an option can ask for are bounded, so no request allocates gigabytes.
        {"unsolicited:1835518355", "parameter \"1835518355\" is above 65536"},
        {"split:18:3600001", "parameter \"3600001\" is above 3600000"},
        {"badsync:0x10000", "parameter \"0x10000\" is above 65535"},
        {"delay,order=five", "bad order \"five\""},
        {"delay,times=0", "bad times \"0\""},
        {"delay,skip=-1", "bad skip \"-1\""},
        {"delay,when=now", "unknown option \"when\""},
        {"delay,order", "expected KEY=VALUE, got \"order\""},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(Fault::Parse(QString::fromLatin1(c.text), &error)) << c.text;
        EXPECT_EQ(error.toStdString(), QStringLiteral("fault \"%1\": %2")
                                           .arg(QString::fromLatin1(c.text), c.reason)
                                           .toStdString());
    }
}

TEST(FaultPlanTest, WithoutFaultsTheReplyGoesOutWhole) {
    FaultPlan plan;
    const ReplyPlan out = plan.Apply(5, kReply);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].waitMs, 0);
    EXPECT_EQ(out[0].bytes, kReply);
    EXPECT_FALSE(out[0].close);
    EXPECT_TRUE(plan.Apply(1, {}).empty());
}

TEST(FaultPlanTest, ReplyFaultsChangeTheBytes) {
    {
        FaultPlan plan;
        plan.Add(ParseOk("noreply"));
        EXPECT_TRUE(plan.Apply(5, kReply).empty());
    }
    {
        FaultPlan plan;
        plan.Add(ParseOk("short"));
        EXPECT_EQ(Bytes(plan.Apply(5, kReply)), kReply.left(35));
        plan.Clear();
        plan.Add(ParseOk("short:4"));
        EXPECT_EQ(Bytes(plan.Apply(5, kReply)), kReply.left(4));
    }
    {
        FaultPlan plan;
        plan.Add(ParseOk("long:3"));
        const ReplyPlan out = plan.Apply(5, kReply);
        EXPECT_EQ(Bytes(out), kReply + QByteArray(3, '\xEE'));
        EXPECT_EQ(out.back().together, 3) << "the extra bytes leave with the last reply byte";
    }
    {
        FaultPlan plan;
        plan.Add(ParseOk("badsync"));
        plan.Add(ParseOk("badorder"));
        const QByteArray out = Bytes(plan.Apply(5, kReply));
        EXPECT_EQ(WordAt(out, 0), 0x56);
        EXPECT_EQ(WordAt(out, 1), 6);
        EXPECT_EQ(out.mid(4), kReply.mid(4));
        plan.Clear();
        plan.Add(ParseOk("badorder:7"));
        EXPECT_EQ(WordAt(Bytes(plan.Apply(8, Request(8))), 1), 7);
    }
}

TEST(FaultPlanTest, TimingFaultsShapeTheSteps) {
    FaultPlan plan;
    plan.Add(ParseOk("delay:300"));
    plan.Add(ParseOk("split:10:50"));
    const ReplyPlan out = plan.Apply(5, kReply);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].waitMs, 300);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(out[i].waitMs, 50);
    EXPECT_EQ(out[3].bytes.size(), 6);
    EXPECT_EQ(Bytes(out), kReply);
}

TEST(FaultPlanTest, OrderTimesAndSkipSelectTheRequestsHit) {
    FaultPlan plan;
    plan.Add(ParseOk("noreply,order=5,times=2,skip=1"));
    EXPECT_FALSE(plan.Apply(5, kReply).empty()) << "skipped";
    EXPECT_FALSE(plan.Apply(3, Request(3)).empty()) << "another order";
    EXPECT_TRUE(plan.Apply(5, kReply).empty());
    EXPECT_TRUE(plan.Apply(5, kReply).empty());
    EXPECT_FALSE(plan.Apply(5, kReply).empty()) << "used up";
}

TEST(FaultPlanTest, ReplyFaultsPassOverRequestsWithoutReply) {
    FaultPlan plan;
    plan.Add(ParseOk("noreply,times=once"));
    EXPECT_TRUE(plan.Apply(1, {}).empty());
    EXPECT_TRUE(plan.Apply(2, {}).empty());
    EXPECT_TRUE(plan.Apply(3, Request(3)).empty()) << "the first answered request is hit";
    EXPECT_FALSE(plan.Apply(4, Request(4)).empty());
}

TEST(FaultPlanTest, DisconnectClosesAfterTheNthMatchingReply) {
    FaultPlan plan;
    plan.Add(ParseOk("disconnect:3,times=once"));
    for (int i = 0; i < 2; ++i) {
        const ReplyPlan out = plan.Apply(4, Request(4));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_FALSE(out.back().close);
    }
    const ReplyPlan third = plan.Apply(1, {});
    ASSERT_EQ(third.size(), 1u) << "counts requests without reply too";
    EXPECT_TRUE(third.back().close);
    EXPECT_FALSE(plan.Apply(4, Request(4)).back().close) << "once only";

    FaultPlan atOnce;
    atOnce.Add(ParseOk("disconnect,order=5"));
    EXPECT_FALSE(atOnce.Apply(7, Request(7)).back().close);
    const ReplyPlan cut = atOnce.Apply(5, kReply);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(cut[0].close);
    EXPECT_TRUE(cut[0].bytes.isEmpty()) << "closed before replying";
}

TEST(FaultPlanTest, UnsolicitedBytesFollowTheReplyAfterAPause) {
    FaultPlan plan;
    plan.Add(ParseOk("unsolicited:5:200,order=1"));
    const ReplyPlan out = plan.Apply(1, {});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].waitMs, 200);
    EXPECT_EQ(out[0].bytes, QByteArray(5, '\xCC'));
    const ReplyPlan none = plan.Apply(5, kReply);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].bytes, kReply);
}

TEST(FaultPlanTest, FaultsListedAsAddedEvenWhenUsedUp) {
    FaultPlan plan;
    plan.Add(ParseOk("noreply,times=1"));
    plan.Add(ParseOk("delay:5"));
    plan.Apply(5, kReply);
    const auto faults = plan.Faults();
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(faults[0].kind, FaultKind::NoReply);
    EXPECT_EQ(faults[1].kind, FaultKind::DelayedReply);
}

}  // namespace
}  // namespace tvx::sim
