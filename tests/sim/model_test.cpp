// The simulated sensor without a line: its replies, its evaluation of colours, scenarios, and the
// pieces between the model and the line (frame collector, line writer).

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <numeric>

#include "frame_collector.h"
#include "line_writer.h"
#include "measurement.h"
#include "scenario.h"
#include "sensor_model.h"
#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;
using test::Words;
using U16s = std::vector<std::uint16_t>;

class SensorModelTest : public ::testing::Test {
  protected:
    QByteArray Ask(std::uint16_t order, std::initializer_list<std::uint16_t> payload = {}) {
        return model.HandleRequest(Request(order, payload), 0);
    }
    SensorModel model;
};

TEST_F(SensorModelTest, RepliesAndRequestsOutsideTheTablesThatChangeNothing) {
    const auto root = Words(Ask(51, {0}) + Ask(51, {128}));
    ASSERT_EQ(root.size(), 256u);
    EXPECT_EQ((U16s{root[0], root[1], root[4], root[255]}), (U16s{0, 2519, 3999, 15979}));
    EXPECT_EQ(Ask(7), QByteArray(kDefaultVersion).leftJustified(36, '\0'));
    model.SetVersion("TRIVEX-3 V6.1 SN 0042 (a text that is longer than 36 bytes)");
    EXPECT_EQ(Ask(7), QByteArray("TRIVEX-3 V6.1 SN 0042 (a text that i"));
    for (std::uint16_t order : {1, 2, 30, 40, 43, 50, 9, 18, 99, 0xFFFF})
        EXPECT_TRUE(Ask(order, {0}).isEmpty()) << "no reply to order " << order;
    EXPECT_EQ(Ask(6, {1, 2, 3}), Request(6, {1, 2, 3})) << "the echo repeats the request";
    EXPECT_EQ(Ask(8), Request(8));
    const SensorState before = model.state();
    const std::pair<std::uint16_t, std::uint16_t> junk[] = {
        {2, 15}, {2, 0xFFFF}, {40, 10}, {50, 32}};
    for (auto [order, block] : junk) Ask(order, {block, 9, 9, 9, 9});
    EXPECT_EQ(model.state(), before) << "rows and blocks beyond their tables are ignored";
    EXPECT_EQ(Ask(4, {15}), Request(4, {15}));
}

TEST_F(SensorModelTest, DataFramesShowTheTargetCalibratedAndCompensated) {
    // calibrated R G B, X Y INT, C-No, raw R G B, temperature, group
    for (std::uint16_t order : {5, 19})
        EXPECT_EQ(Ask(order),
                  Request(order, {2000, 1200, 800, 2047, 1228, 1333, 0, 2000, 1200, 800, 25, 0}));
    EXPECT_EQ(model.DataFramesAnswered(), 2);

    Ask(30, {1097, 1024, 960});
    EXPECT_EQ(Ask(31), Request(31, {1097, 1024, 960}));
    model.SetSample(Sample{2800, 3000, 3200, 40});
    auto w = Words(Ask(5));
    EXPECT_EQ(U16s(w.begin() + 2, w.begin() + 5), (U16s{2999, 3000, 3000}));
    EXPECT_EQ(U16s(w.begin() + 9, w.begin() + 13), (U16s{2800, 3000, 3200, 40})) << "raw";
    Ask(30, {2048, 1024, 1024});
    EXPECT_EQ(WordAt(Ask(5), 2), 4095) << "calibrated values stop at full scale";

    Ask(30, {1024, 1024, 1024});
    Ask(40, {4, 512, 1024});  // red factors: 512 at 40 °C, 1024 at 41 °C
    EXPECT_EQ(WordAt(Ask(5), 2), 1400);
    model.SetSample(Sample{2800, 3000, 3200, 41});
    EXPECT_EQ(WordAt(Ask(5), 2), 2800);

    auto reds = [](std::uint32_t seed) {
        SensorModel m;
        m.SetNoise(5, seed);
        U16s out;
        for (int i = 0; i < 50; ++i) out.push_back(WordAt(m.HandleRequest(Request(5), 0), 9));
        return out;
    };
    const auto a = reds(42);
    EXPECT_EQ(a, reds(42));
    EXPECT_NE(a, reds(43));
    const auto [low, high] = std::minmax_element(a.begin(), a.end());
    EXPECT_GE(*low, 1995);
    EXPECT_LE(*high, 2005);
}

