#include "Tvx3CalibV61.h"

#include <QDir>

#include "address_history.h"
#include "calib_texts.h"
#include "help.h"
#include "shown_values.h"
#include "wait.h"

namespace tvx::calib {

namespace {

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

Tvx3CalibV61::Tvx3CalibV61(Popups& popups, StartOptions options)
    : ToolShell(popups, std::move(options), QStringLiteral("Tvx3CalibV61")) {}

Tvx3CalibV61::~Tvx3CalibV61() = default;

void Tvx3CalibV61::LoadPanels() {
    panel = std::make_unique<CalibPanel>(QString::fromLatin1(kCalibTitle));
    LoadLink(state_.link, state_.buffers, state_.flags, LinkVariant::Calibration(),
             panel->dispStatus,
             MainPanelLinkDisplays::Of(panel->dispComPort, panel->labelComPort,
                                       panel->dispIpAddress, panel->labelIpAddress));

    CalibPanelHooks hooks;
    hooks.showMainStatus = [this](const QString& text) { panel->dispStatus->setText(text); };
    hooks.showInterfaceStatus = [this](const QString& text) {
        interfacepanel->dispConnectStatus->setText(text);
    };
    hooks.enableAccept = [this] { connection_->EnableAccept(); };
    hooks.readPower = [this] { return static_cast<std::uint16_t>(panel->editPower->value()); };
    hooks.readFactors = [this] { return panel->Factors(); };
    hooks.showFactors = [this](const CalibrationFactors& f) { panel->ShowFactors(f); };
    hooks.readSetValue = [this] {
        return static_cast<std::uint16_t>(panel->editSetValue->value());
    };
    hooks.readMaxDelta = [this] {
        return static_cast<std::uint16_t>(panel->editMaxDelta->value());
    };
    hooks.showFrame = [this] {
        panel->ShowFrame(state_.live, state_.calib.deltaraw, state_.calib.deltacalib);
    };
    hooks.setCalcButtonColour = [this](std::uint32_t rgb) {
        CalibPanel::SetButtonColour(panel->buttonCalcCF, rgb);
    };
    hooks.closing = [this] { return quitRequested_; };
    hooks.takeStopBeforeGo = [this] { return TakeStopBeforeGo(); };
    commands_ = std::make_unique<CalibCommands>(*com_, state_, popups_, std::move(hooks));

    ConnectCallbacks();
    AttachHelpTexts();
    KeepSettings(*panel);
    StateLineModel& line = com_->StateLineData();
    ShowStateLine(line, *panel->stateLine);
    connect(&line, &StateLineModel::changed, panel.get(),
            [this, &line] { panel->ShowStale(line.ValuesStale()); });
}

void Tvx3CalibV61::ConnectCallbacks() {
    CalibPanel& p = *panel;
    connect(&p, &Panel::closeRequested, this, &Tvx3CalibV61::CBF_P);
    connect(p.buttonSendPower, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonSendPower);
    connect(p.buttonSendCF, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonSendCF);
    connect(p.buttonGetCF, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonGetCF);
    connect(p.buttonGo, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonGo);
    connect(p.buttonStop, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonStop);
    connect(p.buttonCalcCF, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonCalcCF);
    connect(p.buttonFinishCalib, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonFinishCalib);
    connect(p.buttonConnect, &QPushButton::clicked, this, &Tvx3CalibV61::CBF_ButtonConnect);
}

void Tvx3CalibV61::AttachHelpTexts() {
    using namespace info::calib;
    CalibPanel& p = *panel;
    AttachHelp(p.buttonGo, popups_, Text(InfoButtonGo));
    AttachHelp(p.buttonStop, popups_, Text(InfoButtonStop));
    AttachHelp(p.buttonSendCF, popups_, Text(InfoButtonSendCF));
    AttachHelp(p.buttonGetCF, popups_, Text(InfoButtonGetCF));
    AttachHelp(p.buttonSendPower, popups_, Text(InfoButtonSendPower));
    AttachHelp(p.buttonCalcCF, popups_, Text(InfoButtonCalcCF));
    AttachHelp(p.buttonFinishCalib, popups_, Text(InfoButtonFinishCalib));
    AttachHelp(p.buttonConnect, popups_, Text(InfoButtonConnect));
    AttachHelp(p.editPower, popups_, Text(InfoEditPower));
    for (QSpinBox* cf : {p.editCFR, p.editCFG, p.editCFB})
        AttachHelp(cf, popups_, Text(InfoEditCF));
    AttachHelp(p.editSetValue, popups_, Text(InfoEditSetValue));
    AttachHelp(p.editMaxDelta, popups_, Text(InfoEditMaxDelta));
    for (int c = 0; c < 3; ++c) {
        AttachHelp(p.dispRaw[c], popups_, Text(InfoDispBarsRAW));
        AttachHelp(p.barRaw[c], popups_, Text(InfoDispBarsRAW));
        AttachHelp(p.dispCalib[c], popups_, Text(InfoDispBars));
        AttachHelp(p.barCalib[c], popups_, Text(InfoDispBars));
    }
    AttachHelp(p.dispStatus, popups_, Text(InfoStatus));

    AttachInterfacePanelHelp(*interfacepanel, popups_);
}

void Tvx3CalibV61::InitVars() {
    state_.link.comport = 1;
    state_.link.tcpcon = 0;
    state_.exchange.order = 1;
    state_.exchange.target = RAM;
    state_.flags.poll = 0;

    state_.proj_dir = ProgramDirectory(options_);
    state_.ipComboBoxFileName =
        QDir(state_.proj_dir).filePath(QString::fromLatin1(kHistoryFileName));

    panel->logoText->setText(
        QStringLiteral("<b>%1</b><br>White calibration of the colour sensor").arg(kCalibTitle));

    ConnectAtStart(state_.ipComboBoxFileName);
}

int Tvx3CalibV61::Run() {
    const int code = RunTool(*panel);
    panel.reset();
    return code;
}

void Tvx3CalibV61::SetButtonsDimmed(int dimmed) {
    panel->SetButtonsDimmed(dimmed);
}

void Tvx3CalibV61::SetCommandsDimmed(bool dimmed) {
    SetButtonsDimmed(dimmed ? 1 : 0);
    // Undimmed: the sequence is over, and with it any STOP it kept for its GO loop.
    if (!dimmed) pausedInSequence_ = stopBeforeGo_ = false;
}

void Tvx3CalibV61::PauseBetweenSteps() {
    pausedInSequence_ = true;
    Pause(0.5, WaitMode::ExcludeUserInput);
}

bool Tvx3CalibV61::TakeStopBeforeGo() {
    const bool stop = stopBeforeGo_;
    pausedInSequence_ = stopBeforeGo_ = false;
    return stop;
}

// The handshake of every connection attempt. While it waits no command can start: its reply
// would be taken for the version text.
void Tvx3CalibV61::CheckComLine() {
    Sequence sequence(*this);
    commands_->CheckComLine();
}

QList<QWidget*> Tvx3CalibV61::FactorBoxes() const {
    return {panel->editCFR, panel->editCFG, panel->editCFB};
}

void Tvx3CalibV61::CBF_P() {
    state_.flags.poll = 0;
    RequestQuit(*panel);
}

void Tvx3CalibV61::CBF_ButtonSendPower() {
    if (!TakeShownValues({panel->editPower}, popups_)) return;
    Sequence sequence(*this);
    if (popups_.ConfirmPopup(Text(info::calib::kSendPowerTitle),
                             Text(info::calib::InfoWhiteTarget)))
        commands_->SendCalibPara();
    if (quitRequested_) return;
    PauseBetweenSteps();
    commands_->GetCF();
    commands_->GetData();
}

void Tvx3CalibV61::CBF_ButtonSendCF() {
    if (!TakeShownValues(FactorBoxes(), popups_)) return;
    Sequence sequence(*this);
    commands_->SendCF();
}

void Tvx3CalibV61::CBF_ButtonGetCF() {
    Sequence sequence(*this);
    commands_->GetCF();
}

void Tvx3CalibV61::CBF_ButtonGo() {
    Sequence sequence(*this);
    commands_->GetData();
}

void Tvx3CalibV61::CBF_ButtonStop() {
    state_.flags.poll = 0;
    if (pausedInSequence_) stopBeforeGo_ = true;
}

void Tvx3CalibV61::CBF_ButtonCalcCF() {
    if (!TakeShownValues(QList<QWidget*>{panel->editSetValue, panel->editMaxDelta} + FactorBoxes(),
                         popups_))
        return;
    Sequence sequence(*this);
    const QString unchanged = commands_->CalcCF();
    if (quitRequested_) return;
    // Whatever the calculation gave: the boxes hold the new factors or the unchanged ones.
    commands_->SendCF(unchanged);
    PauseBetweenSteps();
    commands_->GetData();
}

void Tvx3CalibV61::CBF_ButtonFinishCalib() {
    if (!TakeShownValues(FactorBoxes(), popups_)) return;
    Sequence sequence(*this);
    CalibPanel::SetButtonColour(panel->buttonFinishCalib, kColourRed);
    state_.exchange.comecho = 1;
    popups_.MessagePopup(QString::fromLatin1(kInfoTitle), Text(info::calib::InfoButtonFinishCalib));
    // Each step goes on whatever the one before gave; a close of the panel skips the rest.
    auto steps = {
        +[](Tvx3CalibV61& t) { t.commands_->SendPara(); },
        +[](Tvx3CalibV61& t) { t.PauseBetweenSteps(); },
        +[](Tvx3CalibV61& t) { t.commands_->SendCF(); },
        +[](Tvx3CalibV61& t) { t.PauseBetweenSteps(); },
        +[](Tvx3CalibV61& t) { t.commands_->GetCF(); },
        +[](Tvx3CalibV61& t) { t.connection_->TryToConnect(); },
    };
    for (auto step : steps) {
        if (quitRequested_) break;
        step(*this);
    }
    CalibPanel::SetButtonColour(panel->buttonFinishCalib, kColourLightGrey);
}

void Tvx3CalibV61::CBF_ButtonConnect() {
    state_.flags.poll = 0;
    connection_->OpenInterfacePanel(*panel);
}

}  // namespace tvx::calib
