#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <array>
#include <cstdint>

#include "calibration.h"
#include "panel.h"
#include "state_line.h"

namespace tvx::calib {

// The calibration tool's main panel: the command buttons, the POWER, CF, set-value and
// maximum-delta boxes, raw and calibrated values with their colour bars, the two spreads, the
// status and the link in use.
class CalibPanel : public Panel {
    Q_OBJECT
  public:
    explicit CalibPanel(const QString& title);

    QPushButton* buttonSendPower;
    QPushButton* buttonSendCF;
    QPushButton* buttonGetCF;
    QPushButton* buttonGo;
    QPushButton* buttonStop;
    QPushButton* buttonCalcCF;
    QPushButton* buttonFinishCalib;
    QPushButton* buttonConnect;

    QSpinBox* editPower;  // 0 = no intensity ... 1000 = full intensity
    QSpinBox* editCFR;
    QSpinBox* editCFG;
    QSpinBox* editCFB;
    QSpinBox* editSetValue;
    QSpinBox* editMaxDelta;

    // Red, green, blue.
    std::array<QLineEdit*, 3> dispRaw;
    std::array<QProgressBar*, 3> barRaw;
    std::array<QLineEdit*, 3> dispCalib;
    std::array<QProgressBar*, 3> barCalib;
    QLineEdit* dispDeltaRaw;
    QLineEdit* dispDeltaCalib;

    QLineEdit* dispStatus;
    QLineEdit* dispComPort;
    QLineEdit* dispIpAddress;
    QLabel* labelComPort;
    QLabel* labelIpAddress;
    QLabel* logo;
    QLabel* logoText;
    StateLine* stateLine;  // below everything else

    // Dims (1) or frees (0) the six command buttons; STOP and the connect button stay usable.
    void SetButtonsDimmed(int dimmed);

    CalibrationFactors Factors() const;
    void ShowFactors(const CalibrationFactors& factors);
    // One frame's values, each into its display and its bar, and the two spreads.
    void ShowFrame(const CalibLiveValues& live, std::uint16_t deltaraw, std::uint16_t deltacalib);

    // Greys out the values and bars (older than the last failure of the link) or shows them live.
    void ShowStale(bool stale);

    // A button's face colour, 0xRRGGBB.
    static void SetButtonColour(QPushButton* button, std::uint32_t rgb);
    static std::uint32_t ButtonColour(const QPushButton* button);
};

}  // namespace tvx::calib
