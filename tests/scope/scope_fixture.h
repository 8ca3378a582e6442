#pragma once

// The scope's panels offscreen without a sensor, and the running scope against the simulated
// sensor over TCP 127.0.0.1; both operated through their real widgets, every pop-up recorded.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "Tvx3v61.h"
#include "failure_reports.h"
#include "help_check.h"
#include "live_display.h"
#include "scope_texts.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"
#include "startup_probe.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {

inline StartOptions SerialOptions(const QString& device) {
    StartOptions options;
    options.address = SensorAddress::Serial({1, device});
    return options;
}

inline StartOptions TcpStartOptions(quint16 port) {
    StartOptions options;
    options.address = SensorAddress::Tcp(QStringLiteral("127.0.0.1"), port);
    return options;
}

class ScopePanels : public ::testing::Test {
  protected:
    void SetUp() override {
        FillBorderRamps(state.xramp, state.yramp);
        panel = std::make_unique<MainPanel>(QStringLiteral("TRIVEX-Scope V6.1"));
        grouppanel = std::make_unique<GroupPanel>();
        controls = std::make_unique<ParameterControls>(
            *panel, *grouppanel, ParameterControls::State{state.params, state.exchange}, popups,
            [this] { onSend(); });
        live = std::make_unique<LiveDisplay>(
            *panel, *controls,
            LiveDisplay::State{state.live, state.params, state.source, state.rgbcolor, state.rawbuf,
                               state.intbuf, state.xramp, state.yramp, state.margins},
            popups);
        controls->ParaVis();
        live->DispVis();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }
    void ShowFrame(std::uint16_t r, std::uint16_t g, std::uint16_t b, std::uint16_t x,
                   std::uint16_t y, std::uint16_t intensity, std::int32_t colour = 1) {
        state.live.dataR = r;
        state.live.dataG = g;
        state.live.dataB = b;
        state.live.dataX = x;
        state.live.dataY = y;
        state.live.dataINT = intensity;
        state.live.dataCOL = colour;
        // As the live loop's frame step does.
        live->SetPanelData();
        FeedHistories(state.rawbuf, state.intbuf, state.live, live->IntensityBandInView());
        live->ShowGraph();
    }
    bool Shown(QWidget* w) const { return w->isVisibleTo(panel.get()); }

    ScopeState state;
    ScriptedPopups popups;
    std::function<void()> onSend = [] {};
    std::unique_ptr<MainPanel> panel;
    std::unique_ptr<GroupPanel> grouppanel;
    std::unique_ptr<ParameterControls> controls;
    std::unique_ptr<LiveDisplay> live;
};

class ScopeWithSensor : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sensor.Start()) << sensor.Error().toStdString();
        StartScope();
    }
    void TearDown() override { StopScope(); }

    void StartScope() {
        StartWith(TcpStartOptions(sensor.TcpPort()));
        ASSERT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    }
    void StartWith(StartOptions options) {
        options.programDirectory = programDir.path();
        scope = std::make_unique<Tvx3v61>(popups, std::move(options));
        scope->LoadPanels();
        scope->Main().show();
        scope->InitVars();
    }
    void StopScope() {
        if (!scope) return;
        scope->Link().CloseCom();
        if (scope->State().link.tcpcon) scope->Link().DisconnectTCP();
        scope.reset();
    }

    sim::SimServer& Sensor() { return sensor.Server(); }
    MainPanel& Main() { return scope->Main(); }
    ParameterControls& Controls() { return scope->Controls(); }
    std::vector<int> SensorOrders() { return Orders(Sensor().Requests()); }

    // Clicks `button`, which runs a loop, calling `step` every 20 ms until it returns true; a loop
    // still running after 20 s is stopped and fails the test.
    void RunLoop(QAbstractButton* button, const std::function<bool()>& step) {
        RunLoop([button] { Click(button); }, step);
    }
    // The same for a loop that `startLoop` starts (a key, say).
    void RunLoop(const std::function<void()>& startLoop, const std::function<bool()>& step) {
        QTimer user;
        bool done = false;
        const double start = SecondsTimer();
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!done) done = step();
            if (SecondsTimer() - start > 20.0 && scope->State().flags.poll == 1) {
                ADD_FAILURE() << "the loop did not end";
                scope->State().flags.poll = 0;
            }
        });
        user.start(20);
        startLoop();
        user.stop();
    }
    QTemporaryDir programDir;
    sim::SimThread sensor;
    ScriptedPopups popups;
    std::unique_ptr<Tvx3v61> scope;
};

}  // namespace tvx
