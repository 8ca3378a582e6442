// The calibration tool against the simulated sensor: in-process over TCP on 127.0.0.1 with
// scripted pop-ups, and as a program ended as the system ends it.
#include <QFile>

#include "Tvx3CalibV61.h"
#include "calib_texts.h"
#include "display_checks.h"
#include "help_check.h"
#include "measurement.h"
#include "program_process.h"
#include "sensor_orders.h"
#include "startup_probe.h"
#include "tool_fixture.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx::calib {
namespace {

using Cf = std::array<std::uint16_t, 3>;

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

class CalibToolTest : public ToolWithSensor<Tvx3CalibV61> {
  protected:
    CalibPanel& Main() { return tool->Main(); }
    CalibState& State() { return tool->State(); }

    // Clicks `button`; while its sequence runs, `step` is called every 20 ms until it returns
    // true. A GO loop still running after 30 s is stopped and the test fails.
    void RunSequence(QAbstractButton* button, const std::function<bool()>& step) {
        QTimer user;
        bool done = false;
        const double end = SecondsTimer() + 30.0;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!done) done = step();
            if (SecondsTimer() > end && State().flags.poll == 1) State().flags.poll = 0;
        });
        user.start(20);
        Click(button);
    }
    std::size_t Count(int order) {
        std::size_t n = 0;
        for (const auto& r : Sensor().Requests()) n += r.Order() == order ? 1 : 0;
        return n;
    }
    // The orders received, with runs of data requests (order 5) folded into one.
    std::vector<int> OrdersFolded() {
        std::vector<int> folded;
        for (int order : Orders(Sensor().Requests()))
            if (folded.empty() || order != 5 || folded.back() != 5) folded.push_back(order);
        return folded;
    }
    // True when every command button is usable (or, with `usable` false, every one dimmed).
    bool CommandButtons(bool usable = true) {
        for (QPushButton* b : {Main().buttonSendPower, Main().buttonSendCF, Main().buttonGetCF,
                               Main().buttonGo, Main().buttonCalcCF, Main().buttonFinishCalib})
            if (b->isEnabled() != usable) return false;
        return true;
    }
    // Data requests before the first request of `order`, or all.
    std::size_t DataBefore(int order) {
        const auto r = Sensor().Requests();
        const auto end =
            std::find_if(r.begin(), r.end(), [=](auto& q) { return q.Order() == order; });
        return std::count_if(r.begin(), end, [](auto& q) { return q.Order() == 5; });
    }
};

TEST(CalibTexts, TheToolKeepsItsOwnWording) {
    EXPECT_STREQ(info::calib::InfoButtonStop, " Stops data transfer from sensor to PC.");
}

TEST(CalibProgram, StartsShownAndEndsWithTheRightCode) {
    const QString exe = QStringLiteral(TVX_CALIB_EXE);
    ExpectNoWindowSystemEndsTheStart(exe);
    ExpectTerminationEndsAProgramWithABoxOpen(exe);
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3CalibV61>(programDir.path());
}

