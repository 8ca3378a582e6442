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
        {"split:10:250", FaultKind::SplitReply, 10, 250, kAll, kAlways, 0, true},
        {"delay:700,order=19", FaultKind::DelayedReply, 700, D, 19, kAlways, 0, true},
        {"delay,times=always", FaultKind::DelayedReply, D, D, kAll, kAlways, 0, false},
        {"badsync:0x56,times=once,order=all", FaultKind::WrongSync, 0x56, D, kAll, 1, 0, false},
        {"badorder:7,order=8", FaultKind::WrongOrder, 7, D, 8, kAlways, 0, true},
        {"badrow:14,skip=5", FaultKind::WrongRow, 14, D, kAll, kAlways, 5, true},
        {"disconnect:2,order=3", FaultKind::Disconnect, 2, D, 3, kAlways, 0, true},
        {"unsolicited:4:50,times=1", FaultKind::Unsolicited, 4, 50, kAll, 1, 0, true},
        {"forget,order=1", FaultKind::Forget, D, D, 1, kAlways, 0, true},
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
        {"noreply:3", "\"noreply\" takes at most 0 parameter(s)"},
        {"short:1:2", "\"short\" takes at most 1 parameter(s)"},
        {"short:x", "bad parameter \"x\""},
        // Sizes and times are bounded, so no request allocates gigabytes.
        {"unsolicited:1835518355", "parameter \"1835518355\" is above 65536"},
        {"split:18:3600001", "parameter \"3600001\" is above 3600000"},
        {"badsync:0x10000", "parameter \"0x10000\" is above 65535"},
        {"badrow:15", "parameter \"15\" is above 14"},  // row + 15 is the row asked for
        {"badrow:0", "parameter \"0\" is below 1"},
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

// What a request gets (a negative order: one without reply; order 4 asks for row 0): nothing (0),
// the reply whole (1), bytes 0xCC (2), the reply for another row (3), or the end of the
// conversation (-1).
int Outcome(FaultPlan& plan, int order) {
    const auto o = static_cast<std::uint16_t>(std::abs(order));
    const auto rowReply = [](std::uint16_t row) { return Request(4, {row, 0x1234}); };
    const ReplyPlan out = plan.Apply(o, order > 0 ? Request(o) : QByteArray(), rowReply);
    if (out.empty()) return 0;
    if (out.back().close) return -1;
    if (out.back().bytes.startsWith('\xCC')) return 2;
    return out.back().bytes == rowReply(1) ? 3 : 1;
}

TEST(FaultPlanTest, OrderTimesAndSkipSelectTheRequestsHit) {
    const struct {
        const char* fault;
        std::vector<int> orders, outcomes;
    } cases[] = {
        {"", {-1, 5}, {0, 1}},
        {"noreply,order=5,times=2,skip=1", {5, 3, 5, 5, 5}, {1, 1, 0, 0, 1}},
        {"noreply,times=once", {-1, 3, 4}, {0, 0, 1}},  // the first request with a reply
        {"disconnect:3,times=once", {4, 4, -1, 4}, {1, 1, -1, 1}},  // requests without one count
        {"disconnect,order=5", {7, 5}, {1, -1}},
        {"unsolicited:5,order=1", {-1, 5}, {2, 1}},
        {"badrow,times=once", {3, -2, 5, 4, 4}, {1, 0, 1, 3, 1}},  // only row reads count
        {"badrow,skip=1", {4, 5, 4}, {1, 1, 3}},
    };
    for (const auto& c : cases) {
        FaultPlan plan;
        if (*c.fault) plan.Add(ParseFault(QString::fromLatin1(c.fault)));
        std::vector<int> outcomes;
        for (int order : c.orders) outcomes.push_back(Outcome(plan, order));
        EXPECT_EQ(outcomes, c.outcomes) << c.fault;
    }
}

}  // namespace
}  // namespace tvx::sim
