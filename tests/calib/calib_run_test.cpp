// The calibration's sequences end to end against the simulated sensor: SEND POWER, the
// calculation with its checks, FINISH CALIBRATION; checked from the sensor's side.
#include <algorithm>

#include "calib_fixture.h"
#include "calib_texts.h"
#include "display_checks.h"
#include "help.h"
#include "info_texts.h"
#include "quit_request.h"
#include "sensor_state.h"

namespace tvx::calib {
namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// The data requests that came before the first request of `order`.
std::size_t DataRequestsBefore(const std::vector<sim::LoggedRequest>& requests, int order) {
    std::size_t n = 0;
    for (const auto& r : requests) {
        if (r.Order() == order) return n;
        n += r.Order() == 5 ? 1 : 0;
    }
    return n;
}

const sim::LoggedRequest* First(const std::vector<sim::LoggedRequest>& requests, int order) {
    auto it = std::find_if(requests.begin(), requests.end(),
                           [order](const auto& r) { return r.Order() == order; });
    return it == requests.end() ? nullptr : &*it;
}

class CalibRunTest : public CalibToolTest {
  protected:
    // A white target that needs different factors per channel; neutral factors in the sensor.
    void StartOnWhite(sim::SimConfig config = {}) {
        StartOverTcp(config);
        Sensor().SetSample({2800, 3000, 3200, 25});
        Main().editSetValue->setValue(3000);
        Main().editMaxDelta->setValue(1000);
    }
    // Runs CALCULATE with the given answer to its confirmation; STOP once GO mode shows frames.
    void Calculate(bool confirm) {
        popups.QueueConfirm(confirm);
        RunSequence(Main().buttonCalcCF, [this] {
            if (Count(30) == 0 || Count(5) < DataRequestsBefore(Sensor().Requests(), 30) + 3)
                return false;
            Click(Main().buttonStop);
            return true;
        });
    }
};

TEST_F(CalibRunTest, SendPowerSendsTheMeasuringSetThenReadsFactorsAndGoes) {
    StartOnWhite();
    sim::SensorState state = Sensor().State();
    state.cf = {1100, 1000, 900};
    Sensor().SetState(state);
    Main().editPower->setValue(640);
    popups.QueueConfirm(true);
    RunSequence(Main().buttonSendPower, StopAfterDataFrames(3));

    ASSERT_GE(popups.Count(), 1);
    EXPECT_EQ(popups.Records()[0].kind, PopupKind::Confirm);
    EXPECT_EQ(popups.Records()[0].title, QStringLiteral("SEND POWER"));
    EXPECT_EQ(popups.Records()[0].text, Text(info::calib::InfoWhiteTarget));
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(OrdersFolded(), (std::vector<int>{1, 31, 5}));

    const auto requests = Sensor().Requests();
    const std::vector<std::uint16_t> measuring{640, 0, 0x8000, 0, 10,   0,    1,
                                               0,   0, 0,      0, 3000, 3500, 0};
    for (int w = 0; w < 14; ++w) EXPECT_EQ(requests[0].Word(2 + w), measuring[w]) << w;
    const sim::SensorState after = Sensor().State();
    for (int w = 0; w < 14; ++w) EXPECT_EQ(after.ram[w], measuring[w]) << w;
    // The measuring set goes to the working parameters only.
    EXPECT_EQ(after.eeprom, sim::DefaultImage());
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1100, 1000, 900}));
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibRunTest, DecliningSendPowerStillReadsFactorsAndGoes) {
    StartOnWhite();
    popups.QueueConfirm(false);
    RunSequence(Main().buttonSendPower, StopAfterDataFrames(2));
    EXPECT_EQ(OrdersFolded(), (std::vector<int>{31, 5}));
    EXPECT_EQ(Sensor().State().ram, sim::DefaultImage());
    EXPECT_EQ(popups.Count(), 1);
}

TEST_F(CalibRunTest, PassedCalculationSendsTheNewFactorsAndGoesOn) {
    StartOnWhite();
    Calculate(true);

    ASSERT_EQ(popups.Count(), 2) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Records()[0].title, QStringLiteral("CONFIRM CALCULATION!"));
    EXPECT_EQ(popups.Records()[0].text, Text(info::calib::ConfirmCalculation));
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("CALIBRATION PASSED!"));
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::CalibrationPassed));

    const auto requests = Sensor().Requests();
    EXPECT_EQ(DataRequestsBefore(requests, 30), 100u);
    EXPECT_EQ(OrdersFolded(), (std::vector<int>{5, 30, 5}));
    const sim::LoggedRequest* cf = First(requests, 30);
    ASSERT_NE(cf, nullptr);
    EXPECT_EQ(cf->Word(2), 1097);
    EXPECT_EQ(cf->Word(3), 1024);
    EXPECT_EQ(cf->Word(4), 960);
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1097, 1024, 960}));

    EXPECT_EQ(State().calib.means, (Means{2800, 3000, 3200, 400}));
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1097, 1024, 960}));
    // GO mode after the calculation shows the sensor calibrated with the new factors.
    EXPECT_EQ(Main().dispCalib[0]->text(), QStringLiteral("2999"));
    EXPECT_EQ(Main().dispCalib[1]->text(), QStringLiteral("3000"));
    EXPECT_EQ(Main().dispCalib[2]->text(), QStringLiteral("3000"));
    EXPECT_EQ(Main().dispDeltaCalib->text(), QStringLiteral("1"));
    EXPECT_EQ(Main().dispDeltaRaw->text(), QStringLiteral("400"));
    EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonCalcCF), kColourLightGrey);
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibRunTest, DeclinedCalculationSendsTheBoxesAsTheyAre) {
    StartOnWhite();
    SetFactorBoxes(1010, 1020, 1030);
    Calculate(false);
    ASSERT_EQ(popups.Count(), 2);
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("INFO!"));
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::InfoInsertRightValues));
    EXPECT_EQ(OrdersFolded(), (std::vector<int>{30, 5}));
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1010, 1020, 1030}));
}

