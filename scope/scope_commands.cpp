#include "scope_commands.h"

#include <QFileInfo>

#include "conversations.h"
#include "orders.h"
#include "parameter_file.h"
#include "scope_texts.h"
#include "wait.h"

namespace tvx {

ScopeCommands::ScopeCommands(Com232& com, LinkState& link, ExchangeState& exchange,
                             FrameBuffers& buffers, ParameterSet& params, LiveValues& live,
                             LoopFlags& flags, ProgramFiles& files, Popups& popups,
                             ExchangePanelHooks hooks)
    : com_(com),
      link_(link),
      exchange_(exchange),
      buffers_(buffers),
      params_(params),
      live_(live),
      flags_(flags),
      files_(files),
      popups_(popups),
      hooks_(std::move(hooks)),
      cmd_(com, link, exchange.version, popups, hooks_.showMainStatus,
           QString::fromUtf8(info::InfoTimeoutVer)) {}

void ScopeCommands::CheckComLine() {
    exchange_.order = kOrderVersion;
    if (!RunHandshake(com_, buffers_, exchange_.version,
                      {hooks_.showMainStatus, hooks_.showInterfaceStatus, hooks_.enableAccept}))
        return;
    hooks_.setButtonsDimmed(true);
    GetPara();
    hooks_.setButtonsDimmed(false);
}

QString ScopeCommands::MemoryName() const {
    return exchange_.target == EEPROM ? QStringLiteral("EEPROM") : QStringLiteral("RAM");
}

void ScopeCommands::SendPara() {
    // A box whose text is no valid value said so; nothing goes out.
    if (!hooks_.getPanelValues()) return;
    StateLineModel& line = StateLine();
    const QString memory = MemoryName();
    const ActivityScope activity(line, Activity::Sending, QStringLiteral("to ") + memory);
    const int failures = line.Failures();
    SendParaFrames();
    line.EndTransfer(failures, QStringLiteral("sent to ") + memory,
                     QStringLiteral("not sent to ") + memory);
}

void ScopeCommands::SendParaFrames() {
    CopyVarsToPP(params_, buffers_);
    cmd_.FlushSerialQueues();
    for (const ConversationStep& step : ParameterWriteSteps()) {
        if (step.order == kOrderWriteTeachRow)
            StateLine().SetActivityDetail(QStringLiteral("to %1, row %2/%3")
                                              .arg(MemoryName())
                                              .arg(step.row + 1)
                                              .arg(kTeachRows));
        if (!SendStep(step)) return;
    }
    if (exchange_.target == EEPROM && !SendStep(kStoreInEeprom)) return;
    InStep();
}

bool ScopeCommands::SendStep(const ConversationStep& step) {
    exchange_.order = step.order;
    FillTxBuf(buffers_, step.order, step.row);
    return cmd_.SendFrameOrReport();
}

void ScopeCommands::GetPara() {
    flags_.poll = 0;
    StateLineModel& line = StateLine();
    const QString memory = MemoryName();
    if (!MayReplace()) {
        line.SetLastTransfer(
            QStringLiteral("read from %1 skipped, unsent changes kept").arg(memory));
        return;
    }
    const ActivityScope activity(line, Activity::Reading, QStringLiteral("from ") + memory);
    const int failures = line.Failures();
    GetParaFrames();
    line.EndTransfer(failures, QStringLiteral("read from ") + memory,
                     QStringLiteral("not read from ") + memory);
}

void ScopeCommands::GetParaFrames() {
    exchange_.comecho = 1;
    // The replies fill a copy; the parameter set and the panels change only when every reply was
    // the one asked for, so a broken read never leaves a mix of old and new rows to be sent back.
    ParameterRead read(exchange_.target == EEPROM, params_);
    while (!read.Ended()) {
        const ConversationStep step = read.Next();
        if (step.order == kOrderReadTeachRow)
            StateLine().SetActivityDetail(QStringLiteral("from %1, row %2/%3")
                                              .arg(MemoryName())
                                              .arg(step.row + 1)
                                              .arg(kTeachRows));
        exchange_.order = step.order;
        FillTxBuf(buffers_, step.order, step.row);
        // A reply that did not come is reported by the exchange.
        const bool complete = cmd_.ExchangeOrReport(ScopeReply());
        if (complete) GetRxBufPara(buffers_);
        const ReplyVerdict verdict = read.Take(complete, buffers_.szReadBuf.data());
        if (verdict == ReplyVerdict::Taken) continue;
        exchange_.comecho = 0;
        // A wrong echo to order 8 only ends the read; a wrong parameter reply is reported.
        if (verdict == ReplyVerdict::Wrong && step.order != kOrderLoadEeprom) FailureReport();
    }
    if (read.Failed()) return;
    params_ = read.Read();
    hooks_.showParameters();
    InStep();
}

void ScopeCommands::GetData() {
    cmd_.FlushSerialQueues();
    RunLiveLoop(
        flags_.poll,
        {[this] { return FetchDataFrame(); }, hooks_.showLiveFrame, [this] { FailureReport(); },
         [] { Pause(0.05, WaitMode::ServeUserInput); }, &StateLine(), Activity::Live});
}

bool ScopeCommands::FetchDataFrame(std::uint16_t order) {
    exchange_.order = order;
    FillTxBuf(buffers_, order, 0);
    if (!cmd_.FetchDataFrame(buffers_, ScopeReply())) return false;
    CopyDatatoVars(buffers_, live_);
    return true;
}

void ScopeCommands::FailureReport() {
    cmd_.FailureReport();
}

bool ScopeCommands::MayReplace() {
    return !hooks_.mayReplaceParameters || hooks_.mayReplaceParameters();
}

void ScopeCommands::InStep() {
    if (hooks_.parametersInStep) hooks_.parametersInStep();
}

}  // namespace tvx

namespace tvx {

std::optional<QString> ScopeCommands::SelectParameterFile(bool forSaving) {
    FileSelectRequest request;
    request.startDirectory = files_.proj_dir;
    request.defaultFileName = QStringLiteral("init.dat");
    request.fileTypeList = QStringLiteral("*.dat");
    request.title = QStringLiteral("init");
    request.forSaving = forSaving;
    auto path = popups_.FileSelectPopup(request);
    if (path) files_.file_name = *path;
    return path;
}

void ScopeCommands::SendParaToFile() {
    const auto path = SelectParameterFile(true);
    if (!path) return;
    if (!hooks_.getPanelValues()) return;
    CopyVarsToPP(params_, buffers_);
    const ParameterFileResult result = WriteParameterFile(*path, TakeImageFromPp(buffers_));
    const QString name = QFileInfo(*path).fileName();
    StateLine().SetLastTransfer(result.ok ? QStringLiteral("saved ") + name
                                          : QStringLiteral("%1 not saved").arg(name));
    if (!result.ok) {
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), result.message);
        return;
    }
    InStep();
}

void ScopeCommands::ReadParaFromFile() {
    if (!MayReplace()) {
        StateLine().SetLastTransfer(QStringLiteral("loading skipped, unsent changes kept"));
        return;
    }
    const auto path = SelectParameterFile(false);
    if (!path) return;
    const ParameterFileRead read = ReadParameterFile(*path);
    const QString name = QFileInfo(*path).fileName();
    StateLine().SetLastTransfer(read.ok() ? QStringLiteral("loaded ") + name
                                          : QStringLiteral("%1 not loaded").arg(name));
    if (!read.ok()) {
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), read.message);
        return;
    }
    PutImageIntoPp(*read.image, buffers_);
    CopyFileParatoVars(buffers_, params_);
    hooks_.showParameters();
    InStep();
}

}  // namespace tvx