TEST_F(CalibToolTest, StartsHelpsGoesAndSendsTheFactors) {
    // The address history the scope left in the program's directory is shared.
    QFile history(QDir(programDir.path()).filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    history.write(QByteArray("10.0.0.7").leftJustified(20, '\0') + '\n');
    history.close();
    sim::SimConfig config;
    config.version = "TRIVEX CALIB TEST V6.1";
    StartOverTcp(config);
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX CALIB TEST V6.1"));
    EXPECT_EQ(tool->Interface().dispConnectStatus->text(), Main().dispStatus->text());
    EXPECT_GE(tool->Interface().stringIpAdress->findText(QStringLiteral("10.0.0.7")), 0);
    EXPECT_TRUE(CommandButtons());

    using namespace info::calib;
    CalibPanel& p = Main();
    QWidget* controls[] = {p.buttonGo,     p.buttonStop,      p.buttonSendCF, p.buttonGetCF,
                           p.buttonCalcCF, p.buttonSendPower, p.editPower,    p.buttonFinishCalib,
                           p.editCFB,      p.buttonConnect,   p.barRaw[2],    p.editSetValue,
                           p.dispCalib[1], p.editMaxDelta,    p.dispStatus};
    const char* texts[] = {InfoButtonGo,      InfoButtonStop,        InfoButtonSendCF,
                           InfoButtonGetCF,   InfoButtonCalcCF,      InfoButtonSendPower,
                           InfoEditPower,     InfoButtonFinishCalib, InfoEditCF,
                           InfoButtonConnect, InfoDispBarsRAW,       InfoEditSetValue,
                           InfoDispBars,      InfoEditMaxDelta,      InfoStatus};
    for (int i = 0; i < 15; ++i) {
        ExpectHelp(popups, controls[i], texts[i]);
        EXPECT_EQ(controls[i]->toolTip(), Text(texts[i]));
    }
    EXPECT_EQ(Sensor().RequestCount(), 0u);
    popups.Clear();

    sim::SensorState state = Sensor().State();
    state.cf = {1100, 1024, 900};
    Sensor().SetState(state);
    Sensor().SetSample({2000, 1200, 800, 25});
    const sim::Measurement m = sim::Measure(state, {2000, 1200, 800, 25});
    WindowSizeWatch window(&Main());
    bool dimmed = false;
    RunSequence(Main().buttonGo, [&] {
        if (Count(5) < 5) return false;
        dimmed = CommandButtons(false) && Main().buttonStop->isEnabled() &&
                 !tool->Interface().buttonTryToConnect->isEnabled();
        Click(Main().buttonConnect);  // ends the loop and opens the interface panel
        return true;
    });
    EXPECT_TRUE(dimmed);
    EXPECT_TRUE(CommandButtons());
    window.Expect("after GO");
    EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();
    const int raw[3] = {m.rawR, m.rawG, m.rawB}, cal[3] = {m.calR, m.calG, m.calB};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Main().dispRaw[c]->text(), QString::number(raw[c])) << c;
        EXPECT_EQ(Main().dispCalib[c]->text(), QString::number(cal[c])) << c;
    }
    EXPECT_EQ(Main().dispDeltaRaw->text(), QStringLiteral("1200"));
    EXPECT_EQ(Main().dispDeltaCalib->text(), QString::number(m.calR - m.calB));
    EXPECT_TRUE(tool->Interface().isVisible());
    EXPECT_FALSE(tool->Interface().buttonAccept->isEnabled());

    // SEND POWER sets the measuring set when confirmed, then reads the factors and goes.
    Main().editPower->setValue(640);
    for (bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        popups.Clear();
        Sensor().ClearRequests();
        popups.QueueConfirm(confirm);
        RunSequence(Main().buttonSendPower,
                    [this] { return Count(5) >= 2 && (Click(Main().buttonStop), true); });
        ASSERT_EQ(popups.Count(), 1);
        EXPECT_EQ(popups.LastTitle(), QStringLiteral("SEND POWER"));
        EXPECT_EQ(popups.LastText(), Text(info::calib::InfoWhiteTarget));
        EXPECT_EQ(OrdersFolded(), (confirm ? std::vector<int>{1, 31, 5} : std::vector<int>{31, 5}));
        EXPECT_EQ(Main().Factors(), (CalibrationFactors{1100, 1024, 900}));
    }
    // A STOP pressed in the pause after the transfer ends the GO loop after its first frame,
    // although the factor read that follows the pause takes it before the loop begins.
    Sensor().ClearRequests();
    popups.QueueConfirm(true);
    RunSequence(Main().buttonSendPower, [this] {
        return Count(1) == 1 && Count(31) == 0 && (Click(Main().buttonStop), true);
    });
    EXPECT_EQ(OrdersFolded(), (std::vector<int>{1, 31, 5}));
    EXPECT_EQ(Count(5), 1u);
    // The measuring set goes to the working parameters only.
    const std::vector<std::uint16_t> measuring{640, 0, 0x8000, 0, 10,   0,    1,
                                               0,   0, 0,      0, 3000, 3500, 0};
    state = Sensor().State();
    EXPECT_EQ(std::vector<std::uint16_t>(state.ram.begin(), state.ram.begin() + 14), measuring);
    EXPECT_EQ(state.eeprom, sim::DefaultImage());

    Sensor().ClearRequests();
    Main().ShowFactors({1111, 999, 888});
    Click(Main().buttonSendCF);
    Click(Main().buttonGetCF);
    EXPECT_EQ(Sensor().State().cf, (Cf{1111, 999, 888}));
    EXPECT_EQ(Orders(Sensor().Requests()), (std::vector<int>{30, 31}));

    // A missing reply ends the loop with one report, not one per pass.
    Sensor().AddFault(
        *sim::Fault::Parse(QStringLiteral("noreply,order=5,skip=3,times=1"), nullptr));
    Sensor().ClearRequests();
    popups.Clear();
    RunSequence(Main().buttonGo, [] { return true; });
    EXPECT_EQ(Count(5), 4u);
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("TRIVEX CALIB TEST V6.1"));
    EXPECT_EQ(popups.LastText(), Text(InfoTimeoutVer));
    EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_TRUE(CommandButtons());
}