TEST(EvaluationTest, ThePointGoesToTheNearestTaughtRowWhoseCircleAndBandHoldIt) {
    ParameterImage image = DefaultImage();
    const std::uint16_t rows[][6] = {
        {1000, 1000, 100, 500, 50, 7},     // row 0
        {3000, 500, 40, 2000, 100, 3},     // row 1
        {1000, 1000, 100, 900, 50, 9},     // row 2: where row 0 is, other intensity
        {1150, 1000, 100, 500, 50, 4},     // row 3: overlaps row 0's circle
        {2000, 2000, 200, 1000, 1000, 11}  // row 4
    };
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 6; ++column) image[RowWord(row, column)] = rows[row][column];
    const struct {
        const char* what;
        std::uint16_t x, y, in;
        std::uint16_t colour, group;
        std::uint16_t maxcolno = 4, intlim = 50, groups = 1;
    } cases[] = {
        {"inside row 1", 3010, 520, 2050, 1, 3},
        {"circle edge, distance 40", 3024, 532, 2000, 1, 3},
        {"one unit beyond", 3024, 533, 2000, kNoColour, kNoColour},
        {"below the band", 3000, 500, 1899, kNoColour, kNoColour},
        {"same place, told apart by intensity", 1000, 990, 900, 2, 9},
        {"in no band", 1000, 990, 700, kNoColour, kNoColour},
        {"overlap, nearer row 3", 1090, 1000, 500, 3, 4},
        {"a tie goes to the lower row", 1075, 1000, 500, 0, 7},
        {"row 4 beyond maxcolno", 2000, 2000, 1000, kNoColour, kNoColour},
        {"row 4 within maxcolno", 2000, 2000, 1000, 4, 11, 5},
        {"no rows", 1000, 1000, 500, kNoColour, kNoColour, 0},
        {"maxcolno beyond the table", 2000, 2000, 1000, 4, 11, 40},
        {"intensity below the limit", 1000, 1000, 500, kNoColour, kNoColour, 4, 501},
        {"intensity at the limit", 1000, 1000, 500, 0, 7, 4, 500},
        {"groups off", 3000, 500, 2000, 1, 0, 4, 50, 0},
        {"groups off, no colour", 5, 5, 500, kNoColour, 0, 4, 50, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        image[kMaxcolno] = c.maxcolno;
        image[kIntlim] = c.intlim;
        image[kColorgroup] = c.groups;
        const Evaluation e = EvaluatePoint(image, PlanePoint{c.x, c.y, c.in});
        EXPECT_EQ(e.colour, c.colour);
        EXPECT_EQ(e.group, c.group);
    }
}

TEST(EvaluationTest, PlanePointsOfBothCalculationModesAndTheRawSignals) {
    const auto root = StandardRootTable();
    const auto m = [&](int mean) { return static_cast<std::uint16_t>(root[mean / 16] * 3 / 40); };
    const struct {
        std::uint16_t r, g, b;
        int calcmode;
        U16s point;
    } cases[] = {
        {2000, 1200, 800, 0, {2047, 1228, 1333}},  // X Y: shares of R and G, INT: the mean
        {0, 0, 0, 0, {0, 0, 0}},
        {4095, 0, 0, 1, {10000, 0, m(1365)}},  // s i M: saturation, hue, scaled cube root
        {2000, 0, 1000, 1, {10000, 3300, m(1000)}},
        {4095, 4095, 4095, 1, {0, 0, 1198}},  // within M's range 0..1200
    };
    for (const auto& c : cases) {
        const PlanePoint p = ComputePlanePoint(c.r, c.g, c.b, c.calcmode, root);
        EXPECT_EQ((U16s{p.x, p.y, p.intensity}), c.point) << c.r << " " << c.g << " " << c.b;
    }
    SensorState state = DefaultSensorState();
    const Measurement clamped = Measure(state, Sample{5000, -3, 100.6, 24.6}, 0, 0, 0);
    EXPECT_EQ((U16s{clamped.rawR, clamped.rawG, clamped.rawB, clamped.temp}),
              (U16s{4095, 0, 101, 25}));
    state.ram[kCalcmode] = 1;
    const Measurement si = Measure(state, Sample{2000, 1200, 800, 25});
    EXPECT_EQ((U16s{si.x, si.y}), (U16s{6000, 200}));  // (2000 - 800) / 2000, hue 20.0°
    EXPECT_EQ(si.colour, kNoColour) << "the taught X/Y rows do not fit s/i values";
}

TEST(ScenarioTest, EachEntryHoldsUntilTheNextOne) {
    QString error;
    const auto s = Scenario::Parse(
        QStringLiteral(
            "# white, then red\n 100  3000 3000 3000  # at 100 ms\n\n500 4000 10 10 41.5\n"),
        &error);
    ASSERT_TRUE(s) << error.toStdString();
    EXPECT_EQ(s->SampleAt(0, 0), (Sample{3000, 3000, 3000, 25})) << "before the first: the first";
    EXPECT_EQ(s->SampleAt(499, 0), (Sample{3000, 3000, 3000, 25}));
    EXPECT_EQ(s->SampleAt(500, 0), (Sample{4000, 10, 10, 41.5}));
}

