#pragma once

// The texts of the calibration tool (Tvx3CalibV61): the help texts of its controls, kept as the
// product has them (its interface panel's help is the one every program shares:
// program/interface_panel.h), and its own messages.

#include "interface_panel.h"

// clang-format off
namespace tvx::info::calib {

// Main panel.
inline constexpr const char* InfoButtonGo =
    " Starts data transfer of RAW DATAS and CALIBRATED DATAS from sensor to PC. \n"
    " The data are shown in the displays and in the color bars.";

inline constexpr const char* InfoButtonStop = " Stops data transfer from sensor to PC.";

inline constexpr const char* InfoButtonSendPower = " Send POWER value to sensor.";

inline constexpr const char* InfoButtonSendCF =
    " Calibration factors for RED,GREEN and BLUE will be send to the EEPROM of the sensor.";

inline constexpr const char* InfoButtonGetCF =
    " Calibration factors for RED,GREEN and BLUE will be read from the sensor.";

inline constexpr const char* InfoButtonCalcCF =
    " Calculate the calibration factors for RED, GREEN and BLUE. ";

inline constexpr const char* InfoButtonFinishCalib =
    " Finish calibration. \n"
    " ATTENTION! \n"
    " Default parameters will be send to the EEPROM of the sensor. \n"
    " Calibration factors for RED,GREEN and BLUE will be send to the EEPROM of the sensor. ";

inline constexpr const char* InfoEditPower =
    " EDIT BOX POWER: \n"
    " Select the intensity of the transmitter LED. \n"
    " 0 = no intensity,  1000 = full intensity.";

inline constexpr const char* InfoEditCF = " Edit Box for the calibration factor. ";

inline constexpr const char* InfoEditSetValue =
    " If PMOD=STAT. \n"
    " Choose the setvalue for RED,GREEN and BLUE. ";

inline constexpr const char* InfoEditMaxDelta =
    " Choose the maximum DELTA value of RED,GREEN and BLUE. ";

inline constexpr const char* InfoDispBarsRAW = " Displays the RAW values of RED, GREEN and BLUE.";

inline constexpr const char* InfoDispBars =
    " Displays the calibrated values of RED, GREEN and BLUE. \n"
    " Formula: CALIBRATED DATA = (RAW DATA * CF) / 1000 ";

inline constexpr const char* InfoStatus = " Displays serial interface status messages.";

// Confirmation before the measuring set with the POWER value is sent (SEND POWER).
inline constexpr const char* InfoWhiteTarget =
    " Make sure, that the sensor shines on a WHITE target! \n"
    " Select a proper POWER value that the RAW DATAS are within the dynamic range.  \n"
    " Repeat as long as the intensity for the RAW DATAS is NOT OK.";

// Failure report of a failed write or a timed-out exchange (the scope's says "NO CONNECTION").
inline constexpr const char* InfoTimeoutVer =
    " ATTENTION! \n"
    " \n"
    " TIMEOUT \n"
    " NO SERIAL CONNECTION TO SENSOR. \n"
    " The version of the sensor is displayed as the name of this dialog box.";

// The button that opens the interface settings panel is the same in every program.
using info::InfoButtonConnect;

// Messages of the calibration.
inline constexpr const char* kConfirmCalculationTitle = "CONFIRM CALCULATION!";
inline constexpr const char* ConfirmCalculation =
    " Are you sure, that you have selected \n"
    " the right calibration parameters? ";

// Shown when the user declines the calculation.
inline constexpr const char* InfoInsertRightValues =
    "Please insert the right values and press                            \n"
    " CALCULATE CALIBRATION FACTORS again.";

inline constexpr const char* kAttentionTitle = "ATTENTION!";
inline constexpr const char* CalibrationFailed = "CALIBRATION FAILED!";

inline constexpr const char* MaximumDelta =
    " The maximum delta of the raw data of RED,GREEN and BLUE is to high. \n"
    " Calibration is not possible. \n"
    " Verify, that the sensor shines on a WHITE target! \n"
    " Increase MAXIMUM DELTA OF RAW DATAS! ";

inline constexpr const char* CFOutOfRange =
    " One of the calibration factor is out of range. \n"
    " Calibration is not possible. \n"
    " Verify, that the senor shines on a WHITE target! \n"
    " Choose a proper POWER value. ";

inline constexpr const char* kCalibrationPassedTitle = "CALIBRATION PASSED!";
inline constexpr const char* CalibrationPassed =
    " Calibration successful! \n"
    " Calibration factors will be sent to the EEPROM of the sensor. \n"
    " GO mode will be activated. \n"
    " Press STOP and FINISH CALIBRATION to leave calibration scope. ";

inline constexpr const char* kSendPowerTitle = "SEND POWER";

}  // namespace tvx::info::calib
// clang-format on