TEST_F(CalibToolTest, CalculationChecksTheMeansThenSendsTheFactorsAndGoes) {
    StartOverTcp();
    using namespace info::calib;
    struct Case {
        const char* what;
        std::uint16_t green, maxdelta;
        bool confirm;
        const char* fault;  // from the start of the run
        const char *title, *text;
        Cf sent;  // the new factors, or the boxes as they were
        Means means;
        const char* transfer;  // the state line's last transfer, its time left off
        int closeAt = 0;       // the window is closed at this data request
    };
    const Means white{2800, 3000, 3200, 400}, kept{1, 2, 3, 4};
    const Cf boxes{1010, 1020, 1030};
    const char *silent57 = "noreply,order=5,skip=56,times=1", *attention = "ATTENTION!",
               *passed = "CALIBRATION PASSED!";
    const char* unchanged = "; unchanged CF sent to EEPROM";
    const Case cases[] = {
        {"passed",
         3000,
         400,
         1,
         "",
         passed,
         CalibrationPassed,
         {1097, 1024, 960},
         white,
         "CF sent to EEPROM"},
        {"declined", 3000, 400, 0, "", "INFO!", InfoInsertRightValues, boxes, kept,
         "calibration cancelled"},
        {"spread one above", 3000, 399, 1, "", attention, MaximumDelta, boxes, white,
         "calibration refused: raw delta 400 above 399"},
        {"dark channel",
         0,
         4095,
         1,
         "",
         attention,
         CFOutOfRange,
         boxes,
         {2800, 1, 3200, 3200},
         "calibration refused: CF GREEN 3072000 outside 750...1300"},
        {"frame 57 unanswered", 3000, 400, 1, silent57, attention, CalibrationFailed, boxes, kept,
         "calibration failed: no reply within 2.0 s"},
        {"window closed", 3000, 400, 1, "", "", "", boxes, kept, nullptr, 10},
    };
    // The buttons keep their sizes, dimmed or not, whatever colours the run gives them.
    auto buttonSizes = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QList<QSize> sizes;
        for (QPushButton* b : Main().findChildren<QPushButton*>()) sizes << b->size();
        return sizes;
    };
    const QList<QSize> idleSizes = buttonSizes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        popups.Clear();
        Sensor().ClearRequests();
        Sensor().SetSample({2800, double(c.green), 3200, 25});
        if (*c.fault) Sensor().AddFault(*sim::Fault::Parse(QString::fromLatin1(c.fault), nullptr));
        Main().editSetValue->setValue(3000);
        Main().editMaxDelta->setValue(c.maxdelta);
        Main().ShowFactors({1010, 1020, 1030});
        State().calib.means = kept;
        popups.QueueConfirm(c.confirm);
        QObject context;  // the run serves events while it waits for a reply
        QObject::connect(
            &Sensor(), &sim::SimServer::requestReceived, &context,
            [&] {
                if (c.closeAt && Count(5) == std::size_t(c.closeAt)) Main().close();
            },
            Qt::QueuedConnection);
        QList<QSize> goSizes;
        RunSequence(Main().buttonCalcCF, [&] {  // STOP once GO mode shows three frames
            if (!Count(30) || Count(5) < DataBefore(30) + 3) return false;
            goSizes = buttonSizes();
            Click(Main().buttonStop);
            return true;
        });
        EXPECT_EQ(popups.Texts().value(0), Text(ConfirmCalculation));
        EXPECT_EQ(popups.Titles().value(1), QString::fromLatin1(c.title));
        EXPECT_EQ(popups.Texts().value(1), Text(c.text));
        EXPECT_EQ(popups.Count(), c.closeAt ? 1 : 2);
        using V = std::vector<int>;
        EXPECT_EQ(OrdersFolded(), (c.closeAt ? V{5} : c.confirm ? V{5, 30, 5} : V{30, 5}));
        EXPECT_EQ(DataBefore(30), c.closeAt ? 10u : !c.confirm ? 0u : *c.fault ? 57u : 100u);
        EXPECT_EQ(Sensor().State().cf, c.sent);
        EXPECT_EQ(State().calib.means, c.means);
        EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonCalcCF), kColourLightGrey);
        if (c.transfer) {
            const QString last = Main().stateLine->lastTransfer->text();
            const QString expected = QLatin1String(c.transfer) +
                                     (c.sent == boxes ? QLatin1String(unchanged) : QString());
            EXPECT_EQ(last.chopped(9), expected);
        }
        EXPECT_EQ(buttonSizes(), idleSizes);
        EXPECT_TRUE(c.closeAt || goSizes == idleSizes);
    }
    EXPECT_TRUE(tool->QuitRequested());
    ForgetQuitRequest();
}

