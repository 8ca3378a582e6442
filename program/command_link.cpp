#include "command_link.h"

#include <optional>

#include "event_wait.h"

namespace tvx {

CommandLink::CommandLink(Com232& com, const LinkState& link, const VersionText& version,
                         Popups& popups, std::function<void(const QString&)> showMainStatus,
                         QString timeoutText)
    : com_(com),
      link_(link),
      version_(version),
      popups_(popups),
      showMainStatus_(std::move(showMainStatus)),
      timeoutText_(std::move(timeoutText)) {}

void CommandLink::FlushSerialQueues() {
    if (link_.comprotocol != kTcpIp) com_.FlushComQueues();
}

bool CommandLink::SendFrameOrReport(int tcpWriteTimeoutMs) {
    if (com_.SendFrame(tcpWriteTimeoutMs)) return true;
    FailureReport();
    return false;
}

bool CommandLink::ExchangeOrReport(const ExchangeLimits& limits, bool writeChecked) {
    const bool complete = com_.ExchangeFrame(limits);
    // A failed write and a missing reply are one failure, reported once.
    if (complete && (!writeChecked || Written())) return true;
    FailureReport();
    return false;
}

bool CommandLink::FetchDataFrame(FrameBuffers& buffers, const ExchangeLimits& limits,
                                 bool writeChecked) {
    const bool complete = com_.ExchangeFrame(limits);
    if (!complete || (writeChecked && !Written())) return false;
    GetRxBufData(buffers);
    return true;
}

void CommandLink::FailureReport() {
    // A reply that came whole but was not the one asked for is a failure the link did not see.
    com_.StateLineData().Failure(QStringLiteral("a reply that was not the one asked for"));
    showMainStatus_(QStringLiteral("TIMEOUT"));
    popups_.MessagePopup(version_.Text(), timeoutText_);
}

void RunLiveLoop(std::uint16_t& flag, const LiveLoopSteps& steps) {
    std::optional<ActivityScope> shown;
    if (steps.stateLine) shown.emplace(*steps.stateLine, steps.activity);
    flag = 1;
    while (flag == 1) {
        if (steps.fetch()) {
            steps.show();
            if (steps.stateLine) steps.stateLine->FrameShown(SecondsTimer());
        } else {
            steps.report();
            flag = 0;
        }
        steps.betweenFrames();
    }
}

}  // namespace tvx
