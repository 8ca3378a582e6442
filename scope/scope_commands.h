#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "com232.h"
#include "command_link.h"
#include "conversations.h"
#include "frames.h"
#include "handshake.h"
#include "loop_flags.h"
#include "orders.h"
#include "parameter_set.h"
#include "popups.h"

namespace tvx {

// The state of the scope's exchanges.
struct ExchangeState {
    std::uint16_t order = 1;  // order code of the exchange being built
    std::uint16_t target = RAM;
    std::uint16_t comecho = 0;  // 1 while a parameter read is still good
    VersionText version;
};

// The program's directory and the path of the last file selection (shared by every file
// selection of the program).
struct ProgramFiles {
    QString proj_dir;
    QString file_name;
};

// What the exchanges read from and show on the panels.
struct ExchangePanelHooks {
    std::function<void(const QString&)> showMainStatus;
    std::function<void(const QString&)> showInterfaceStatus;
    std::function<void()> enableAccept;                 // the interface panel's Accept button
    std::function<void(bool dimmed)> setButtonsDimmed;  // the main panel's command buttons
    // The parameter controls into the parameter set; false when a box holds no valid value (the
    // user has been told) and nothing may be sent or saved.
    std::function<bool()> getPanelValues;
    std::function<void()> showParameters;  // the parameter set onto the panels, mode rules applied
    std::function<void()> showLiveFrame;   // the live values onto the displays and the graph
    // Asked before a read or a file load replaces the panels' set: false keeps them and skips
    // the read. Unset: the read goes on.
    std::function<bool()> mayReplaceParameters;
    // The panels' set is now the one the sensor or the file holds: it was sent, read, saved or
    // loaded whole.
    std::function<void()> parametersInStep;
};

// The scope's command exchanges with the sensor.
class ScopeCommands {
  public:
    ScopeCommands(Com232& com, LinkState& link, ExchangeState& exchange, FrameBuffers& buffers,
                  ParameterSet& params, LiveValues& live, LoopFlags& flags, ProgramFiles& files,
                  Popups& popups, ExchangePanelHooks hooks);

    // The handshake after every connection attempt: order 7, whose 36-byte reply is the
    // sensor's version text, shown in both status displays; then the sensor's parameters are
    // read into the panels.
    void CheckComLine();
    // Writes the panel's parameter set: order 1 with the mode words, order 2 for each teach row,
    // and order 6 when the target is the EEPROM. No reply is awaited.
    void SendPara();
    // Reads the parameter set from the memory `target` selects and shows it once it is complete.
    // A reply missing, or not the one asked for (sync, order, row), is reported and ends the read
    // with the parameter set and the panels as they were.
    void GetPara();
    // The live loop: one data frame after another until poll is cleared.
    void GetData();
    // Asks for one data frame (order 5, or the recorder's 19) and, when it came complete, unpacks
    // it into the live values. False on a time-out; nothing is reported then.
    bool FetchDataFrame(std::uint16_t order = kOrderData);
    // Saves the panel's parameter set to a parameter file the user selects.
    void SendParaToFile();
    // Loads a parameter file the user selects into the panels; a file that is not a complete
    // parameter set is refused with a message and changes nothing.
    void ReadParaFromFile();

    // The report of an exchange the sensor did not answer: "TIMEOUT" in the status display and a
    // message box titled with the version text.
    void FailureReport();

    // What the main window's state line shows.
    StateLineModel& StateLine() { return com_.StateLineData(); }

  private:
    std::optional<QString> SelectParameterFile(bool forSaving);
    void SendParaFrames();
    // One send-only frame of SEND; a write that did not go out whole is reported.
    bool SendStep(const ConversationStep& step);
    void GetParaFrames();
    // "RAM" or "EEPROM", as `target` says.
    QString MemoryName() const;
    bool MayReplace();
    void InStep();

    Com232& com_;
    LinkState& link_;
    ExchangeState& exchange_;
    FrameBuffers& buffers_;
    ParameterSet& params_;
    LiveValues& live_;
    LoopFlags& flags_;
    ProgramFiles& files_;
    Popups& popups_;
    ExchangePanelHooks hooks_;
    CommandLink cmd_;
};

}  // namespace tvx
