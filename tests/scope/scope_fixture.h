#pragma once

// The running scope against the simulated sensor over TCP 127.0.0.1: started as the program
// starts (panels, start-up sequence, connection and parameter read), operated through its real
// widgets, with every pop-up answered and recorded.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "Tvx3v61.h"
#include "help_check.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {

class ScopeWithSensor : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sensor.Start()) << sensor.Error().toStdString();
        StartScope();
    }
    void TearDown() override { StopScope(); }

    // Starts the scope connected to the sensor; the start-up must end without a pop-up.
    void StartScope() {
        StartOptions options;
        options.comprotocol = 1;
        options.tcpHost = QStringLiteral("127.0.0.1");
        options.tcpPort = QString::number(sensor.TcpPort());
        options.programDirectory = programDir.path();
        scope = std::make_unique<Tvx3v61>(popups, options);
        scope->LoadPanels();
        scope->Main().show();
        scope->InitVars();
        ASSERT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    }
    void StopScope() {
        if (scope && scope->State().link.tcpcon) scope->Link().DisconnectTCP();
        scope.reset();
    }

    sim::SimServer& Sensor() { return sensor.Server(); }
    MainPanel& Main() { return scope->Main(); }
    ParameterControls& Controls() { return scope->Controls(); }

    // Clicks `button`, which runs a loop; while it runs, `step` is called every 20 ms until it
    // returns true. Returns when the button's callback has returned. A loop still running after
    // 20 s is stopped and fails the test.
    void RunLoop(QAbstractButton* button, const std::function<bool()>& step) {
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
        Click(button);
        user.stop();
    }

    // A right click on the control shows exactly its help text.
    void ExpectHelp(QWidget* control, const char* text, const char* title = "INFO!") {
        tvx::ExpectHelp(popups, control, text, title);
    }

    QTemporaryDir programDir;
    sim::SimThread sensor;
    ScriptedPopups popups;
    std::unique_ptr<Tvx3v61> scope;
};

}  // namespace tvx
