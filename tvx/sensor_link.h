#pragma once

#include <QString>
#include <memory>

#include "parameter_file.h"
#include "scope_commands.h"
#include "tvx_options.h"

namespace tvx::cli {

// Pop-ups without a window: the last message is kept as the text of a failure.
class HeadlessPopups : public Popups {
  public:
    void MessagePopup(const QString& title, const QString& text) override;
    bool ConfirmPopup(const QString&, const QString&) override { return false; }
    std::optional<QString> FileSelectPopup(const FileSelectRequest&) override { return {}; }

    int messages = 0;
    QString lastTitle;
    QString lastText;
};

// One sensor with the scope's link and exchanges, its own state and buffers. It lives in one
// thread, which must run the waits of its exchanges; a fleet has one per sensor.
class SensorLink {
  public:
    explicit SensorLink(const SensorAddress& address);
    ~SensorLink();

    const SensorAddress& Address() const { return address_; }

    // Opens the link and runs the handshake; Version() then holds the sensor's version text.
    bool Connect();
    // Reads the parameter set as GET does (order 8 first from the EEPROM, then 3 and 4).
    bool ReadParameters(bool eeprom, ParameterImage& image);
    // Sends the image as SEND does (orders 1 and 2, then 6 for the EEPROM); `sent` is the image
    // that went out (a MAXCOL-No. above 15 goes out as 15).
    bool SendParameters(bool eeprom, const ParameterImage& image, ParameterImage& sent);
    // One live frame (order 5).
    bool FetchFrame(LiveValues& values);
    // The calculation mode of the last parameter set read (names X/Y INT or s/i M).
    bool SiMode() const { return params_.calcmode == 1; }
    void Close();

    QString Version() const { return exchange_.version.Text(); }
    // What went wrong last, one line.
    QString Error() const { return error_; }

  private:
    void StartOperation();
    bool Fail(const QString& what);

    SensorAddress address_;
    HeadlessPopups popups_;
    LinkState link_;
    FrameBuffers buffers_;
    ParameterSet params_;
    LiveValues live_;
    LoopFlags flags_;
    ExchangeState exchange_;
    ProgramFiles files_;
    std::unique_ptr<Com232> com_;
    std::unique_ptr<ScopeCommands> commands_;
    QString status_;
    bool parametersShown_ = false;
    QString error_;
};

}  // namespace tvx::cli