TEST_F(CalibRunTest, MissingReplyInFrame57FailsTheRunAndKeepsMeansAndFactors) {
    sim::SimConfig config;
    config.faults = {
        *sim::Fault::Parse(QStringLiteral("noreply,order=5,skip=56,times=1"), nullptr)};
    StartOnWhite(config);
    SetFactorBoxes(1010, 1020, 1030);
    State().calib.means = {1, 2, 3, 4};
    Calculate(true);

    ASSERT_EQ(popups.Count(), 2) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("ATTENTION!"));
    EXPECT_EQ(popups.Records()[1].text, QStringLiteral("CALIBRATION FAILED!"));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(DataRequestsBefore(Sensor().Requests(), 30), 57u);
    EXPECT_EQ(State().calib.means, (Means{1, 2, 3, 4}));
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1010, 1020, 1030}));
    EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonCalcCF), kColourLightGrey);
}

TEST_F(CalibRunTest, RejectedCalculationsLeaveTheFactorsAndSayWhy) {
    StartOnWhite();
    SetFactorBoxes(1010, 1020, 1030);

    // The mean raw spread is 400: one below is too little.
    Main().editMaxDelta->setValue(399);
    Calculate(true);
    ASSERT_EQ(popups.Count(), 2);
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("ATTENTION!"));
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::MaximumDelta));
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1010, 1020, 1030}));
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1010, 1020, 1030}));

    // A set value that needs a factor of 1462 for red (1.3 is the most).
    popups.Clear();
    Sensor().ClearRequests();
    Main().editMaxDelta->setValue(400);
    Main().editSetValue->setValue(4000);
    Calculate(true);
    ASSERT_EQ(popups.Count(), 2);
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::CFOutOfRange));
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1010, 1020, 1030}));

    // A dark green channel: its mean counts as 1 from now on.
    popups.Clear();
    Sensor().ClearRequests();
    Sensor().SetSample({3000, 0, 3000, 25});
    Main().editMaxDelta->setValue(4095);
    Main().editSetValue->setValue(3000);
    Calculate(true);
    ASSERT_EQ(popups.Count(), 2);
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::CFOutOfRange));
    EXPECT_EQ(State().calib.means.meanG, 1);
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1010, 1020, 1030}));
}

TEST_F(CalibRunTest, ClosingTheWindowDuringTheRunEndsItWithoutSendingAnything) {
    StartOnWhite();
    popups.QueueConfirm(true);
    // The tenth data request closes the window; the run serves events while it waits for replies.
    QObject context;
    QObject::connect(
        &Sensor(), &sim::SimServer::requestReceived, &context,
        [this](quint16 order) {
            if (order == 5 && Count(5) >= 10 && Main().isVisible()) Main().close();
        },
        Qt::QueuedConnection);
    Click(Main().buttonCalcCF);

    EXPECT_TRUE(tool->QuitRequested());
    EXPECT_EQ(Count(30), 0u);
    EXPECT_LT(Count(5), 100u);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(State().flags.poll, 0);
    EXPECT_EQ(State().calib.means, Means{});
    EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonCalcCF), kColourLightGrey);
    ForgetQuitRequest();
}

