#pragma once

// The calibration's own messages, next to the help texts of tvx::info::calib.
// clang-format off
namespace tvx::info::calib {

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
