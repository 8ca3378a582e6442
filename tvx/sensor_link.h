#pragma once

#include <QString>

#include "frames.h"
#include "parameter_file.h"
#include "sensor_session.h"
#include "tvx_options.h"
#include "version_text.h"

namespace tvx::cli {

// One sensor on a session of its own: the handshake, the parameter set read and written as the
// scope's GET and SEND do, and live frames. It lives in one thread, whose event loop serves the
// session while a call waits; a fleet has one per sensor. Every failure it names comes from the
// session's result.
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

    QString Version() const { return version_.Text(); }
    // What went wrong last, one line.
    QString Error() const { return error_; }

  private:
    // One request/reply exchange on the frame in szWriteBuf; false with error_ set when the
    // reply did not come complete. `what` names the step in the message.
    bool Exchange(const ExchangeLimits& limits, const QString& what);
    bool Fail(const QString& message);

    SensorAddress address_;
    SensorSession session_;
    FrameBuffers buffers_;
    ParameterSet params_;
    LiveValues live_;
    VersionText version_;
    QString error_;
};

}  // namespace tvx::cli
