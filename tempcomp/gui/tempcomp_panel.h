#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <array>
#include <cstdint>

#include "coefficient_box.h"
#include "compensation.h"
#include "graph_control.h"
#include "panel.h"
#include "state_line.h"

namespace tvx::tempcomp {

inline constexpr std::uint32_t kColourRed = 0xFF0000;
inline constexpr std::uint32_t kColourLightGrey = 0xE0E0E0;

// The temperature-compensation tool's main panel: coefficient and set-value boxes, the curve and
// factor charts with their buttons, the temperature step with its three curve values, the
// transfer buttons, the equation-file buttons, the save result and the status.
class TempCompPanel : public Panel {
    Q_OBJECT
  public:
    explicit TempCompPanel(const QString& title);

    QPushButton* buttonSendCF;
    QPushButton* buttonGet;
    QPushButton* buttonSaveEquation;
    QPushButton* buttonGetEquation;
    QPushButton* buttonCalcCurves;
    QPushButton* buttonShowRed;
    QPushButton* buttonShowGreen;
    QPushButton* buttonShowBlue;
    QPushButton* buttonCalcCalib;
    QPushButton* buttonShowCfRed;
    QPushButton* buttonShowCfGreen;
    QPushButton* buttonShowCfBlue;
    QPushButton* buttonConnect;

    QSpinBox* editTemp;                   // temperature step T, 0 ... 99
    std::array<QLineEdit*, 3> dispCurve;  // dataRot[T], dataGruen[T], dataBlau[T]
    // RX4 RX3 RX2 RX1 RT, GX4 ... GT, BX4 ... BT.
    std::array<CoefficientBox*, kCoefficients> editCoefficient;
    std::array<QSpinBox*, 3> editSetValue;  // red, green, blue

    QLineEdit* dispSaveResult;
    QLineEdit* dispStatus;

    // Red, green, blue, combined.
    std::array<StripChart*, 4> chartCurve;
    std::array<StripChart*, 4> chartCf;

    QLabel* logo;
    QLabel* logoText;
    StateLine* stateLine;  // below everything else

    Coefficients CoefficientBoxes() const;
    // The boxes CalcCurves, SAVE EQUATION (the coefficients) and CalcCfCurves (the set values)
    // read.
    QList<QWidget*> CoefficientBoxList() const;
    QList<QWidget*> SetValueBoxList() const;
    void SetCoefficientBoxes(const Coefficients& values);
    SetValues SetValueBoxes() const;
    // Shows chart `shown` of the group and hides the other three.
    static void ShowOnly(std::array<StripChart*, 4>& charts, int shown);
    static void SetButtonColour(QPushButton* button, std::uint32_t rgb);
    static std::uint32_t ButtonColour(const QPushButton* button);
};

}  // namespace tvx::tempcomp
