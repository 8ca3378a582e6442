// Faults as written on the command line, and which requests they hit.

#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::ParseFault;
using test::Request;

constexpr int D = Fault::kDefault;
constexpr int kAll = Fault::kAllOrders;
constexpr int kAlways = Fault::kAlways;

TEST(FaultParseTest, KindsParametersAndOptions) {
    const struct {
        const char* text;
        FaultKind kind;
        int a, b, order, times, skip;
        bool canonical;  // written back the same
    } cases[] = {
        {"noreply", FaultKind::NoReply, D, D, kAll, kAlways, 0, true},
        {"short:20,order=5,times=2,skip=3", FaultKind::ShortReply, 20, D, 5, 2, 3, true},
        {"long", FaultKind::LongReply, D, D, kAll, kAlways, 0, true},
        {"split:10:250", FaultKind::SplitReply, 10, 250, kAll, kAlways, 0, true},
        {"delay:700,order=19", FaultKind::DelayedReply, 700, D, 19, kAlways, 0, true},
        {"delay,times=always", FaultKind::DelayedReply, D, D, kAll, kAlways, 0, false},
        {"badsync:0x56,times=once,order=all", FaultKind::WrongSync, 0x56, D, kAll, 1, 0, false},
        {"badorder:7,order=8", FaultKind::WrongOrder, 7, D, 8, kAlways, 0, true},
        {"disconnect:2,order=3", FaultKind::Disconnect, 2, D, 3, kAlways, 0, true},
        {"unsolicited:4:50,times=1", FaultKind::Unsolicited, 4, 50, kAll, 1, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Fault f = ParseFault(QString::fromLatin1(c.text));
        EXPECT_EQ(f.kind, c.kind);
        EXPECT_EQ((std::vector{f.a, f.b, f.order, f.times, f.skip}),
                  (std::vector{c.a, c.b, c.order, c.times, c.skip}));
        EXPECT_TRUE(!c.canonical || f.ToString() == QLatin1String(c.text))
            << f.ToString().toStdString();
    }
}

TEST(FaultParseTest, BadFaultsAreRejectedWithAReason) {
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
        // Sizes and times are bounded, so no request allocates gigabytes.
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

// Whether a request's reply comes whole (1), not at all (0), or the conversation ends (-1).
int Outcome(FaultPlan& plan, std::uint16_t order, bool answered = true) {
    const ReplyPlan out = plan.Apply(order, answered ? Request(order) : QByteArray());
    if (!out.empty() && out.back().close) return -1;
    return out.empty() ? 0 : 1;
}

TEST(FaultPlanTest, OrderTimesAndSkipSelectTheRequestsHit) {
    FaultPlan plan;
    EXPECT_EQ(Outcome(plan, 1, false), 0) << "no reply, no plan";
    plan.Add(ParseFault(QStringLiteral("noreply,order=5,times=2,skip=1")));
    EXPECT_EQ((std::vector{Outcome(plan, 5), Outcome(plan, 3), Outcome(plan, 5), Outcome(plan, 5),
                           Outcome(plan, 5)}),
              (std::vector{1, 1, 0, 0, 1}))
        << "skipped, another order, hit twice, used up";

    FaultPlan passOver;
    passOver.Add(ParseFault(QStringLiteral("noreply,times=once")));
    Outcome(passOver, 1, false);
    EXPECT_EQ(Outcome(passOver, 3), 0) << "a reply fault hits the first answered request";
    EXPECT_EQ(Outcome(passOver, 4), 1);

    FaultPlan third;
    third.Add(ParseFault(QStringLiteral("disconnect:3,times=once")));
    EXPECT_EQ((std::vector{Outcome(third, 4), Outcome(third, 4), Outcome(third, 1, false),
                           Outcome(third, 4)}),
              (std::vector{1, 1, -1, 1}))
        << "requests without a reply count too; once only";

    FaultPlan atOnce;
    atOnce.Add(ParseFault(QStringLiteral("disconnect,order=5")));
    EXPECT_EQ(Outcome(atOnce, 7), 1);
    const ReplyPlan cut = atOnce.Apply(5, Request(5));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(cut[0].close);
    EXPECT_TRUE(cut[0].bytes.isEmpty()) << "closed before replying";

    FaultPlan unsolicited;
    unsolicited.Add(ParseFault(QStringLiteral("unsolicited:5:200,order=1")));
    const ReplyPlan extra = unsolicited.Apply(1, {});
    ASSERT_EQ(extra.size(), 1u) << "also after a request without reply";
    EXPECT_EQ(extra[0].waitMs, 200);
    EXPECT_EQ(extra[0].bytes, QByteArray(5, '\xCC'));
    EXPECT_EQ(Outcome(unsolicited, 5), 1);
    ASSERT_EQ(unsolicited.Faults().size(), 1u);
    EXPECT_EQ(unsolicited.Faults()[0].kind, FaultKind::Unsolicited);
}

TEST(FaultPlanTest, StepsOfATimedReplyAndExtraBytesLeavingWithTheLastOne) {
    const QByteArray reply = Request(5, {1, 2, 3});
    FaultPlan plan;
    plan.Add(ParseFault(QStringLiteral("delay:300")));
    plan.Add(ParseFault(QStringLiteral("split:10:50")));
    plan.Add(ParseFault(QStringLiteral("long:3,times=1")));
    const ReplyPlan out = plan.Apply(5, reply);
    std::vector<std::pair<int, qsizetype>> steps;
    for (const ReplyStep& step : out) steps.emplace_back(step.waitMs, step.bytes.size());
    EXPECT_EQ(steps,
              (std::vector<std::pair<int, qsizetype>>{{300, 10}, {50, 10}, {50, 10}, {50, 9}}));
    EXPECT_EQ(out.back().together, 3);
    EXPECT_EQ(plan.Faults().size(), 3u) << "used up, yet listed";
}

}  // namespace
}  // namespace tvx::sim
