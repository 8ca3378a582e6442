#pragma once

#include <QString>
#include <functional>

#include "com232.h"
#include "command_link.h"
#include "popups.h"
#include "tempcomp_state.h"

namespace tvx::tempcomp {

// What the exchanges read from and show on the main panel.
struct TempCompPanelHooks {
    std::function<void(const QString&)> showMainStatus;
    std::function<void(const QString&)> showInterfaceStatus;
    std::function<void()> enableAccept;  // the interface panel's Accept button
    std::function<void(const QString&)> showSaveResult;
    // CalcCurves, CalcCfCurves and Calc3rdRoot on the boxes as they stand, charts redrawn.
    std::function<void()> calculateTables;
    std::function<void()> tryToConnect;  // the connection procedure's TryToConnect
    // True once the main panel was closed: a read-back in progress ends without a word.
    std::function<bool()> closing;
};

// Title and text of the report that refuses to send factors that do not fit 16 bits.
inline constexpr const char* kFactorRangeTitle = "ATTENTION!";
inline constexpr const char* kFactorRangeText =
    " ATTENTION! \n"
    " \n"
    " A CORRECTION FACTOR IS OUT OF RANGE. \n"
    " Every curve must stay above 0 and above 1/64 of its set value for T = 0 ... 99. \n"
    " Nothing was sent to the sensor.";

// The save result when the factors were refused and nothing went to the sensor.
inline constexpr const char* kNotSentText = "NOT SENT";

// The temperature-compensation tool's exchanges with the sensor: the handshake, the transfer of
// the tables in blocks, and their read-back and comparison.
class TempCompCommands {
  public:
    TempCompCommands(Com232& com, TempCompState& state, Popups& popups, TempCompPanelHooks hooks);

    // The handshake of every connection attempt: order 7, whose 36-byte reply is the sensor's
    // version text, shown in both status displays.
    void CheckComLine();
    // Recomputes the tables from the boxes, sends order 43, the cube-root table (order 50, 32
    // blocks) and the three factor tables (orders 40-42, 10 blocks each), reconnects and reads
    // everything back. A failed write ends it at once with the failure report.
    void SendPara();
    // Reads the four tables back (orders 44-46 and 51 twice) and compares them with the computed
    // ones. An incomplete reply ends it with the failure report and no comparison.
    // True when every reply arrived complete.
    bool GetPara();
    // The comparison, shown as "SUCCESS" or "FAILURE". True on success.
    bool CheckSaving();

    // "TIMEOUT" in the status display and the box titled with the sensor's version text.
    void FailureReport();

  private:
    bool ExchangeOrReport(int replyBytes);
    // The start frame and every block; false when a write failed or the factors were refused.
    bool SendTables();
    // The four tables read back, without the comparison; false when a reply did not come.
    bool ReadTables();

    Com232& com_;
    TempCompState& state_;
    Popups& popups_;
    TempCompPanelHooks hooks_;
    CommandLink cmd_;
};

}  // namespace tvx::tempcomp
