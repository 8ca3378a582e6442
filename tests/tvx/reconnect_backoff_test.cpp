// The wait between attempts on a failed link, as sensors and brokers are tried again.
#include <gtest/gtest.h>

#include <vector>

#include "reconnect_backoff.h"

namespace tvx::cli {
namespace {

TEST(ReconnectBackoff, DoublesFromOneSecondToItsLongestAndStartsOverOnceUp) {
    // 'f': an attempt failed, the wait before the next is expected; 'u': the link came up.
    constexpr double kSensor = ReconnectBackoff::kLongestSeconds;
    constexpr double kBroker = ReconnectBackoff::kBrokerLongestSeconds;
    const struct {
        const char* events;
        std::vector<double> waits;
        double longest = kSensor;
    } cases[] = {
        {"f", {1}},
        {"fffff", {1, 2, 4, 8, 16}},
        {"ffffffff", {1, 2, 4, 8, 16, 30, 30, 30}},
        {"fffufff", {1, 2, 4, 1, 2, 4}},
        {"ffffffuf", {1, 2, 4, 8, 16, 30, 1}},
        {"uuf", {1}},
        {"ffffff", {1, 2, 4, 5, 5, 5}, kBroker},
        {"ffffuf", {1, 2, 4, 5, 1}, kBroker},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.events);
        ReconnectBackoff backoff(c.longest);
        std::vector<double> waits;
        for (const char* e = c.events; *e != '\0'; ++e) {
            if (*e == 'u')
                backoff.Reset();
            else
                waits.push_back(backoff.NextWait());
        }
        EXPECT_EQ(waits, c.waits);
    }
}

}  // namespace
}  // namespace tvx::cli