TEST(ScenarioTest, BadTextIsRejectedWithTheLineNumberAndTheFileName) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no entries"},
        {"0 1 2\n", "line 1: expected \"T R G B [TEMP]\""},
        {"10 1 2 3\n5 1 2 3\n", "line 2: times must not decrease"},
        {"0 1 2 4096\n", "line 1: R, G and B must be numbers 0..4095"},
        {"0 1 2 3 hot\n", "line 1: TEMP must be a number -40..150"},
        {"0 1 2 3\nclock frames\n", "line 2: \"clock\" must come first"},
        {"0 1 2 3\n10 1 2 3\nloop 10\n", "line 3: loop period must exceed the last time"},
        {"0 1 2 3\nloop 10\n20 1 1 1\n", "line 3: nothing may follow \"loop\""},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(Scenario::Parse(QString::fromLatin1(c.text), &error)) << c.text;
        EXPECT_EQ(error.toStdString(), c.error) << c.text;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    QString error;
    EXPECT_FALSE(Scenario::Load(path, &error));
    EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("0 1 2 3\nnonsense\n");
    file.close();
    EXPECT_FALSE(Scenario::Load(path, &error));
    EXPECT_EQ(error, path + QStringLiteral(": line 2: expected \"T R G B [TEMP]\""));
}

TEST(FrameCollectorTest, FramesAreJoinedFromAnyPiecesAndBytesBeforeASyncWordDropped) {
    const QByteArray stream = Request(3) + Request(4, {7}) + Request(5);
    for (int chunk : {1, 5, 35, 36, 37, 100}) {
        FrameCollector collector;
        std::vector<QByteArray> frames;
        for (int pos = 0; pos < stream.size(); pos += chunk)
            for (QByteArray& f : collector.Feed(stream.mid(pos, chunk))) frames.push_back(f);
        EXPECT_EQ(frames, (std::vector{Request(3), Request(4, {7}), Request(5)})) << chunk;
        EXPECT_EQ(collector.Pending(), 0);
    }
    FrameCollector collector;
    EXPECT_TRUE(collector.Feed(QByteArray("\x12\x55\x00", 3)).empty());
    EXPECT_EQ(collector.Pending(), 1) << "a lone 0x00 may begin a sync word";
    EXPECT_EQ(collector.Feed(Request(7).mid(1) + QByteArray("\xFF\x00\x56", 3) + Request(8)),
              (std::vector{Request(7), Request(8)}));
    EXPECT_EQ(collector.Dropped(), 2 + 3);
}

// Records what the line writer writes.
struct Line {
    std::vector<QByteArray> writes;
    int closes = 0;
    LineWriter writer{[this](const QByteArray& bytes) {
                          writes.push_back(bytes);
                          return static_cast<qint64>(bytes.size());
                      },
                      [this] { ++closes; }};
    QByteArray Drained() {
        WaitUntil([&] { return writer.Idle(); }, 10.0, WaitMode::ServeUserInput,
                  {WakeSource(&writer, &LineWriter::drained)});
        return std::accumulate(writes.begin(), writes.end(), QByteArray());
    }
};

TEST(LineWriterTest, StepsPacingBytesThatTravelTogetherClosingAndClearing) {
    const QByteArray reply = Request(5, {1, 2, 3});
    Line line;
    line.writer.Enqueue({ReplyStep{0, reply, false}});
    EXPECT_EQ(line.writes, std::vector{reply}) << "unpaced: written before Enqueue returns";
    line.writer.Enqueue({ReplyStep{0, "ab", false}, ReplyStep{100, "cd", false}});
    line.writer.Enqueue({ReplyStep{0, "ef", false}});
    line.writer.Enqueue({ReplyStep{0, "bye", true}, ReplyStep{0, "lost", false}});
    EXPECT_EQ(line.Drained(), reply + "abcdefbye") << "a close drops the rest of its plan";
    EXPECT_EQ(line.writes.size(), 5u) << "a pause separates two writes";
    EXPECT_EQ(line.closes, 1);
    // 1000 baud: 10 ms a byte, so bytes leave one by one unless they travel together.
    line.writer.SetBaud(1000);
    ReplyStep step{0, "abcdeXY", false};
    step.together = 2;
    line.writer.Enqueue({step});
    EXPECT_EQ(line.Drained(), reply + "abcdefbyeabcdeXY");
    EXPECT_GT(line.writes.size(), 7u);
    EXPECT_TRUE(line.writes.back().endsWith("eXY")) << "never only the reply on the line";
}

}  // namespace
}  // namespace tvx::sim
