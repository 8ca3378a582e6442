#pragma once

// The calibration tool in-process against the simulated sensor in a thread of its own, over TCP
// on 127.0.0.1 or a pseudo-terminal, with scripted pop-ups.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "Tvx3CalibV61.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"
#include "tool_fixture.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx::calib {

class CalibToolTest : public ToolWithSensor<Tvx3CalibV61> {
  protected:
    CalibPanel& Main() { return tool->Main(); }
    CalibState& State() { return tool->State(); }

    // Clicks `button`; while its sequence runs, `step` is called every 20 ms until it returns
    // true. Returns when the button's callback has returned. A GO loop still running after 30 s
    // is stopped and fails the test.
    void RunSequence(QAbstractButton* button, const std::function<bool()>& step) {
        QTimer user;
        bool done = false;
        const double start = SecondsTimer();
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (!done) done = step();
            if (SecondsTimer() - start > 30.0 && State().flags.poll == 1) {
                ADD_FAILURE() << "the GO loop did not end";
                State().flags.poll = 0;
            }
        });
        user.start(20);
        Click(button);
        user.stop();
    }
    // A step that presses STOP once the sensor has answered `frames` more data requests.
    std::function<bool()> StopAfterDataFrames(std::size_t frames) {
        return [this, frames] {
            if (Count(5) < frames) return false;
            Click(Main().buttonStop);
            return true;
        };
    }
    // Requests of `order` the sensor received since the last ClearRequests.
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
    bool CommandButtonsUsable() {
        for (QPushButton* b : {Main().buttonSendPower, Main().buttonSendCF, Main().buttonGetCF,
                               Main().buttonGo, Main().buttonCalcCF, Main().buttonFinishCalib})
            if (!b->isEnabled()) return false;
        return true;
    }
    bool CommandButtonsDimmed() {
        for (QPushButton* b : {Main().buttonSendPower, Main().buttonSendCF, Main().buttonGetCF,
                               Main().buttonGo, Main().buttonCalcCF, Main().buttonFinishCalib})
            if (b->isEnabled()) return false;
        return true;
    }
    void SetFactorBoxes(int r, int g, int b) {
        Main().editCFR->setValue(r);
        Main().editCFG->setValue(g);
        Main().editCFB->setValue(b);
    }
};

}  // namespace tvx::calib
