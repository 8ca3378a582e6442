// Recorded live frames played back by the simulated sensor: what it refuses, and the pace.

#include <gtest/gtest.h>

#include "sensor_model.h"
#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;
using U16s = std::vector<std::uint16_t>;

TEST(ReplayTest, MalformedRecordingsAreRefusedWithFileAndLine) {
    const QString head = "time,R,G,B,X,Y,INT,C-No,GROUP,TEMP\n", at = "2026-12-09T01:02:03.456Z";
    const QString time = "2026-12-09T01:02:03.456+01:00", values = ",20,12,8,1861,1116,13,0,0,25\n";
    const QString margins = "time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,MARGIN-ROW,SECOND\n";
    const std::pair<QString, const char*> cases[] = {
        {"\r\n" + time + values, "rec.csv:2: missing header: expected \"time,R,G,B,X,Y,INT,C-No,"},
        {"time,R,G,B,X,Y,INT,C-No,GROUP\n", "rec.csv:1: missing column \"TEMP\""},
        {"time,R,G,B,s,i,INT,C-No,GROUP,TEMP\n", "rec.csv:1: unknown column \"INT\""},
        {head + "\r\n", "rec.csv:1: no frame after the header"},
        {head + time + values + time + ",1,2,3\n", "rec.csv:3: expected 10 fields, found 4"},
        {head + at + values, "rec.csv:2: bad time stamp \"2026-12-09T01:02:03.456Z\": expected"},
        {head + "2026-02-30T01:02:03.456+01:00" + values, "rec.csv:2: bad time stamp \"2026-02-30"},
        {head + time + ",20,12,8,1861,1116,13,0,65536,25", "rec.csv:2: GROUP \"65536\" is not a"},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,SECOND\n",
         "rec.csv:1: missing column \"MARGIN-ROW\": MARGIN, MARGIN-ROW and SECOND come together"},
        {margins + time + values.chopped(1) + ",1.5,0,\n", "rec.csv:2: MARGIN \"1.5\" is not a"},
        {margins + time + values.chopped(1) + ",0.5,15,\n", "rec.csv:2: MARGIN-ROW \"15\" is not"},
        {margins + time + values.chopped(1) + ",0.5,1,nan\n", "rec.csv:2: SECOND \"nan\" is not"},
        {margins + time + values, "rec.csv:2: expected 13 fields, found 10"},
    };
    for (const auto& [text, says] : cases) {
        QString error;
        EXPECT_FALSE(Replay::Parse(text, "rec.csv", &error));
        EXPECT_TRUE(error.startsWith(says) && !error.contains('\n')) << error.toStdString();
    }
}

// Recordings from before the margin was recorded, and the margin columns in any order.
TEST(ReplayTest, RecordingsWithAndWithoutTheMarginColumnsPlay) {
    const QString line = "2026-12-09T01:02:03.456+01:00,20,12,8,1861,1116,13,0,0,25";
    const std::pair<QString, QString> cases[] = {
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP", line},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,MARGIN-ROW,SECOND", line + ",0.412,0,-0.3"},
        {"time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,MARGIN-ROW,SECOND", line + ",,,"},
        {"SECOND,MARGIN-ROW,MARGIN,time,R,G,B,X,Y,INT,C-No,GROUP,TEMP", ",3,-1.000," + line},
    };
    for (const auto& [header, frame] : cases) {
        QString error;
        EXPECT_TRUE(Replay::Parse(header + "\r\n" + frame + "\r\n", "rec.csv", &error))
            << error.toStdString();
    }
}

// Frames 100 ms apart, then a clock set back by 50 ms, then 250 ms on: the typical gap is 100.
TEST(ReplayTest, DataFramesFollowTheRecordedPaceThenLoopOrHold) {
    auto replay = Replay::Parse(
        "time,R,G,B,s,i,M,C-No,GROUP,TEMP\r\n"
        "2026-12-09T23:59:59.900-02:30,100,101,102,103,104,105,0,1,20\r\n"
        "2026-12-10T00:00:00.000-02:30,200,201,202,203,204,205,1,2,21\r\n"
        "2026-12-10T00:00:00.100-02:30,300,301,302,303,304,305,2,3,22\r\n"
        "2026-12-10T00:00:00.050-02:30,400,401,402,403,404,405,255,0,23\r\n"
        "2026-12-10T00:00:00.300-02:30,500,501,502,503,504,505,14,15,9\r\n",
        "rec.csv", nullptr);
    ASSERT_TRUE(replay);
    SensorModel model;
    model.SetNoise(40);                // a replay shows what was recorded, untouched
    const std::int64_t start = 70000;  // the replay's time starts with the first data frame
    const struct {
        bool hold;
        std::int64_t ms;
        std::uint16_t red;
    } cases[] = {{false, 0, 100},    {false, 99, 100},  {false, 100, 200},  {false, 200, 400},
                 {false, 449, 400},  {false, 450, 500}, {false, 549, 500},  {false, 550, 100},
                 {false, 1200, 200}, {true, 549, 500},  {true, 99999, 500}, {true, -5, 100}};
    for (const auto& c : cases) {
        replay->SetHold(c.hold);
        model.SetReplay(*replay);
        model.HandleRequest(Request(5), start);
        const QByteArray frame = model.HandleRequest(Request(19), start + c.ms);
        EXPECT_EQ((U16s{WordAt(frame, 1), WordAt(frame, 2), WordAt(frame, 4), WordAt(frame, 11)}),
                  (U16s{19, c.red, std::uint16_t(c.red + 2), std::uint16_t(c.red + 2)}))
            << c.ms;
    }
    const QByteArray last = model.HandleRequest(Request(5), start + 450);
    EXPECT_EQ((U16s{WordAt(last, 3), WordAt(last, 5), WordAt(last, 6), WordAt(last, 7),
                    WordAt(last, 8), WordAt(last, 12), WordAt(last, 13)}),
              (U16s{501, 503, 504, 505, 14, 9, 15}));
    EXPECT_EQ((U16s{model.state().ram[kCalcmode], model.state().eeprom[kCalcmode]}), (U16s{1, 1}));
}

}  // namespace
}  // namespace tvx::sim
