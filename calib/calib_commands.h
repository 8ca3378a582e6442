#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "calib_state.h"
#include "calibration.h"
#include "com232.h"
#include "command_link.h"
#include "popups.h"

namespace tvx::calib {

// What the exchanges read from and show on the main panel.
struct CalibPanelHooks {
    std::function<void(const QString&)> showMainStatus;
    std::function<void(const QString&)> showInterfaceStatus;
    std::function<void()> enableAccept;  // the interface panel's Accept button
    std::function<std::uint16_t()> readPower;
    std::function<CalibrationFactors()> readFactors;  // the three CF boxes
    std::function<void(const CalibrationFactors&)> showFactors;
    std::function<std::uint16_t()> readSetValue;
    std::function<std::uint16_t()> readMaxDelta;
    std::function<void()> showFrame;  // the live values and spreads onto the displays
    std::function<void(std::uint32_t rgb)> setCalcButtonColour;
    // True once the main panel was closed: a run in progress ends without a word.
    std::function<bool()> closing;
    // True once when a STOP came after the sequence's pause, before its GO loop began.
    std::function<bool()> takeStopBeforeGo;
};

// The calibration tool's exchanges with the sensor and the calibration run.
class CalibCommands {
  public:
    CalibCommands(Com232& com, CalibState& state, Popups& popups, CalibPanelHooks hooks);

    // The handshake after every connection attempt: order 7, whose 36-byte reply is the sensor's
    // version text, shown in both status displays. No parameters are read afterwards.
    void CheckComLine();
    // The measuring set with the POWER box's value, in one order-1 frame.
    void SendCalibPara();
    // The default parameter set and teach table into the EEPROM: order 1, order 2 for each row,
    // then order 6 whose echo must come back. Expects comecho = 1 on entry.
    void SendPara();
    // The order-6 exchange that closes a parameter transfer: comecho = 1 when the echo is right.
    void Befehl6plus8();
    // The three CF boxes to the sensor (order 30). After a calculation that gave no new factors,
    // `calculation` says why ("calibration refused: ..."), and the state line says that the
    // factors sent are the unchanged ones.
    void SendCF(const QString& calculation = {});
    // The sensor's stored factors into the CF boxes (order 31); ends a running GO loop.
    void GetCF();
    // The GO loop: one data frame after another until poll is cleared.
    void GetData();
    // Asks for one data frame (order 5) and, when the write went out whole and the reply came
    // complete, unpacks it into the live values; nothing is reported.
    bool FetchDataFrame();
    // The calibration run: confirmation, 100 frames averaged, then SetCF. Empty when new factors
    // passed, else why the CF boxes hold the factors from before ("calibration cancelled").
    QString CalcCF();
    // The factor computation on the means of the last run, with its checks and messages. Empty
    // when the factors passed and were taken, else why not.
    QString SetCF();
    // The spreads of the last frame, then the frame onto the displays.
    void SetPanelData();

    // "TIMEOUT" in the status display and the box titled with the sensor's version text.
    void FailureReport();

  private:
    Com232& com_;
    CalibState& state_;
    Popups& popups_;
    CalibPanelHooks hooks_;
    CommandLink cmd_;
};

}  // namespace tvx::calib