TEST_F(CalibRunTest, FinishStoresTheDefaultSetAndTheFactorsThenReconnects) {
    StartOnWhite();
    SetFactorBoxes(1100, 1000, 900);
    bool redWhileRunning = false;
    double contrastWhileRunning = 0;
    popups.SetHook([&](const PopupRecord&) {
        redWhileRunning = BackgroundOf(Main().buttonFinishCalib) == kColourRed;
        contrastWhileRunning = TextContrast(Main().buttonFinishCalib);
    });
    Click(Main().buttonFinishCalib);
    popups.SetHook({});
    EXPECT_GE(contrastWhileRunning, kReadableContrast);
    EXPECT_GE(TextContrast(Main().buttonFinishCalib), kReadableContrast);

    ASSERT_EQ(popups.Count(), 1) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("INFO!"));
    EXPECT_EQ(popups.LastText(), Text(info::calib::InfoButtonFinishCalib));
    EXPECT_TRUE(redWhileRunning);
    EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonFinishCalib), kColourLightGrey);

    std::vector<int> expected{1};
    expected.insert(expected.end(), kTeachRows, 2);
    expected.insert(expected.end(), {6, 30, 31, 7});
    const auto requests = Sensor().Requests();
    EXPECT_EQ(Orders(requests), expected);
    for (int row = 0; row < kTeachRows; ++row) {
        const auto& r = requests[1 + row];
        EXPECT_EQ(r.Word(2), row);
        for (int w = 3; w < 8; ++w) EXPECT_EQ(r.Word(w), 1) << row;
        EXPECT_EQ(r.Word(8), 0) << row;
    }

    // The EEPROM holds the default set and an untaught table.
    const sim::SensorState state = Sensor().State();
    const std::vector<std::uint16_t> defaults{250, 0, 128, 0,    10,   50, 1, 0,
                                              0,   0, 0,   3000, 3500, 0,  0, 0};
    for (int w = 0; w < 16; ++w) EXPECT_EQ(state.eeprom[w], defaults[w]) << w;
    for (int row = 0; row < sim::kRows; ++row) {
        for (int c = 0; c < 5; ++c) EXPECT_EQ(state.eeprom[sim::RowWord(row, c)], 1);
        EXPECT_EQ(state.eeprom[sim::RowWord(row, sim::kRowGroup)], 0);
    }
    EXPECT_EQ(state.cf, (std::array<std::uint16_t, 3>{1100, 1000, 900}));
    EXPECT_EQ(State().exchange.comecho, 1);
    EXPECT_EQ(Main().Factors(), (CalibrationFactors{1100, 1000, 900}));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_TRUE(CommandButtonsUsable());
}

TEST_F(CalibRunTest, FinishGoesOnAfterAWrongOrMissingEcho) {
    sim::SimConfig config;
    config.faults = {*sim::Fault::Parse(QStringLiteral("badorder,order=6,times=1"), nullptr),
                     *sim::Fault::Parse(QStringLiteral("noreply,order=6,skip=1,times=1"), nullptr)};
    StartOnWhite(config);

    // A wrong echo: no message, the transfer counts as not acknowledged.
    Click(Main().buttonFinishCalib);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(State().exchange.comecho, 0);
    std::vector<int> tail{6, 30, 31, 7};
    auto orders = Orders(Sensor().Requests());
    ASSERT_GE(orders.size(), 4u);
    EXPECT_EQ(std::vector<int>(orders.end() - 4, orders.end()), tail);

    // No echo at all: one report titled with the sensor's version; the factors still go.
    popups.Clear();
    Sensor().ClearRequests();
    Click(Main().buttonFinishCalib);
    ASSERT_EQ(popups.Count(), 2) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(popups.Records()[1].text, Text(info::calib::InfoTimeoutVer));
    EXPECT_EQ(State().exchange.comecho, 0);
    orders = Orders(Sensor().Requests());
    EXPECT_EQ(std::vector<int>(orders.end() - 4, orders.end()), tail);
}

TEST_F(CalibRunTest, FinishOnALinkTheSensorClosedReportsEachFailedStepOnceAndReconnects) {
    StartOnWhite();
    Sensor().CloseConversation();
    // The tool learns of it when it serves events.
    WaitUntil([this] { return State().link.tcpcon == 0; }, 10.0, WaitMode::ServeUserInput,
              {WakeSource(&tool->Link(), &Com232::tcpEventHandled)});
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.LastText(), QStringLiteral("Server has closed connection!"));
    popups.Clear();
    Sensor().ClearRequests();

    Click(Main().buttonFinishCalib);
    // The INFO box, then one report each for the parameter transfer (its first frame fails, the
    // rows and order 6 are not sent), the factors and their read-back.
    ASSERT_EQ(popups.Count(), 4) << popups.Texts().join('|').toStdString();
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(popups.Records()[i].text, Text(info::calib::InfoTimeoutVer));
    EXPECT_EQ(State().exchange.comecho, 0);
    // The connection attempt at the end reaches the sensor again.
    EXPECT_EQ(Orders(Sensor().Requests()), std::vector<int>{7});
    EXPECT_EQ(State().link.tcpcon, 1);
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
}

TEST_F(CalibRunTest, CalculationOverASerialLine) {
    StartOverPty();
    ASSERT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
    Sensor().SetSample({2800, 3000, 3200, 25});
    Main().editSetValue->setValue(3000);
    Main().editMaxDelta->setValue(1000);
    Calculate(true);
    ASSERT_EQ(popups.Count(), 2) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Records()[1].title, QStringLiteral("CALIBRATION PASSED!"));
    EXPECT_EQ(Sensor().State().cf, (std::array<std::uint16_t, 3>{1097, 1024, 960}));
    for (const auto& r : Sensor().Requests()) EXPECT_EQ(r.endpoint, QStringLiteral("pty"));
    EXPECT_TRUE(CommandButtonsUsable());
}

}  // namespace
}  // namespace tvx::calib
