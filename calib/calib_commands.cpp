#include "calib_commands.h"

#include "calib_texts.h"
#include "conversations.h"
#include "exchange_limits.h"
#include "help.h"
#include "wait.h"

namespace tvx::calib {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

// Every awaited reply gets 2.0 s. The data and factor waits on the serial line serve no user
// input (the window still repaints); the echo of order 6 serves the user meanwhile and relies on
// SendPara's flush.
constexpr ExchangeLimits DataReply() {
    return ToolReply(kFrameBytes, false, true);
}
constexpr ExchangeLimits EchoReply() {
    return ToolReply(kFrameBytes, true, false);
}

const char* const kChannelNames[3] = {"RED", "GREEN", "BLUE"};

}  // namespace

CalibCommands::CalibCommands(Com232& com, CalibState& state, Popups& popups, CalibPanelHooks hooks)
    : com_(com),
      state_(state),
      popups_(popups),
      hooks_(std::move(hooks)),
      cmd_(com, state.link, state.exchange.version, popups, hooks_.showMainStatus,
           Text(info::calib::InfoTimeoutVer)) {}

void CalibCommands::FailureReport() {
    cmd_.FailureReport();
}

void CalibCommands::CheckComLine() {
    state_.exchange.order = kOrderVersion;
    RunHandshake(com_, state_.buffers, state_.exchange.version,
                 {hooks_.showMainStatus, hooks_.showInterfaceStatus, hooks_.enableAccept});
}

void CalibCommands::SendCalibPara() {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Sending, QStringLiteral("POWER"));
    const int failures = line.Failures();
    state_.calib.power = hooks_.readPower();
    WriteMeasuringSet(state_.buffers, state_.calib.power);
    cmd_.FlushSerialQueues();
    state_.exchange.order = kOrderWriteModes;
    FillTxBuf(state_.buffers, kOrderWriteModes, 0, state_.calib.factors);
    cmd_.SendFrameOrReport();
    line.EndTransfer(failures, QStringLiteral("POWER sent"), QStringLiteral("POWER not sent"));
}

void CalibCommands::SendPara() {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Sending, QStringLiteral("default parameters"));
    const int failures = line.Failures();
    CalibExchange& x = state_.exchange;
    CopyVarsToPP(state_.buffers);
    cmd_.FlushSerialQueues();
    // The rows go out only when all is well after the mode words, and then every row goes out
    // whatever became of the one before; the store (order 6) awaits the sensor's echo.
    for (const ConversationStep& step : ParameterWriteSteps()) {
        if (step == ConversationStep{kOrderWriteTeachRow, 0} && x.comecho != 1) break;
        x.order = step.order;
        FillTxBuf(state_.buffers, step.order, step.row, state_.calib.factors);
        if (!cmd_.SendFrameOrReport()) x.comecho = 0;
    }
    if (x.comecho == 1) {
        x.order = kOrderStoreEeprom;
        Befehl6plus8();
    }
    line.EndTransfer(failures, QStringLiteral("default parameters sent to EEPROM"),
                     QStringLiteral("default parameters not sent"));
}

void CalibCommands::Befehl6plus8() {
    CalibExchange& x = state_.exchange;
    FillTxBuf(state_.buffers, x.order, 0, state_.calib.factors);
    if (!cmd_.ExchangeOrReport(EchoReply(), true)) {
        x.comecho = 0;
        return;
    }
    GetRxBufPara(state_.buffers);
    x.comecho =
        JudgeReply({x.order, 0}, true, state_.buffers.szReadBuf.data()) == ReplyVerdict::Taken ? 1
                                                                                               : 0;
}

void CalibCommands::SendCF(const QString& calculation) {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Sending, QStringLiteral("CF"));
    const int failures = line.Failures();
    state_.calib.factors = hooks_.readFactors();
    cmd_.FlushSerialQueues();
    state_.exchange.order = kOrderWriteCF;
    FillTxBuf(state_.buffers, kOrderWriteCF, 0, state_.calib.factors);
    cmd_.SendFrameOrReport();
    if (calculation.isEmpty())
        line.EndTransfer(failures, QStringLiteral("CF sent to EEPROM"),
                         QStringLiteral("CF not sent"));
    else
        line.EndTransfer(failures, calculation + QStringLiteral("; unchanged CF sent to EEPROM"),
                         calculation + QStringLiteral("; CF not sent"));
}

void CalibCommands::GetCF() {
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Reading, QStringLiteral("CF"));
    const int failures = line.Failures();
    state_.flags.poll = 0;
    cmd_.FlushSerialQueues();
    state_.exchange.order = kOrderReadCF;
    FillTxBuf(state_.buffers, kOrderReadCF, 0, state_.calib.factors);
    if (!cmd_.ExchangeOrReport(DataReply(), true)) {
        line.EndTransfer(failures, QStringLiteral("CF not read"), QStringLiteral("CF not read"));
        return;
    }
    GetRxBufPara(state_.buffers);
    state_.calib.factors = FactorsFromReply(state_.buffers);
    hooks_.showFactors(state_.calib.factors);
    line.SetLastTransfer(QStringLiteral("CF read"));
}