TEST_F(CalibToolTest, FinishStoresTheDefaultsAndTheFactorsWhateverEachStepMeets) {
    StartOverTcp();
    using namespace info::calib;
    std::vector<int> all{1};
    all.insert(all.end(), kTeachRows, 2);
    all.insert(all.end(), {6, 30, 31, 7});
    const std::pair<QString, QString> info{"INFO!", Text(InfoButtonFinishCalib)},
        timeout{"TRIVEX-SIM V6.1", Text(InfoTimeoutVer)};
    struct Case {
        const char* what;
        const char* fault;  // "close": the sensor closed the conversation before
        std::vector<std::pair<QString, QString>> popups;
        std::vector<int> orders;
        int comecho;
    };
    const Case cases[] = {
        {"all answered", "", {info}, all, 1},
        {"a wrong echo", "badorder,order=6,times=1", {info}, all, 0},
        {"no echo", "noreply,order=6,times=1", {info, timeout}, all, 0},
        // Each failed step is reported once: the parameters (no rows, no order 6), the factors
        // and their read-back; the connection attempt at the end reaches the sensor again.
        {"a closed link", "close", {info, timeout, timeout, timeout}, {7}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Main().ShowFactors({1100, 1000, std::uint16_t(900 + c.comecho)});
        if (c.fault == std::string("close")) {
            Sensor().CloseConversation();
            WaitUntil([this] { return State().link.tcpcon == 0; }, 10.0, WaitMode::ServeUserInput,
                      {WakeSource(&tool->Link(), &Com232::linkDown)});
        } else if (*c.fault) {
            Sensor().AddFault(*sim::Fault::Parse(QString::fromLatin1(c.fault), nullptr));
        }
        popups.Clear();
        Sensor().ClearRequests();
        bool red = false;
        popups.SetHook([&](const PopupRecord&) {
            red = BackgroundOf(Main().buttonFinishCalib) == kColourRed;
            EXPECT_GE(TextContrast(Main().buttonFinishCalib), kReadableContrast);
        });
        Click(Main().buttonFinishCalib);
        popups.SetHook({});
        EXPECT_TRUE(red);
        EXPECT_EQ(CalibPanel::ButtonColour(Main().buttonFinishCalib), kColourLightGrey);
        std::vector<std::pair<QString, QString>> shown;
        for (const auto& r : popups.Records()) shown.emplace_back(r.title, r.text);
        EXPECT_EQ(shown, c.popups);
        EXPECT_EQ(Orders(Sensor().Requests()), c.orders);
        EXPECT_EQ(State().exchange.comecho, c.comecho);
        EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TRIVEX-SIM V6.1"));
        if (c.orders.size() == 1) continue;
        EXPECT_EQ(Sensor().State().cf, (Cf{1100, 1000, std::uint16_t(900 + c.comecho)}));
    }
    // The EEPROM holds the default set and an untaught table.
    const sim::SensorState s = Sensor().State();
    const std::vector<std::uint16_t> defaults{250, 0, 128, 0,    10,   50, 1, 0,
                                              0,   0, 0,   3000, 3500, 0,  0, 0};
    EXPECT_EQ(std::vector<std::uint16_t>(s.eeprom.begin(), s.eeprom.begin() + 16), defaults);
    for (int row = 0; row < sim::kRows; ++row) {
        for (int col = 0; col < 5; ++col) EXPECT_EQ(s.eeprom[sim::RowWord(row, col)], 1);
        EXPECT_EQ(s.eeprom[sim::RowWord(row, sim::kRowGroup)], 0);
    }
}

}  // namespace
}  // namespace tvx::calib
