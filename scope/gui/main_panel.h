#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "panel.h"

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
};

}  // namespace tvx
