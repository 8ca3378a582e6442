#pragma once

#include <QString>
#include <optional>

#include "conversations.h"
#include "parameter_file.h"
#include "sensor_session.h"
#include "tvx_options.h"
#include "version_text.h"

namespace tvx::cli {

// Why the link did not open, one line: "cannot connect: ..." or "cannot open DEVICE: ...".
QString OpenFailure(const SensorAddress& address, const OpenResult& opened);

// For a reply that did not come complete, the failure as one line naming the step (`what`);
// empty for a complete reply.
QString ReplyFailure(const ExchangeResult& result, const QString& what);

// The step names the failure texts carry.
QString HandshakeStep();
QString LiveFrameStep();

// The sensor's version text from the handshake's reply.
VersionText VersionOf(const ExchangeResult& handshake);

// GET over a session, one exchange at a time, so that a link that waits and the recorder that
// never does take the same steps: the conversation, and the failed exchange to name its failure.
class SessionParameterRead {
  public:
    SessionParameterRead(bool eeprom, const ParameterSet& current) : read_(eeprom, current) {}

    bool Ended() const { return read_.Ended(); }
    QByteArray NextRequest() const { return RequestFrame(read_.Next()); }
    void Take(const ExchangeResult& result);

    // Once ended: empty when the whole set came, else why not, in one line.
    QString Error() const;
    // The failure was a reply to another request (sync, order or row).
    bool WrongReply() const { return read_.Failure() == ReplyVerdict::Wrong; }
    // How the failed exchange ended (Done for a wrong reply).
    LinkOutcome FailedOutcome() const { return failed_ ? failed_->outcome : LinkOutcome::Done; }
    const ParameterSet& Read() const { return read_.Read(); }

  private:
    ParameterRead read_;
    std::optional<ExchangeResult> failed_;
};

// One sensor on a session of its own: the handshake, the parameter set read and written as the
// scope's GET and SEND do, and live frames. Each call waits for its result, serving the calling
// thread's event loop meanwhile. Every failure it names comes from the session's result.
class SensorLink {
  public:
    explicit SensorLink(const NamedSensor& sensor);
    ~SensorLink();

    const NamedSensor& Sensor() const { return sensor_; }

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
    // The parameter set last read or sent.
    const ParameterSet& Parameters() const { return params_; }
    void Close();

    QString Version() const { return version_.Text(); }
    // What went wrong last, one line.
    QString Error() const { return error_; }

  private:
    // One request/reply exchange; the failure, when the reply did not come complete, goes to
    // error_, with `what` naming the step.
    ExchangeResult Exchange(const QByteArray& request, const ExchangeLimits& limits,
                            const QString& what);
    bool Fail(const QString& message);

    NamedSensor sensor_;
    SensorSession session_;
    ParameterSet params_;
    VersionText version_;
    QString error_;
};

// What a sensor holds: its RAM, and its EEPROM when asked for.
struct Memories {
    ParameterImage ram{};
    std::optional<ParameterImage> eeprom;
    // Why the RAM's set could not be written back after the EEPROM was read: the sensor is left
    // working with another set than before (or, when the EEPROM read failed, perhaps so). Empty
    // when it was written back or did not need to be.
    QString putBackFailure;
};

// Connects and reads the sensor's RAM and, with `eeprom`, its EEPROM. Reading the EEPROM makes
// it the sensor's working set; when that differs from the RAM read before, the RAM's set is
// written back, so that looking never changes what the sensor does on the line. Empty when all
// went well, else why not; when only the writing back failed, both memories are still given.
QString ReadMemories(SensorLink& link, bool eeprom, Memories& memories);

// Writes `image` to RAM (and on to the EEPROM), gives the sensor half a second as the scope does
// after SEND, and reads back what was written (from the memory written). Empty when it came back
// equal, else why not.
QString WriteAndReadBack(SensorLink& link, bool eeprom, const ParameterImage& image);

}  // namespace tvx::cli
