#include <gtest/gtest.h>

#include <QString>
#include <cstring>
#include <string>

#include "info_texts.h"

namespace tvx {
namespace {

// Hand-typed expectations: the blanks before and after the texts, inside them and around the line
// breaks are what the user sees and must survive any reformatting of the constants.

TEST(InfoTexts, ScopeTextsKeepTheirBlanksAndLineBreaks) {
    EXPECT_STREQ(info::InfoButtonStop,
                 " Stops data transfer from sensor to PC.\n Shortcut Key: F12. ");
    EXPECT_STREQ(
        info::InfoEditExteach,
        " Select external teach mode. \n OFF : no external teach. \n ON  : external teach to "
        "all rows of color teach table (see manual). \n ON 1: external teach to row 0 of "
        "color teach table. \n ");
    EXPECT_STREQ(info::InfoEditCalcMode,
                 " Select a calculation mode: \n X/Y  INT = X/Y pairs and intensity. \n s/i  M   = "
                 "s/i pairs and M.");
    EXPECT_STREQ(info::InfoEditEvalmode, "see manual.");
    EXPECT_STREQ(
        info::InfoEditTpTeachCtoWith,
        " Select which CTO should be transferred  to COLOR TEACH TABLE. \n VALUE CTO will be "
        "assigned to CTO in CTT. \n MAX DELTA (X/Y) will be assigned to CTO in CTT. \n MAX "
        "DELTA (X/Y) + VALUE CTO will be assigned to CTO in CTT. \n NO CHANGE of CTO in "
        "CTT. \n Dito siTO.");
    EXPECT_STREQ(info::InfoMaxColNo,
                 " ATTENTION! \n \n MAXCOL-No. IS TOO HIGH \n DECREASE MAXCOL-No. OR SWITCH TO "
                 "OUTMODE=BINARY");
    EXPECT_STREQ(
        info::InfoTimeoutVer,
        " ATTENTION! \n \n TIMEOUT \n NO CONNECTION TO SENSOR. \n The version of the sensor "
        "is displayed as the name of this dialog box.");
}

TEST(InfoTexts, OddSpellingsAreKept) {
    EXPECT_STREQ(info::InfoStringIpAdress, " Select an IP adress.");
    EXPECT_STREQ(info::InfoEditDynWinLoHi,
                 " Select a window for dynamic \n regaluation when PMOD = DYN.");
    EXPECT_NE(
        std::strstr(info::InfoEditMaxcolNo, "\n Aktive rows are labelled green, inaktive are "),
        nullptr);
    EXPECT_STREQ(info::InfoEditTpValueIto, " Select an ITO respectively aMTO. ");
    // The degree sign is one character for the user, not two bytes.
    const QString temp = QString::fromUtf8(info::InfoDispTemp);
    EXPECT_EQ(temp,
              QString(" Displays in %1C the actual temperature in the sensor.").arg(QChar(0x00B0)));
}

TEST(InfoTexts, InterfacePanelTextsAreSharedByAllPrograms) {
    EXPECT_STREQ(info::InfoButtonConnect, " Open a panel to select an interface protocol.");
    EXPECT_STREQ(info::InfoEditCommunicationProtocol, " Select RS232 or TCP/IP Interface. ");
    EXPECT_STREQ(info::InfoEditConnect, " Select a serial COM-PORT.");
    EXPECT_EQ(info::calib::InfoButtonConnect, info::InfoButtonConnect);
    EXPECT_EQ(info::calib::InfoStringPortNumber, info::InfoStringPortNumber);
    EXPECT_EQ(info::tempcomp::InfoButtonDiscard, info::InfoButtonDiscard);
    EXPECT_EQ(info::tempcomp::InfoEditConnect, info::InfoEditConnect);
}

TEST(InfoTexts, ToolsHaveTheirOwnWordingUnderTheSameNames) {
    EXPECT_STREQ(info::calib::InfoButtonStop, " Stops data transfer from sensor to PC.");
    EXPECT_STRNE(info::calib::InfoButtonGo, info::InfoButtonGo);
    EXPECT_STREQ(info::calib::InfoEditPower,
                 " EDIT BOX POWER: \n Select the intensity of the transmitter LED. \n 0 = no "
                 "intensity,  1000 = full intensity.");
    EXPECT_STREQ(info::InfoEditPower,
                 " Select the intensity of the transmitter LED. \n 0 = no intensity,  1000 = full "
                 "intensity.");
    // The scope's bar text is the calibration tool's raw-bar text.
    EXPECT_STREQ(info::calib::InfoDispBarsRAW, info::InfoDispBars);
    EXPECT_STREQ(info::calib::InfoStatus, " Displays serial interface status messages.");
    EXPECT_STREQ(
        info::calib::InfoTimeoutVer,
        " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR. \n The version of the "
        "sensor is displayed as the name of this dialog box.");
    // 27 blanks between "SENSOR." and the line break.
    EXPECT_NE(
        std::string(info::tempcomp::InfoTimeoutVer).find("SENSOR." + std::string(27, ' ') + "\n "),
        std::string::npos);
    EXPECT_STREQ(info::tempcomp::InfoTimeoutVer,
                 " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR."
                 "                           "
                 "\n The version of the sensor is displayed as the name of this dialog box.");
    EXPECT_STREQ(info::calib::InfoWhiteTarget,
                 " Make sure, that the sensor shines on a WHITE target! \n Select a proper POWER "
                 "value that the RAW DATAS are within the dynamic range.  \n Repeat as long as the "
                 "intensity for the RAW DATAS is NOT OK.");
}

}  // namespace
}  // namespace tvx
