// A sensor that ages while it runs: frames fetched over TCP loopback on the test's clock show the
// point drifting, the light fading and the sensor warming at their rates times the time scale, and
// the recognition margin of row 0 falling with them.

#include <gtest/gtest.h>

#include <cstdio>

#include "parameter_image.h"
#include "recognition_margin.h"
#include "sim_fixture.h"
#include "sim_options.h"

namespace tvx::sim {
namespace {

using test::Request;

// "X Y INT TEMP C-No margin", the margin starred when it is the nearest row's for C-No 255.
std::string Describe(const QByteArray& frame, const ParameterSet& params) {
    const LiveValues live = DecodeDataFrame(reinterpret_cast<const std::uint8_t*>(frame.data()));
    const auto margin = MarginTable(params).Evaluate(live);
    char text[96];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %s%.2f", live.dataX, live.dataY, live.dataINT,
                  live.dataTemp, live.dataCOL, margin && margin->reported ? "" : "*",
                  margin ? margin->first.margin : 9.0);
    return text;
}

// The start-up sample, 2000 1200 800 at 25 °C, sits on row 0's centre: X 2047, Y 1228, INT 1333.
// At time scale 600 a millisecond of the clock is a tenth of a minute.
TEST(AgeingTest, FramesShowTheDriftTheFadingLightAndTheWarmingAtTheirRates) {
    const struct {
        QStringList args;
        std::int64_t ms;
        const char* frame;
    } cases[] = {
        {{"--time-scale", "600", "--drift", "1 0 10"}, 0, "2047 1228 1333 25 0 1.00"},
        {{"--time-scale", "600", "--drift", "1 0 10"}, 500, "2097 1228 1333 25 0 0.50"},
        {{"--time-scale", "600", "--drift", "1 0 10"}, 1100, "2157 1228 1333 25 255 *-0.10"},
        {{"--time-scale", "600", "--drift", "3 4 5"}, 6000, "2227 1468 1333 25 255 *-1.00"},
        {{"--time-scale", "600", "--drift", "0 -1 100"}, 6000, "2047 0 1333 25 255 *-1.00"},
        {{"--drift", "1 0 10"}, 60000, "2057 1228 1333 25 0 0.90"},
        {{"--time-scale", "600", "--decay", "1"}, 500, "2047 1228 1268 25 0 0.35"},
        {{"--time-scale", "600", "--decay", "1"}, 6000, "2046 1229 729 25 255 *-1.00"},
        {{"--time-scale", "600", "--temp-ramp", "0.5"}, 6000, "2047 1228 1333 55 0 1.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + " at " + std::to_string(c.ms) + " ms");
        const auto options = ParseSimOptions(c.args, nullptr);
        ASSERT_TRUE(options);
        SimServer server;
        ASSERT_TRUE(server.ListenTcp(0));
        server.SetAgeing(options->ageing);
        server.SetClock([&] { return c.ms; });
        test::Client client(server, true);
        ASSERT_TRUE(client.Open());
        EXPECT_EQ(Describe(client.Exchange(Request(5)), ParameterSetOf(server.State().ram)),
                  c.frame);
    }
}

}  // namespace
}  // namespace tvx::sim
