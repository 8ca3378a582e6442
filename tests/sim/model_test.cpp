// The simulated sensor without a line: its replies, its evaluation of colours, its scenarios.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "measurement.h"
#include "orders.h"
#include "parameter_image.h"
#include "recognition_margin.h"
#include "scenario.h"
#include "sensor_model.h"
#include "sim_fixture.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;
using U16s = std::vector<std::uint16_t>;

class SensorModelTest : public ::testing::Test {
  protected:
    QByteArray Ask(std::uint16_t order, std::initializer_list<std::uint16_t> payload = {}) {
        return model.HandleRequest(Request(order, payload), 0);
    }
    SensorModel model;
};

TEST_F(SensorModelTest, RepliesAndRequestsOutsideTheTablesThatChangeNothing) {
    const QByteArray root = Ask(51, {0}) + Ask(51, {128});
    EXPECT_EQ((U16s{WordAt(root, 1), WordAt(root, 4), WordAt(root, 255)}),
              (U16s{2519, 3999, 15979}));
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
    for (const OrderInfo& o : kOrderTable)
        EXPECT_EQ(Ask(o.order, {0}).size(), o.replyBytes)
            << "the reply length of order " << o.order;
}

TEST_F(SensorModelTest, DataFramesShowTheTargetCalibratedAndCompensated) {
    // calibrated R G B, X Y INT, C-No, raw R G B, temperature, group
    for (std::uint16_t order : {5, 19})
        EXPECT_EQ(Ask(order),
                  Request(order, {2000, 1200, 800, 2047, 1228, 1333, 0, 2000, 1200, 800, 25, 0}));

    Ask(30, {1097, 1024, 960});
    EXPECT_EQ(Ask(31), Request(31, {1097, 1024, 960}));
    model.SetSample(Sample{2800, 3000, 3200, 40});
    const QByteArray f = Ask(5);
    EXPECT_EQ((U16s{WordAt(f, 2), WordAt(f, 3), WordAt(f, 4), WordAt(f, 9), WordAt(f, 10),
                    WordAt(f, 11), WordAt(f, 12)}),
              (U16s{2999, 3000, 3000, 2800, 3000, 3200, 40}))
        << "calibrated, then raw";
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
    EXPECT_GE(*std::min_element(a.begin(), a.end()), 1995);
    EXPECT_LE(*std::max_element(a.begin(), a.end()), 2005);
}

constexpr std::uint16_t kRowsOfTheEvaluation[][6] = {
    {1000, 1000, 100, 500, 50, 7},     // row 0
    {3000, 500, 40, 2000, 100, 3},     // row 1
    {1000, 1000, 100, 900, 50, 9},     // row 2: where row 0 is, other intensity
    {1150, 1000, 100, 500, 50, 4},     // row 3: overlaps row 0's circle
    {2000, 2000, 200, 1000, 1000, 11}  // row 4
};

ParameterImage EvaluationImage() {
    ParameterImage image = DefaultImage();
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 6; ++column)
            image[RowWord(row, column)] = kRowsOfTheEvaluation[row][column];
    return image;
}

TEST(EvaluationTest, ThePointGoesToTheNearestTaughtRowWhoseCircleAndBandHoldIt) {
    ParameterImage image = EvaluationImage();
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

// Around each row's circle and band, edges included: the row the sensor names has a margin >= 0,
// and a point it names no row for lies outside every active row (the nearest row's margin < 0).
TEST(EvaluationTest, TheRecognitionMarginAgreesWithTheSensorsDecision) {
    ParameterImage image = EvaluationImage();
    image[kMaxcolno] = 5;
    image[kIntlim] = 0;
    const MarginTable table(ParameterSetOf(image));
    int disagreements = 0;
    for (const auto& row : kRowsOfTheEvaluation) {
        const int reach = row[2] + 2;
        for (int dx = -reach; dx <= reach; ++dx)
            for (int dy = -reach; dy <= reach; ++dy)
                for (int di : {0, int{row[4]}, row[4] + 1}) {
                    const PlanePoint p{std::uint16_t(row[0] + dx), std::uint16_t(row[1] + dy),
                                       std::uint16_t(row[3] + (dx & 1 ? di : -di))};
                    const Evaluation e = EvaluatePoint(image, p);
                    const auto m = table.Evaluate(p.x, p.y, p.intensity, e.colour);
                    const bool agrees = e.colour == kNoColour
                                            ? !m->reported && m->first.margin < 0
                                            : m->first.row == e.colour && m->first.margin >= 0;
                    if (!agrees && ++disagreements < 5)
                        ADD_FAILURE() << p.x << " " << p.y << " " << p.intensity << ": C-No "
                                      << e.colour << ", margin " << m->first.margin;
                }
    }
    EXPECT_EQ(disagreements, 0);
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

}  // namespace
}  // namespace tvx::sim
