#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "com232.h"
#include "popups.h"
#include "version_text.h"

namespace tvx {

// What the three programs' command layers repeat around the link, in one place: the flush of
// the serial queues before a transfer, the send with its write check, the exchange whose failure
// is reported, and the failure report itself ("TIMEOUT" in the status display and the box titled
// with the sensor's version text).
class CommandLink {
  public:
    // `timeoutText` is the program's text of the failure box.
    CommandLink(Com232& com, const LinkState& link, const VersionText& version, Popups& popups,
                std::function<void(const QString&)> showMainStatus, QString timeoutText);

    // "Flush both queues" on the serial line; nothing over TCP.
    void FlushSerialQueues();
    // The send-only transfer of szWriteBuf; a write that did not go out whole is reported.
    bool SendFrameOrReport(int tcpWriteTimeoutMs = kTcpWriteTimeoutMs);
    // The request/reply exchange of szWriteBuf; a reply that did not come complete is reported,
    // and so is a write that did not go out whole when `writeChecked`.
    bool ExchangeOrReport(const ExchangeLimits& limits, bool writeChecked = false);
    // One data frame on the request in szWriteBuf: true when the reply came complete (and, when
    // `writeChecked`, the request went out whole), and then the frame is unpacked into databuf.
    // Nothing is reported: each live loop reports in its own way.
    bool FetchDataFrame(FrameBuffers& buffers, const ExchangeLimits& limits,
                        bool writeChecked = false);
    // True when the last transfer went out whole.
    bool Written() const { return link_.nBytesW == kFrameBytes; }
    void FailureReport();

  private:
    Com232& com_;
    const LinkState& link_;
    const VersionText& version_;
    Popups& popups_;
    std::function<void(const QString&)> showMainStatus_;
    QString timeoutText_;
};

// The skeleton of every live loop (live data, zoom, calibration GO, recorder polling): `flag` is
// set and one frame follows another until a callback clears it. A frame that does not come is
// reported and ends the loop; `betweenFrames` runs after every pass and serves the user (STOP).
struct LiveLoopSteps {
    std::function<bool()> fetch;  // asks for one frame; true when it came complete
    std::function<void()> show;
    std::function<void()> report;
    std::function<void()> betweenFrames;
    // Where the loop shows as an activity with its frame rate; none: it is not shown.
    StateLineModel* stateLine = nullptr;
    Activity activity = Activity::Live;
};
void RunLiveLoop(std::uint16_t& flag, const LiveLoopSteps& steps);

}  // namespace tvx
