#pragma once

// The help texts of the scope: one constant per
// self-explaining control, named Info plus the control's name, shown on a right click in a box
// titled "INFO!" (AttachHelp in help.h) and used as the control's tool tip. A few of them double as
// messages (InfoTimeoutVer, InfoMaxColNo, InfoGroupsOutmode).
//
// The texts are the product's own, kept character for character: the leading and trailing blanks,
// the line breaks, the spellings ("adress", "regaluation", "Aktive", "will be send") and the degree
// sign (UTF-8) are deliberate. One source line per text line, hence no automatic formatting.
//
// tvx::info holds the scope's texts and, with the interface panel (program/interface_panel.h),
// those of the interface settings panel that all three programs share. The calibration tool and
// the temperature-compensation tool use some of the same names with their own wording; theirs
// live beside them, in tvx::info::calib (calib/calib_texts.h) and tvx::info::tempcomp
// (tempcomp/tempcomp_texts.h).

#include "interface_panel.h"
#include "mode_rules.h"

// clang-format off
namespace tvx::info {

// Failure report of a timed-out exchange: the message of the box titled with the sensor's
// version text.
inline constexpr const char* InfoTimeoutVer =
    " ATTENTION! \n"
    " \n"
    " TIMEOUT \n"
    " NO CONNECTION TO SENSOR. \n"
    " The version of the sensor is displayed as the name of this dialog box.";

// Main panel: commands, memory selector, page switch.
inline constexpr const char* InfoButtonSend =
    " All the parameters of the PC-User-Interface are transferred to the sensor or to a selectable file. \n"
    " The target of the parameter transfer is determined by the select button (RAM, EEPROM, FILE). \n"
    " Shortcut Key: F9. ";

inline constexpr const char* InfoButtonGet =
    " Sensor or file parameters are transferred to the PC-User-Interface. \n"
    " The source of the parameter transfer is determined by the select button (RAM, EEPROM, FILE). \n"
    " Shortcut Key: F10. ";

inline constexpr const char* InfoButtonGo =
    " Starts data transfer (R,G,B,X,Y,INT,C-No:,TEMP respectively \n"
    " R,G,B,s,i,M,C-No:,TEMP from sensor to PC. \n"
    " The data are shown in the displays, color bars and in the graph.\n"
    " Shortcut Key: F11. ";

inline constexpr const char* InfoButtonStop =
    " Stops data transfer from sensor to PC.\n"
    " Shortcut Key: F12. ";

inline constexpr const char* InfoSelectMEM =
    " Select the source respectively the target for the parameter transfer.";

inline constexpr const char* InfoSwitchPara = " Hide or show COLOR TEACH TABLE.";

// Main panel: mode controls of the parameter page.
inline constexpr const char* InfoEditPower =
    " Select the intensity of the transmitter LED. \n"
    " 0 = no intensity,  1000 = full intensity.";

inline constexpr const char* InfoEditPmod =
    " Select the operating mode of automatic power correction at the transmitter unit. \n"
    " STAT: Transmitter power is constantly kept at the POWER-SLIDER value. \n"
    " DYN : Transmitter power is dynamically tuned in accordance with the amount of radiation that \n"
    "       is diffusely reflected from the target. Sensor should not exceed the dynamic range.";

inline constexpr const char* InfoEditDynWinLoHi =
    " Select a window for dynamic \n"
    " regaluation when PMOD = DYN.";

inline constexpr const char* InfoEditAverage =
    " Select the number of scanning values (measurement values) over which the raw signal is averaged.";

inline constexpr const char* InfoEditEvalmode = "see manual.";

inline constexpr const char* InfoEditHold =
    " Select the minimum pulse length when a digital output changes.";

inline constexpr const char* InfoEditIntlim =
    " Select an intensity limit. \n"
    " Color evaluation is stopped, if the current intensity INT falls below this limit. \n"
    " ERROR STATE is output (C-No: = 255).";

inline constexpr const char* InfoEditMaxcolNo =
    " Select the number of color-vectors in the COLOR TEACH TABLE to be checked (beginning from row 0). \n"
    " Aktive rows are labelled green, inaktive are labelled red. \n"
    " If OUTMODE = BINARY the maximum number of colors to be checked is 15. \n"
    " If OUTMODE = DIRECT HI or DIRECT LO the maximum number of colors is 4.";

inline constexpr const char* InfoEditOutmode =
    " Select how to control the 5 digital outputs. \n"
    " BINARY   : If a color (row 0-14 in the COLOR TEACH TABLE) is detected, \n"
    "            this color is displayed in C-No: and is set binary to the digital outputs (OUT0-OUT3). \n"
    " DIRECT LO: The maximum number of colors to be taught is 4. \n"
    "            If a color (row 0-3 in the COLOR TEACH TABLE) is detected, \n"
    "            the special digital output is set to LO, all others are HI. \n"
    " DIRECT HI: The maximum number of colors to be taught is 4. \n"
    "            If a color (row 0-3 in the COLOR TEACH TABLE) is detected, \n"
    "            the special digital output is set to HI, all others are LO. \n"
    " If no color is detected, C-No: is 255.";

inline constexpr const char* InfoEditTrigger =
    " Select the trigger mode for the sensor. \n"
    " CONT: Continuous color detection (no trigger event required). \n"
    " EXT1: Color detection as long as trigger (IN0) is high. \n"
    "       When trigger goes low, the last detected color will be hold at the output. \n"
    " EXT2: Color detection as long as trigger (IN0) is high. \n"
    "       When trigger goes low, fail condition is output. ";

inline constexpr const char* InfoEditExteach =
    " Select external teach mode. \n"
    " OFF : no external teach. \n"
    " ON  : external teach to all rows of color teach table (see manual). \n"
    " ON 1: external teach to row 0 of color teach table. \n"
    " ";

inline constexpr const char* InfoEditCalcMode =
    " Select a calculation mode: \n"
    " X/Y  INT = X/Y pairs and intensity. \n"
    " s/i  M   = s/i pairs and M.";

// Warnings about settings, shown in a box titled "INFO!"; they never change a value. Their texts
// live with the rules that raise them, for the programs without windows too.
inline constexpr const char* InfoMaxColNo = kMaxColNoWarningText;
inline constexpr const char* InfoGroupsOutmode = kGroupsOutmodeWarningText;

// Main panel: live displays, bars and graphs.
inline constexpr const char* InfoDispX =
    " Displays the red content of the color currently arriving at the receiver.";

inline constexpr const char* InfoDispY =
    " Displays the green content of the color currently arriving at the receiver. ";

inline constexpr const char* InfoDispINT =
    " Displays the intensity of the color currently arriving at the receiver. ";

inline constexpr const char* InfoDispRAW =
    " Displays the current color intensity of RED,GREEN and BLUE. ";

inline constexpr const char* InfoDispBars = " Displays the RAW values of RED, GREEN and BLUE.";

inline constexpr const char* InfoDispCOL =
    " Displays the currently detected color number in accordance with the row \n"
    " in the COLOR TEACH TABLE.";

inline constexpr const char* InfoDispGroup = " Displays the currently detected color group.";

inline constexpr const char* InfoDispTemp =
    " Displays in °C the actual temperature in the sensor.";

inline constexpr const char* InfoStatus = " Displays interface status.";

inline constexpr const char* InfoGraph = " Displays a signal selected with SOURCE.";

inline constexpr const char* InfoSelectSource = " Select a signal to be displayed in the graph.";

// Main panel: teach page.
inline constexpr const char* InfoEditNo =
    " Select the current number of a row in the COLOR TEACH TABLE for TEACH DATA TO.";

inline constexpr const char* InfoRadioInc = " Auto increment of Edit Field No.:";

inline constexpr const char* InfoButtonTeachDataTo =
    " Current measured values (X,Y,INT respectively s,i,M) are assigned to the \n"
    " COLOR TEACH TABLE row selected in the No.: function field.";

inline constexpr const char* InfoButtonApplyFromAll =
    " Displays the graph with all the taught colors in the COLOR TEACH TABLE \n"
    " and the corresponding tolerance circles (radius = CTO respectively siTO).";

inline constexpr const char* InfoButtonAutoAdjust =
    " Starts an automatic adjustment of the circle tolerances (radius = CTO or siTO) up to MAXCOL-No. \n"
    " The circles (CTO or siTO) can overlap, if an INT or M separation is granted. \n"
    " Maximum adjusted CTO or siTO (radius) is 200.";

inline constexpr const char* InfoButtonResetTable =
    " Reset the COLOR TEACH TABLE. \n"
    " All cells are set to 1.";

inline constexpr const char* InfoButtonZoom =
    " Zoom the graph with the taught colors the corresponding \n"
    " tolerance circle and the current X/Y respectively s/i. \n"
    " Left mouse click stops data transfer (start again with ZOOM). \n"
    " Right mouse click closes the ZOOM GRAPH. ";

inline constexpr const char* InfoButtonColor =
    " Opens a panel to set the corresponding ROW colors.";

inline constexpr const char* InfoButtonTeachMeanVal = " Opens a panel to teach a mean value. ";

inline constexpr const char* InfoButtonColorGroups = " Open panel to create color groups.";

inline constexpr const char* InfoButtonOpenRecorder = " Open recorder to record data frames. ";

inline constexpr const char* InfoButtonShowGraph = " Open panel with graphical display.";

// Close button of the group panel and of the mean-value teach panel.
inline constexpr const char* InfoButtonClosePanel = " Close PANEL and return to MAIN PANEL. ";

// Group panel.
inline constexpr const char* InfoEditColorGroups = " Activate color groups.";

inline constexpr const char* InfoButtonResetGroupTable =
    " Reset the GROUP TABLE. \n"
    " All cells are set to 0.";

// Mean-value teach panel.
inline constexpr const char* InfoButtonTpCapture =
    " Get frame of R,G,B,X,Y,INT \n"
    " respectively R,G,B,s,i,M \n"
    " and assign to table. ";

inline constexpr const char* InfoButtonTpUndo = " Remove the last frame from table. ";

inline constexpr const char* InfoButtonTpResetTable = " Set all table cell to 0.";

inline constexpr const char* InfoButtonTpTeachToTable =
    " Mean values are assigned to the \n"
    " COLOR TEACH TABLE row selected \n"
    " in the ROW No.: function field.";

inline constexpr const char* InfoGridTpValues = " Table to list the captured values. ";

inline constexpr const char* InfoGridTpMean = " Table to list the mean values. ";

inline constexpr const char* InfoDispTpCounter = " Displays the amount of captured frames. ";

inline constexpr const char* InfoDispMaxDeltaXY =
    " Displays the maximum (X/Y) to (Xmean/Ymean) distance. Dito (s/i).";

inline constexpr const char* InfoDispTpMaxDeltaInt =
    " Displays the maximum INT to INTmean distance. Dito M.";

inline constexpr const char* InfoEditTpTeachCtoWith =
    " Select which CTO should be transferred  to COLOR TEACH TABLE. \n"
    " VALUE CTO will be assigned to CTO in CTT. \n"
    " MAX DELTA (X/Y) will be assigned to CTO in CTT. \n"
    " MAX DELTA (X/Y) + VALUE CTO will be assigned to CTO in CTT. \n"
    " NO CHANGE of CTO in CTT. \n"
    " Dito siTO.";

inline constexpr const char* InfoEditTpTeachItoWith =
    " Select which ITO should be transferred to COLOR TEACH TABLE. \n"
    " VALUE ITO will be assigned to ITO in CTT. \n"
    " MAX DELTA INT will be assigned to ITO in CTT. \n"
    " MAX DELTA INT + VALUE ITO will be assigned to ITO in CTT. \n"
    " NO CHANGE of ITO in CTT. \n"
    " Dito M.";

inline constexpr const char* InfoEditTpValueCto = " Select a CTO respectively a siTO. ";

inline constexpr const char* InfoEditTpValueIto = " Select an ITO respectively aMTO. ";

inline constexpr const char* InfoEditTpRowNo = " Select row in COLOR TEACH TABLE.";

// Data recorder panel.
inline constexpr const char* InfoButtonCloseRecorder = " Close recorder and return to scope. ";

inline constexpr const char* InfoButtonSelRecFile = " Select a record file for data save. ";

inline constexpr const char* InfoDisRecFile = " Shows the path of the record file. ";

inline constexpr const char* InfoButtonStartRecord =
    " Start record. \n"
    " Record R,G,B,X,Y,INT, TEMP \n"
    " respectively R,G,B,s,i,M,TEMP.";

inline constexpr const char* InfoButtonStopRecord = " Stop data record.";

inline constexpr const char* InfoButtonStartPolling =
    " Starts data transfer (R,G,B,X,Y,INT,TEMP respectively \n"
    " R,G,B,s,i,M,TEMP from sensor to PC. \n"
    " The data are shown in the displays, color bars and in the graph. ";

inline constexpr const char* InfoButtonStopPolling = " Stops data transfer from sensor to PC. ";

inline constexpr const char* InfoButtonManualRecord =
    " Record one frame manually \n"
    " and append to existing file. ";

inline constexpr const char* InfoEditSelDataRec = " Select how to record data frame. ";

inline constexpr const char* InfoEditInterval =
    " Choose a even interval for recording. \n"
    " Minimum interval is 1 second. ";

inline constexpr const char* InfoEditRecVal = " Choose how many Data should be recorded. ";

inline constexpr const char* InfoDispRecordTime =
    " Displays the time for recording \n"
    " when all VALUES will be recorded.";

inline constexpr const char* InfoDispRecordedValues = " Displays how many values are already recorded.";

inline constexpr const char* InfoDispRemaining = " Displays how many values remain to be recorded.";

// Signal graph panel.
inline constexpr const char* InfoEditSignal = " Select Signal to be displayed in the graph. ";

inline constexpr const char* InfoGraphPanel = " Displays the signals selected with SIGNAL. ";

// The recognition margin, which this program shows beside the product's displays: on the main
// panel, on the mean-value teach panel and after AUTO ADJUST.
inline constexpr const char* InfoDispMargin =
    " Displays how safely the current color is recognized in its row: 100 % in the center of the \n"
    " tolerance circle and intensity band, 0 % on their edge, below 0 % outside. \n"
    " Below 20 % the display turns yellow, below 0 % red. With C-No 255 the nearest row is shown. \n"
    " A color in two rows at once shows the other row after | and turns at least yellow.";

inline constexpr const char* InfoDispTpWorstMargin =
    " Displays the smallest margin of the captured frames in the row that TEACH TO TABLE \n"
    " would write: the mean values with the selected CTO and ITO. \n"
    " 100 % center, 0 % edge, below 0 % outside.";

inline constexpr const char* InfoDispTpCpu =
    " Displays how well the circle of that row holds the captured frames: \n"
    " (CTO - mean distance) / (3 x standard deviation of the distance). \n"
    " 1.33 or more holds; below 1 about one frame in a thousand falls outside.";

inline constexpr const char* InfoDispCrowdedRows =
    " Displays the rows whose tolerance circles AUTO ADJUST left closer to a neighbour \n"
    " with an overlapping intensity band than 20 % of their radius.";

}  // namespace tvx::info
// clang-format on
