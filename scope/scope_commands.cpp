#include "scope_commands.h"

#include <QFileInfo>

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
                     QStringLiteral("sending to %1 failed").arg(memory));
}

void ScopeCommands::SendParaFrames() {
    CopyVarsToPP(params_, buffers_);
    cmd_.FlushSerialQueues();
    exchange_.order = kOrderWriteModes;
    FillTxBuf(buffers_, kOrderWriteModes, 0);
    if (!cmd_.SendFrameOrReport()) return;
    exchange_.order = kOrderWriteTeachRow;
    for (std::uint16_t row = 0; row < kTeachRows; ++row) {
        StateLine().SetActivityDetail(
            QStringLiteral("to %1, row %2/%3").arg(MemoryName()).arg(row + 1).arg(kTeachRows));
        FillTxBuf(buffers_, kOrderWriteTeachRow, row);
        if (!cmd_.SendFrameOrReport()) return;
    }
    if (exchange_.target == EEPROM) {
        exchange_.order = kOrderStoreEeprom;
        FillTxBuf(buffers_, kOrderStoreEeprom, 0);
        if (!cmd_.SendFrameOrReport()) return;
    }
    InStep();
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
                     QStringLiteral("reading from %1 failed").arg(memory));
}

void ScopeCommands::GetParaFrames() {
    exchange_.comecho = 1;
    if (exchange_.target == EEPROM) {
        exchange_.order = kOrderLoadEeprom;
        Befehl6plus8();
    }
    if (exchange_.comecho != 1) return;
    // The replies fill a copy; the parameter set and the panels change only when every reply was
    // the one asked for, so a broken read never leaves a mix of old and new rows to be sent back.
    ParameterSet staged = params_;
    exchange_.order = kOrderReadModes;
    FillTxBuf(buffers_, kOrderReadModes, 0);
    // A missing reply to order 3 is reported; row 0 is still asked for before the read stops.
    if (Befehl3plus4(staged, 0) == ParaReply::Wrong) return;
    exchange_.order = kOrderReadTeachRow;
    for (std::uint16_t row = 0; row < kTeachRows; ++row) {
        StateLine().SetActivityDetail(
            QStringLiteral("from %1, row %2/%3").arg(MemoryName()).arg(row + 1).arg(kTeachRows));
        FillTxBuf(buffers_, kOrderReadTeachRow, row);
        Befehl3plus4(staged, row);
        if (exchange_.comecho == 0) return;
    }
    params_ = staged;
    hooks_.showParameters();
    InStep();
}

ScopeCommands::ParaReply ScopeCommands::Befehl3plus4(ParameterSet& into, std::uint16_t row) {
    if (!cmd_.ExchangeOrReport(ScopeReply())) {
        exchange_.comecho = 0;
        return ParaReply::Missing;
    }
    GetRxBufPara(buffers_);
    const auto& pp = buffers_.pp;
    const bool asked = pp[0] == sync && pp[1] == exchange_.order &&
                       (exchange_.order != kOrderReadTeachRow || pp[2] == row);
    if (!asked) {
        FailureReport();
        exchange_.comecho = 0;
        return ParaReply::Wrong;
    }
    CopyPPtoVars(buffers_, into);
    return ParaReply::Taken;
}

void ScopeCommands::Befehl6plus8() {
    FillTxBuf(buffers_, exchange_.order, 0);
    if (!cmd_.ExchangeOrReport(ScopeReply())) {
        exchange_.comecho = 0;
        return;
    }
    GetRxBufPara(buffers_);
    exchange_.comecho = buffers_.pp[0] == sync && buffers_.pp[1] == exchange_.order ? 1 : 0;
}

bool ScopeCommands::GetDataFrame() {
    return com_.ExchangeFrame(ScopeReply());
}

void ScopeCommands::GetData() {
    cmd_.FlushSerialQueues();
    RunLiveLoop(
        flags_.poll,
        {[this] { return FetchDataFrame(); }, hooks_.showLiveFrame, [this] { FailureReport(); },
         [] { Pause(0.05, WaitMode::ServeUserInput); }, &StateLine(), Activity::Live});
}

bool ScopeCommands::FetchDataFrame() {
    exchange_.order = kOrderData;
    FillTxBuf(buffers_, kOrderData, 0);
    if (!GetDataFrame()) return false;
    GetRxBufData(buffers_);
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
                                          : QStringLiteral("saving %1 failed").arg(name));
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
                                          : QStringLiteral("loading %1 failed").arg(name));
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