bool CalibCommands::FetchDataFrame() {
    state_.exchange.order = kOrderData;
    FillTxBuf(state_.buffers, kOrderData, 0, state_.calib.factors);
    if (!cmd_.FetchDataFrame(state_.buffers, DataReply(), true)) return false;
    CopyDatatoVars(state_.buffers, state_.live);
    return true;
}

void CalibCommands::GetData() {
    // A sequence that goes on into GO mode after the panel was closed does not start the loop.
    if (hooks_.closing()) return;
    cmd_.FlushSerialQueues();
    RunLiveLoop(state_.flags.poll, {[this] { return FetchDataFrame(); }, [this] { SetPanelData(); },
                                    [this] { FailureReport(); },
                                    [this] {
                                        // STOP and the closing of the panel are served here; a
                                        // STOP the sequence took before the loop ends it too.
                                        ServePendingEvents(WaitMode::ServeUserInput);
                                        if (hooks_.takeStopBeforeGo && hooks_.takeStopBeforeGo())
                                            state_.flags.poll = 0;
                                    },
                                    &com_.StateLineData(), Activity::Live});
}

void CalibCommands::SetPanelData() {
    state_.calib.deltaraw = RawSpread(state_.live);
    state_.calib.deltacalib = CalibratedSpread(state_.live);
    hooks_.showFrame();
}

QString CalibCommands::CalcCF() {
    state_.flags.poll = 0;
    cmd_.FlushSerialQueues();
    if (!popups_.ConfirmPopup(Text(info::calib::kConfirmCalculationTitle),
                              Text(info::calib::ConfirmCalculation))) {
        popups_.MessagePopup(QString::fromLatin1(kInfoTitle),
                             Text(info::calib::InfoInsertRightValues));
        return QStringLiteral("calibration cancelled");
    }
    StateLineModel& line = com_.StateLineData();
    const ActivityScope activity(line, Activity::Calibrating);
    FrameAverage average;
    for (int i = 0; i < kCalibFrames; ++i) {
        line.SetActivityDetail(QStringLiteral("frame %1/%2").arg(i + 1).arg(kCalibFrames));
        if (hooks_.closing()) {
            hooks_.setCalcButtonColour(kColourLightGrey);
            return QStringLiteral("calibration broken off");
        }
        if (const auto colour = CalcButtonColourAt(i)) hooks_.setCalcButtonColour(*colour);
        if (!FetchDataFrame()) {
            // The run may break off while the button is red; it is left light grey.
            hooks_.setCalcButtonColour(kColourLightGrey);
            hooks_.showMainStatus(QStringLiteral("TIMEOUT"));
            popups_.MessagePopup(Text(info::calib::kAttentionTitle),
                                 Text(info::calib::CalibrationFailed));
            return QStringLiteral("calibration failed: ") + line.LastCause();
        }
        SetPanelData();
        line.FrameShown(SecondsTimer());
        average.Add(state_.live, state_.calib.deltaraw);
        ServePendingEvents(WaitMode::ServeUserInput);
    }
    state_.calib.means = average.Result();
    return SetCF();
}

QString CalibCommands::SetCF() {
    CalibrationValues& c = state_.calib;
    c.setvalue = hooks_.readSetValue();
    c.maxdelta = hooks_.readMaxDelta();
    const FactorResult result = ComputeFactors(c.means, c.setvalue, c.maxdelta);
    switch (result.outcome) {
        case FactorOutcome::SpreadTooHigh:
            popups_.MessagePopup(Text(info::calib::kAttentionTitle),
                                 Text(info::calib::MaximumDelta));
            return QStringLiteral("calibration refused: raw delta %1 above %2")
                .arg(c.means.meanD)
                .arg(c.maxdelta);
        case FactorOutcome::OutOfRange: {
            c.means = result.means;
            popups_.MessagePopup(Text(info::calib::kAttentionTitle),
                                 Text(info::calib::CFOutOfRange));
            const auto channel = static_cast<std::size_t>(result.failedChannel);
            return QStringLiteral("calibration refused: CF %1 %2 outside %3...%4")
                .arg(QLatin1String(kChannelNames[channel]))
                .arg(result.quotients[channel])
                .arg(kCfMin)
                .arg(kCfMax);
        }
        case FactorOutcome::Passed:
            break;
    }
    c.means = result.means;
    c.factors = result.factors;
    hooks_.showFactors(c.factors);
    popups_.MessagePopup(Text(info::calib::kCalibrationPassedTitle),
                         Text(info::calib::CalibrationPassed));
    return {};
}

}  // namespace tvx::calib
