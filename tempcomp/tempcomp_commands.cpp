#include "tempcomp_commands.h"

#include "exchange_limits.h"
#include "orders.h"
#include "tempcomp_texts.h"
#include "wait.h"

namespace tvx::tempcomp {

namespace {

// The pauses of a transfer; the window repaints meanwhile, but no user action runs.
constexpr double kPauseAfterStart = 0.2;
constexpr double kPauseAfterBlock = 0.05;

constexpr int kRootBlocks = 32;
constexpr int kFactorBlocks = 10;
const char* const kChannelNames[3] = {"red", "green", "blue"};

}  // namespace

TempCompCommands::TempCompCommands(Com232& com, TempCompState& state, Popups& popups,
                                   TempCompPanelHooks hooks)
    : com_(com),
      state_(state),
      popups_(popups),
      hooks_(std::move(hooks)),
      cmd_(com, state.link, state.exchange.version, popups, hooks_.showMainStatus,
           QString::fromLatin1(info::tempcomp::InfoTimeoutVer)) {}

void TempCompCommands::FailureReport() {
    cmd_.FailureReport();
}

// The read-back waits: 2.0 s, the serial ones without serving user input; the queues were
// flushed once before the first request.
bool TempCompCommands::ExchangeOrReport(int replyBytes) {
    return cmd_.ExchangeOrReport(ToolReply(replyBytes, false, false));
}

void TempCompCommands::CheckComLine() {
    state_.exchange.order = kOrderVersion;
    RunHandshake(com_, state_.buffers, state_.exchange.version,
                 {hooks_.showMainStatus, hooks_.showInterfaceStatus, hooks_.enableAccept});
}

void TempCompCommands::SendPara() {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Transfer);
    const int failures = line.Failures();
    if (!SendTables()) {
        line.EndTransfer(failures, QStringLiteral("tables not sent"),
                         QStringLiteral("tables not sent"));
        return;
    }
    hooks_.tryToConnect();
    if (hooks_.closing()) return;
    GetPara();
}

bool TempCompCommands::SendTables() {
    StateLineModel& line = com_.StateLineData();
    TempCompExchange& x = state_.exchange;
    CompensationTables& tables = state_.tables;
    hooks_.calculateTables();
    // A factor that does not fit 16 bits would reach the sensor wrapped or saturated: a wrong
    // correction that the read-back would still report as saved. Nothing goes out, so nothing
    // failed to be saved either.
    if (tables.factorsOutOfRange > 0) {
        hooks_.showSaveResult(QString::fromLatin1(kNotSentText));
        popups_.MessagePopup(QString::fromLatin1(kFactorRangeTitle),
                             QString::fromLatin1(kFactorRangeText));
        return false;
    }
    cmd_.FlushSerialQueues();

    x.order = kOrderStartTables;
    FillTxBuf(state_.buffers, x.sync, x.order, 0);
    if (!cmd_.SendFrameOrReport()) return false;
    Pause(kPauseAfterStart, WaitMode::ExcludeUserInput);

    x.order = kOrderWriteRootBlock;
    for (int block = 0; block < kRootBlocks; ++block) {
        line.SetActivityDetail(
            QStringLiteral("cube-root block %1/%2").arg(block + 1).arg(kRootBlocks));
        FillTxBuf3rdRootX(state_.buffers, tables, x.sync, kOrderWriteRootBlock, block);
        if (!cmd_.SendFrameOrReport()) return false;
        Pause(kPauseAfterBlock, WaitMode::ExcludeUserInput);
    }

    x.order = kOrderWriteFactorsRed;
    for (int channel = 0; channel < 3; ++channel) {
        for (int block = 0; block < kFactorBlocks; ++block) {
            line.SetActivityDetail(QStringLiteral("%1 factor block %2/%3")
                                       .arg(QLatin1String(kChannelNames[channel]))
                                       .arg(block + 1)
                                       .arg(kFactorBlocks));
            FillTxBufRGB(state_.buffers, tables, x.sync,
                         static_cast<std::uint16_t>(kOrderWriteFactorsRed + channel), block,
                         channel);
            if (!cmd_.SendFrameOrReport()) return false;
            Pause(kPauseAfterBlock, WaitMode::ExcludeUserInput);
        }
    }
    return true;
}

bool TempCompCommands::GetPara() {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Reading, QStringLiteral("tables"));
    const int failures = line.Failures();
    const bool complete = ReadTables();
    if (complete)
        line.SetLastTransfer(
            QStringLiteral("tables read back: %1")
                .arg(CheckSaving() ? QStringLiteral("SUCCESS") : QStringLiteral("FAILURE")));
    else if (!hooks_.closing())
        line.EndTransfer(failures, QStringLiteral("tables not read back"),
                         QStringLiteral("tables not read back"));
    return complete;
}

bool TempCompCommands::ReadTables() {
    TempCompExchange& x = state_.exchange;
    CompensationTables& tables = state_.tables;
    cmd_.FlushSerialQueues();

    using CopyRoutine = void (*)(const std::array<std::uint16_t, kPpWords>&, CompensationTables&);
    const CopyRoutine copies[3] = {CopyPPtoVarsR, CopyPPtoVarsG, CopyPPtoVarsB};
    for (int channel = 0; channel < 3; ++channel) {
        if (hooks_.closing()) return false;
        x.order = static_cast<std::uint16_t>(kOrderReadFactorsRed + channel);
        FillTxBuf(state_.buffers, x.sync, x.order, 0);
        if (!ExchangeOrReport(ReplyBytesOf(x.order))) return false;
        GetRxBufPara(state_.buffers, state_.pp);
        copies[channel](state_.pp, tables);
    }

    x.order = kOrderReadRootHalf;
    for (int start : {0, kRootSize / 2}) {
        if (hooks_.closing()) return false;
        FillTxBuf(state_.buffers, x.sync, x.order, static_cast<std::uint16_t>(start));
        if (!ExchangeOrReport(ReplyBytesOf(x.order))) return false;
        GetRxBuf3rdRoot(state_.buffers, state_.pp);
        CopyPPto3rdRoot(state_.pp, start, tables);
    }
    return true;
}

bool TempCompCommands::CheckSaving() {
    const bool same = tvx::tempcomp::CheckSaving(state_.tables);
    hooks_.showSaveResult(same ? QStringLiteral("SUCCESS") : QStringLiteral("FAILURE"));
    return same;
}

}  // namespace tvx::tempcomp
