#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>

#include "graph_control.h"
#include "indicator_lamp.h"
#include "panel.h"
#include "state_line.h"

namespace tvx {

// The scope's main panel: command buttons, status, the interface displays, and the area where the
// parameter page and the teach page take turns.
class MainPanel : public Panel {
    Q_OBJECT
  public:
    explicit MainPanel(const QString& title);

    QPushButton* buttonSend;
    QPushButton* buttonGet;
    QPushButton* buttonGo;
    QPushButton* buttonStop;
    QPushButton* buttonConnect;
    // The memory selector: three toggles that act as one (source and target of SEND and GET).
    QPushButton* selectRAM;
    QPushButton* selectEEPROM;
    QPushButton* selectFILE;
    QLineEdit* dispStatus;
    QLineEdit* dispComPort;
    QLineEdit* dispIpAddress;
    QLabel* labelComPort;
    QLabel* labelIpAddress;
    QCheckBox* switchPara;  // checked: parameter page; unchecked: teach page
    QWidget* parameterPage;
    QWidget* teachPage;
    QLabel* logo;
    QLabel* logoText;

    // Live values.
    QProgressBar* barRed;  // 0 ... 4095
    QProgressBar* barGreen;
    QProgressBar* barBlue;
    QWidget* rgbDisplays;  // the numeric R, G, B displays with their labels
    QLineEdit* dispRed;
    QLineEdit* dispGreen;
    QLineEdit* dispBlue;
    QWidget* planeDisplays;  // the X, Y, INT displays with their labels
    QLineEdit* dispX;
    QLineEdit* dispY;
    QLineEdit* dispINT;
    QLabel* labelX;
    QLabel* labelY;
    QLabel* labelINT;
    QWidget* colourNumber;  // the C-No display with its label
    QLineEdit* dispCOL;
    QWidget* margin;  // the MARGIN display with its label, beside C-No
    QLineEdit* dispMargin;
    QWidget* colourBits;                      // the four indicators with their frame
    std::array<IndicatorLamp*, 4> colourBit;  // values 8, 4, 2, 1
    QWidget* group;                           // the group display with its label
    QLineEdit* dispGroup;
    QLineEdit* dispTemp;
    QFrame* colourPatch;

    // Graphs. The zoom graph lies on the colour-plane graph; raising one puts it in front.
    GraphControl* graphData1;  // the colour plane, cursor at the measurement
    GraphControl* graphData2;  // the zoom graph
    StripChart* graphRGB;      // raw R, G, B
    StripChart* graphINT;      // intensity with the band of one teach row
    QComboBox* selectSource;   // 0: colour plane, 1: R, G, B, 2: intensity

    StateLine* stateLine;  // below everything else
};

}  // namespace tvx
