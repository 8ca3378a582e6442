// GO and STOP end to end: the real scope against the simulated sensor, checked from both sides.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Tvx3v61.h"
#include "failure_reports.h"
#include "info_texts.h"
#include "measurement.h"
#include "quit_request.h"
#include "scope_fixture.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {
namespace {

class LiveLoop : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        Sensor().WithModel([this](sim::SensorModel& model) { model.SetSample(sample); });
        Sensor().ClearRequests();
    }

    // Clicks GO; `step` acts while the live loop runs (see RunLoop).
    void RunGo(const std::function<bool()>& step) { RunLoop(Main().buttonGo, step); }

    std::size_t DataRequests() {
        std::size_t n = 0;
        for (const auto& r : Sensor().Requests()) n += r.Order() == 5 ? 1 : 0;
        return n;
    }

    sim::Sample sample{3000, 1600, 480, 27};
};

TEST_F(LiveLoop, GoShowsEveryFrameUntilStop) {
    const sim::Measurement expected = sim::Measure(Sensor().State(), sample);
    bool dimmedWhileRunning = false;
    RunGo([&] {
        if (DataRequests() < 5) return false;
        dimmedWhileRunning = !Main().buttonSend->isEnabled() && !Main().buttonGet->isEnabled() &&
                             !Main().buttonGo->isEnabled() && !Main().buttonConnect->isEnabled() &&
                             !scope->Controls().editCalcmode->isEnabled() &&
                             Main().buttonStop->isEnabled();
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(dimmedWhileRunning);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(Main().buttonGo->isEnabled());
    EXPECT_TRUE(Main().buttonSend->isEnabled());
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();

    // Only data frames were asked for, and the loop stopped asking.
    const auto orders = Orders(Sensor().Requests());
    EXPECT_GE(orders.size(), 5u);
    EXPECT_TRUE(std::all_of(orders.begin(), orders.end(), [](int o) { return o == 5; }));
    const std::size_t afterStop = orders.size();
    QTest::qWait(200);
    EXPECT_EQ(Sensor().RequestCount(), afterStop);

    // The last frame is on the panel.
    EXPECT_EQ(Main().dispRed->text(), QString::number(expected.calR));
    EXPECT_EQ(Main().dispGreen->text(), QString::number(expected.calG));
    EXPECT_EQ(Main().dispBlue->text(), QString::number(expected.calB));
    EXPECT_EQ(Main().dispX->text(), QString::number(expected.x));
    EXPECT_EQ(Main().dispY->text(), QString::number(expected.y));
    EXPECT_EQ(Main().dispINT->text(), QString::number(expected.intensity));
    EXPECT_EQ(Main().dispCOL->text(), QString::number(expected.colour));
    EXPECT_EQ(Main().dispTemp->text(), "27");
    EXPECT_EQ(Main().barRed->value(), expected.calR);
    EXPECT_EQ(scope->State().rgbcolor, PatchColour(expected.calR, expected.calG, expected.calB));
    EXPECT_EQ(Main().graphData1->CursorPosition(), QPointF(expected.x, expected.y));
    // The histories hold one sample per frame.
    const StripChartHistory& raw = scope->State().rawbuf;
    const std::size_t frames = std::min<std::size_t>(afterStop, kHistorySamples);
    for (std::size_t s = kHistorySamples - frames; s < kHistorySamples; ++s)
        EXPECT_EQ(raw[3 * s], expected.calR) << "sample " << s;
    EXPECT_EQ(raw[3 * (kHistorySamples - frames) - 3], 0) << "no sample before the first frame";
    // The X/Y border was drawn for the loop.
    EXPECT_EQ(Main().graphData1->PlotCount(), 1);
}

TEST_F(LiveLoop, SourceChangedDuringTheLoopTakesEffectWithTheNextFrame) {
    std::size_t changedAt = 0;
    RunGo([&] {
        if (changedAt == 0 && DataRequests() >= 2) {
            Choose(Main().selectSource, 1);
            changedAt = DataRequests();
            return false;
        }
        if (changedAt == 0 || DataRequests() < changedAt + 3) return false;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(Main().graphRGB->isVisible());
    EXPECT_FALSE(Main().graphData1->isVisible());
    const QVector<double> red = Main().graphRGB->TraceValues(0);
    ASSERT_EQ(red.size(), kHistorySamples);
    EXPECT_EQ(red.back(), Main().dispRed->text().toDouble());
}

TEST_F(LiveLoop, ATimeoutEndsTheLoopWithOneReportAndKeepsTheLastFrame) {
    RunGo([&] {
        if (DataRequests() < 2) return false;
        sim::Fault silent;
        silent.kind = sim::FaultKind::NoReply;
        Sensor().AddFault(silent);
        return true;
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.Titles().value(0), QString::fromLatin1(sim::kDefaultVersion));
    EXPECT_EQ(popups.Texts().value(0), QString::fromUtf8(info::InfoTimeoutVer));
    EXPECT_FALSE(Main().dispRed->text().isEmpty()) << "the last good frame stays";
    EXPECT_TRUE(Main().buttonGo->isEnabled());
}

TEST_F(LiveLoop, CalculationModeSiDrawsNoBorder) {
    Choose(scope->Controls().editCalcmode, 1);
    ASSERT_TRUE(Sensor().WaitForRequests(16, 5000));
    popups.Clear();
    RunGo([&] {
        if (DataRequests() < 2) return false;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_EQ(Main().graphData1->PlotCount(), 0);
    EXPECT_EQ(Main().labelX->text(), "s");
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
}

TEST_F(LiveLoop, StopWithoutALoopDoesNothing) {
    Click(Main().buttonStop);
    QTest::qWait(100);
    EXPECT_EQ(Sensor().RequestCount(), 0u);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(Main().buttonGo->isEnabled());
}

TEST_F(LiveLoop, ClosingTheMainPanelEndsTheLoop) {
    RunGo([&] {
        if (DataRequests() < 2) return false;
        Main().close();
        return true;
    });
    EXPECT_TRUE(scope->QuitRequested());
    EXPECT_EQ(scope->State().flags.poll, 0);
    const std::size_t after = Sensor().RequestCount();
    ForgetQuitRequest();
    EXPECT_EQ(Sensor().RequestCount(), after);
}

}  // namespace
}  // namespace tvx
