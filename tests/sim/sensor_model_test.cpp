// The sensor model without a line: requests in, replies out.

#include <gtest/gtest.h>

#include "sensor_model.h"
#include "sim_test_util.h"

namespace tvx::sim {
namespace {

using test::Request;
using test::WordAt;
using test::Words;

class SensorModelTest : public ::testing::Test {
  protected:
    QByteArray Ask(std::uint16_t order, std::initializer_list<std::uint16_t> payload = {}) {
        return model.HandleRequest(Request(order, payload), 0);
    }
    SensorModel model;
};

TEST_F(SensorModelTest, VersionTextIs36BytesZeroPadded) {
    const QByteArray reply = Ask(7);
    ASSERT_EQ(reply.size(), 36);
    EXPECT_EQ(QByteArray(reply.constData()), QByteArray(kDefaultVersion));
    EXPECT_EQ(reply.mid(static_cast<int>(qstrlen(kDefaultVersion))),
              QByteArray(36 - static_cast<int>(qstrlen(kDefaultVersion)), '\0'));

    model.SetVersion("TRIVEX-3 V6.1 SN 0042 (a text that is longer than 36 bytes)");
    const QByteArray cut = Ask(7);
    ASSERT_EQ(cut.size(), 36);
    EXPECT_EQ(cut, QByteArray("TRIVEX-3 V6.1 SN 0042 (a text that i"));
}

TEST_F(SensorModelTest, ModeWordsWrittenWithOrder1AreReadBackWithOrder3) {
    const std::initializer_list<std::uint16_t> modes = {
        1000, 1, 128, 2, 20, 77, 9, 2, 1, 3, 1, 2900, 3600, 0, 0xBEEF, 0xFFFF};
    EXPECT_TRUE(Ask(1, modes).isEmpty()) << "order 1 has no reply";
    const QByteArray reply = Ask(3);
    ASSERT_EQ(reply.size(), 36);
    const auto w = Words(reply);
    EXPECT_EQ(w[0], 0x55);
    EXPECT_EQ(w[1], 3);
    EXPECT_EQ(std::vector<std::uint16_t>(w.begin() + 2, w.end()),
              std::vector<std::uint16_t>(modes));
}

TEST_F(SensorModelTest, TeachRowsWrittenWithOrder2AreReadBackWithOrder4) {
    for (std::uint16_t row = 0; row < 15; ++row) {
        const auto base = static_cast<std::uint16_t>(100 * row);
        EXPECT_TRUE(
            Ask(2, {row, base, static_cast<std::uint16_t>(base + 1), 40,
                    static_cast<std::uint16_t>(base + 3), 20, static_cast<std::uint16_t>(row % 4)})
                .isEmpty());
    }
    for (std::uint16_t row = 0; row < 15; ++row) {
        const auto w = Words(Ask(4, {row}));
        ASSERT_EQ(w.size(), 18u);
        const auto base = static_cast<std::uint16_t>(100 * row);
        EXPECT_EQ(
            std::vector<std::uint16_t>(w.begin(), w.begin() + 9),
            (std::vector<std::uint16_t>{0x55, 4, row, base, static_cast<std::uint16_t>(base + 1),
                                        40, static_cast<std::uint16_t>(base + 3), 20,
                                        static_cast<std::uint16_t>(row % 4)}))
            << "row " << row;
    }
    // The rows also sit at their place in the working image.
    EXPECT_EQ(model.state().ram[RowWord(14, kRowX)], 1400);
    EXPECT_EQ(model.state().ram[105], 14 % 4);
}

TEST_F(SensorModelTest, RowNumbersOutsideTheTableChangeNothing) {
    const SensorState before = model.state();
    Ask(2, {15, 9, 9, 9, 9, 9, 9});
    Ask(2, {0xFFFF, 9, 9, 9, 9, 9, 9});
    EXPECT_EQ(model.state(), before);
    const auto w = Words(Ask(4, {15}));
    EXPECT_EQ(w[0], 0x55);
    EXPECT_EQ(w[1], 4);
    EXPECT_EQ(w[2], 15);
    for (int i = 3; i < 18; ++i) EXPECT_EQ(w[static_cast<std::size_t>(i)], 0) << "word " << i;
}

TEST_F(SensorModelTest, Order6KeepsRamInEepromAndOrder8BringsItBack) {
    Ask(1, {777, 0, 16, 0, 10, 50, 7});
    Ask(2, {5, 100, 200, 30, 400, 50, 3});
    const QByteArray echo6 = Ask(6, {1, 2, 3});
    ASSERT_EQ(echo6.size(), 36);
    EXPECT_EQ(WordAt(echo6, 0), 0x55);
    EXPECT_EQ(WordAt(echo6, 1), 6);
    EXPECT_EQ(model.state().eeprom, model.state().ram);

    // Working parameters change again, without order 6.
    Ask(1, {111, 1, 1, 1, 1, 1, 1});
    Ask(2, {5, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(WordAt(Ask(3), 2), 111);

    const QByteArray echo8 = Ask(8);
    ASSERT_EQ(echo8.size(), 36);
    EXPECT_EQ(WordAt(echo8, 0), 0x55);
    EXPECT_EQ(WordAt(echo8, 1), 8);
    const auto modes = Words(Ask(3));
    EXPECT_EQ(modes[2], 777);
    EXPECT_EQ(modes[8], 7);
    const auto row5 = Words(Ask(4, {5}));
    EXPECT_EQ(std::vector<std::uint16_t>(row5.begin() + 2, row5.begin() + 9),
              (std::vector<std::uint16_t>{5, 100, 200, 30, 400, 50, 3}));
}

TEST_F(SensorModelTest, FreshSensorHoldsTheSameTaughtSetInRamAndEeprom) {
    const SensorState& s = model.state();
    EXPECT_EQ(s.ram, s.eeprom);
    EXPECT_EQ(s.ram[kMaxcolno], 4);
    EXPECT_EQ(s.ram[kOutmode], 1);
    EXPECT_EQ(s.ram[kColorgroup], 1);
    for (int row = 0; row < 4; ++row) EXPECT_GT(s.ram[RowWord(row, kRowCto)], 1) << row;
    for (int row = 4; row < 15; ++row) EXPECT_EQ(s.ram[RowWord(row, kRowX)], 1) << row;
}

TEST_F(SensorModelTest, OrdersWithoutReplyAndUnknownOrdersAnswerNothing) {
    for (std::uint16_t order : {1, 2, 30, 40, 41, 42, 43, 50, 9, 18, 99, 0xFFFF}) {
        EXPECT_TRUE(Ask(order, {0}).isEmpty()) << "order " << order;
    }
}

TEST_F(SensorModelTest, DataFrameCarriesTheDefaultTargetRecognisedAsRow0) {
    for (std::uint16_t order : {5, 19}) {
        const auto w = Words(Ask(order));
        ASSERT_EQ(w.size(), 18u);
        EXPECT_EQ(w[0], 0x55);
        EXPECT_EQ(w[1], order);
        // calibrated R G B, X Y INT, C-No, raw R G B, temperature, group
        EXPECT_EQ(std::vector<std::uint16_t>(w.begin() + 2, w.begin() + 14),
                  (std::vector<std::uint16_t>{2000, 1200, 800, 2047, 1228, 1333, 0, 2000, 1200, 800,
                                              25, 0}));
        for (int i = 14; i < 18; ++i) EXPECT_EQ(w[static_cast<std::size_t>(i)], 0);
    }
    EXPECT_EQ(model.DataFramesAnswered(), 2);
}

TEST_F(SensorModelTest, CalibrationFactorsAreStoredReadAndApplied) {
    EXPECT_TRUE(Ask(30, {1097, 1024, 960}).isEmpty());
    const auto cf = Words(Ask(31));
    ASSERT_EQ(cf.size(), 18u);
    EXPECT_EQ(std::vector<std::uint16_t>(cf.begin(), cf.begin() + 5),
              (std::vector<std::uint16_t>{0x55, 31, 1097, 1024, 960}));

    model.SetSample(Sample{2800, 3000, 3200, 25});
    const auto w = Words(Ask(5));
    EXPECT_EQ(w[2], 2800 * 1097 / 1024);  // 2999
    EXPECT_EQ(w[3], 3000);
    EXPECT_EQ(w[4], 3200 * 960 / 1024);  // 3000
    EXPECT_EQ(w[9], 2800) << "raw values stay uncalibrated";
    EXPECT_EQ(w[10], 3000);
    EXPECT_EQ(w[11], 3200);
}

TEST_F(SensorModelTest, CalibratedValuesStopAtFullScale) {
    Ask(30, {2048, 1024, 1024});
    model.SetSample(Sample{3000, 100, 100, 25});
    EXPECT_EQ(WordAt(Ask(5), 2), 4095);
}

TEST_F(SensorModelTest, FactorTablesTravelInBlocksAndComeBackWhole) {
    Ask(43);
    for (std::uint16_t channel = 0; channel < 3; ++channel) {
        for (std::uint16_t block = 0; block < 10; ++block) {
            QByteArray frame = Request(static_cast<std::uint16_t>(40 + channel), {block});
            for (int i = 0; i < 10; ++i) {
                tvx::PackWord(reinterpret_cast<std::uint8_t*>(frame.data()) + 6 + 2 * i,
                              static_cast<std::uint16_t>(1000 * channel + 10 * block + i));
            }
            EXPECT_TRUE(model.HandleRequest(frame, 0).isEmpty());
        }
    }
    for (std::uint16_t channel = 0; channel < 3; ++channel) {
        const QByteArray reply = Ask(static_cast<std::uint16_t>(44 + channel));
        ASSERT_EQ(reply.size(), 200) << "channel " << channel;
        const auto w = Words(reply);
        for (int t = 0; t < 100; ++t) EXPECT_EQ(w[static_cast<std::size_t>(t)], 1000 * channel + t);
    }
    // A block number beyond the table is ignored.
    const SensorState before = model.state();
    Ask(40, {10, 1, 2, 3});
    EXPECT_EQ(model.state(), before);
}

TEST_F(SensorModelTest, CubeRootTableTravelsInBlocksOf8AndComesBackInHalves) {
    const auto standard = Words(Ask(51, {0}));
    ASSERT_EQ(standard.size(), 128u);
    EXPECT_EQ(standard[0], 0);
    EXPECT_EQ(standard[1], 2519);
    EXPECT_EQ(standard[4], 3999);
    EXPECT_EQ(Words(Ask(51, {128}))[127], 15979);

    for (std::uint16_t block = 0; block < 32; ++block) {
        QByteArray frame = Request(50, {block});
        for (int i = 0; i < 8; ++i) {
            tvx::PackWord(reinterpret_cast<std::uint8_t*>(frame.data()) + 6 + 2 * i,
                          static_cast<std::uint16_t>(60000 - 8 * block - i));
        }
        model.HandleRequest(frame, 0);
    }
    const QByteArray low = Ask(51, {0});
    const QByteArray high = Ask(51, {128});
    ASSERT_EQ(low.size(), 256);
    ASSERT_EQ(high.size(), 256);
    const auto lw = Words(low);
    const auto hw = Words(high);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(lw[static_cast<std::size_t>(i)], 60000 - i);
        EXPECT_EQ(hw[static_cast<std::size_t>(i)], 60000 - 128 - i);
    }
}

TEST_F(SensorModelTest, TemperatureCompensationUsesTheFactorOfTheCurrentDegree) {
    // Red factor table: 512 at 40 °C, neutral elsewhere.
    QByteArray frame = Request(40, {4});
    for (int i = 0; i < 10; ++i) {
        tvx::PackWord(reinterpret_cast<std::uint8_t*>(frame.data()) + 6 + 2 * i,
                      i == 0 ? 512 : 1024);
    }
    model.HandleRequest(frame, 0);
    model.SetSample(Sample{2000, 1200, 800, 40});
    auto w = Words(Ask(5));
    EXPECT_EQ(w[2], 1000);
    EXPECT_EQ(w[9], 2000);
    EXPECT_EQ(w[12], 40);
    model.SetSample(Sample{2000, 1200, 800, 41});
    w = Words(Ask(5));
    EXPECT_EQ(w[2], 2000);
    EXPECT_EQ(w[12], 41);
}

TEST_F(SensorModelTest, ScenarioDecidesWhatTheDataFramesShow) {
    QString error;
    auto scenario =
        Scenario::Parse(QStringLiteral("clock frames\n0 2000 1200 800\n2 10 10 10 30\n"), &error);
    ASSERT_TRUE(scenario) << error.toStdString();
    model.SetScenario(*scenario);
    EXPECT_EQ(WordAt(Ask(5), 8), 0);
    EXPECT_EQ(WordAt(Ask(19), 8), 0);
    const QByteArray third = Ask(5);
    EXPECT_EQ(WordAt(third, 2), 10);
    EXPECT_EQ(WordAt(third, 8), 255) << "INT 10 is below intlim 50";
    EXPECT_EQ(WordAt(third, 12), 30);
}

TEST_F(SensorModelTest, SeededNoiseRepeatsAndStaysWithinItsAmplitude) {
    auto run = [](std::uint32_t seed) {
        SensorModel m;
        m.SetNoise(5, seed);
        std::vector<std::uint16_t> reds;
        for (int i = 0; i < 50; ++i) reds.push_back(WordAt(m.HandleRequest(Request(5), 0), 9));
        return reds;
    };
    const auto a = run(42);
    EXPECT_EQ(a, run(42));
    EXPECT_NE(a, run(43));
    bool varied = false;
    for (std::uint16_t r : a) {
        EXPECT_GE(r, 1995);
        EXPECT_LE(r, 2005);
        varied = varied || r != 2000;
    }
    EXPECT_TRUE(varied);
}

}  // namespace
}  // namespace tvx::sim
