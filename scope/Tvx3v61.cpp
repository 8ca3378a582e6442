#include "Tvx3v61.h"

#include <QDir>
#include <QShortcut>

#include "help.h"
#include "scope_texts.h"
#include "serial_port_names.h"
#include "termination.h"
#include "wait.h"
#include "window_placement.h"

namespace tvx {

namespace {

QString HelpText(const char* text) {
    return QString::fromUtf8(text);
}

// The main panel's function keys act from a secondary panel beside it as well; a dimmed (or,
// with the recorder in its place, hidden) button stays inert whichever window has the key.
void ForwardFunctionKeys(QWidget* window, std::initializer_list<QAbstractButton*> buttons) {
    for (QAbstractButton* button : buttons) {
        auto* key = new QShortcut(button->shortcut(), window);
        QObject::connect(key, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible()) button->animateClick();
        });
    }
}

}  // namespace

Tvx3v61::Tvx3v61(Popups& popups, StartOptions options)
    : ToolShell(popups, std::move(options), QStringLiteral("Tvx3v61")) {}

Tvx3v61::~Tvx3v61() {
    // The link outlives the panels: its state line no longer reaches them.
    if (com_) disconnect(&com_->StateLineData(), nullptr, this, nullptr);
}

void Tvx3v61::LoadPanels() {
    const QString title = QString::fromLatin1(kScopeTitle);
    panel = std::make_unique<MainPanel>(title);
    recpanel = std::make_unique<RecorderPanel>();
    srcpanel = std::make_unique<RowColourPanel>();
    graphpanel = std::make_unique<SignalGraphPanel>();
    teachpanel = std::make_unique<MeanTeachPanel>();
    LoadLink(state_.link, state_.buffers, state_.flags, LinkVariant::Scope(), panel->dispStatus,
             MainPanelLinkDisplays::Of(panel->dispComPort, panel->labelComPort,
                                       panel->dispIpAddress, panel->labelIpAddress));
    grouppanel = std::make_unique<GroupPanel>();

    ExchangePanelHooks hooks;
    hooks.showMainStatus = [this](const QString& text) { panel->dispStatus->setText(text); };
    hooks.showInterfaceStatus = [this](const QString& text) {
        interfacepanel->dispConnectStatus->setText(text);
    };
    hooks.enableAccept = [this] { connection_->EnableAccept(); };
    hooks.setButtonsDimmed = [this](bool dimmed) { controls_->SetButtonsDimmed(dimmed); };
    hooks.getPanelValues = [this] { return controls_->GetPanelValues(); };
    hooks.showParameters = [this] {
        controls_->SetPanelValues();
        controls_->InitPanelCtrlAttr();
    };
    // The live loop's frame step: the displays, the strip-chart histories, the graph.
    hooks.showLiveFrame = [this] {
        live_->SetPanelData();
        FeedHistories(state_.rawbuf, state_.intbuf, state_.live, live_->IntensityBandInView());
        live_->ShowGraph();
    };
    hooks.mayReplaceParameters = [this] { return unsent_->MayReplace(); };
    hooks.parametersInStep = [this] {
        unsent_->TakeBaseline();
        state_.margins = MarginTable(state_.params);
    };
    commands_ = std::make_unique<ScopeCommands>(*com_, state_.link, state_.exchange, state_.buffers,
                                                state_.params, state_.live, state_.flags,
                                                state_.files, popups_, std::move(hooks));
    ScopeState& s = state_;
    controls_ = std::make_unique<ParameterControls>(*panel, *grouppanel,
                                                    ParameterControls::State{s.params, s.exchange},
                                                    popups_, [this] { commands_->SendPara(); });
    live_ = std::make_unique<LiveDisplay>(
        *panel, *controls_,
        LiveDisplay::State{s.live, s.params, s.source, s.rgbcolor, s.rawbuf, s.intbuf, s.xramp,
                           s.yramp, s.margins},
        popups_);
    teach_ = std::make_unique<TeachOperations>(
        *panel, *controls_, *live_, *commands_,
        TeachOperations::State{s.flags, s.live, s.params, s.rgbcolor, s.rowcolors, s.rawbuf,
                               s.intbuf},
        popups_);
    rowColours_ = std::make_unique<RowColourOperations>(
        *panel, *srcpanel, *controls_,
        RowColourOperations::State{s.rowcolors, s.files, s.colorArrayStartupFileName}, popups_);
    unsent_ = std::make_unique<UnsentWork>(*controls_, *grouppanel, popups_);
    teach_->rowColourFromMeasurement = [this] { return rowColours_->TakesColourFromMeasurement(); };
    meanTeach_ = std::make_unique<MeanTeachOperations>(
        *panel, *teachpanel, *controls_, *live_, *commands_,
        MeanTeachOperations::State{s.flags, s.live, s.params}, popups_);
    signalGraph_ = std::make_unique<SignalGraphOperations>(
        *panel, *graphpanel, *controls_, SignalGraphOperations::State{s.flags, s.live, s.graph},
        popups_);
    recorder_ = std::make_unique<RecorderOperations>(
        *panel, *recpanel, *controls_, *signalGraph_, *commands_,
        RecorderOperations::State{s.flags, s.live, s.files, s.recorder}, popups_,
        [this] { ChangePanel(); });

    ConnectCallbacks();
    AttachHelpTexts();
    ShowStateOfTheLink();
    KeepSettings(*panel);
    settings_->KeepPlacement(*recpanel, QStringLiteral("recorder"));
    settings_->KeepPlacement(*srcpanel, QStringLiteral("rowColours"));
    settings_->KeepPlacement(*graphpanel, QStringLiteral("signalGraph"));
    settings_->KeepPlacement(*teachpanel, QStringLiteral("meanTeach"));
    settings_->KeepPlacement(*grouppanel, QStringLiteral("colourGroups"));
}

void Tvx3v61::ConnectCallbacks() {
    connect(panel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_P);
    connect(recpanel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_RECP);
    connect(srcpanel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_SRCP);
    connect(graphpanel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_GRAPHP);
    connect(teachpanel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_TEACHP);
    connect(grouppanel.get(), &Panel::closeRequested, this, &Tvx3v61::CBF_PGROUP);
    connect(panel->buttonSend, &QPushButton::clicked, this, &Tvx3v61::CBF_ButtonSend);
    connect(panel->buttonGet, &QPushButton::clicked, this, &Tvx3v61::CBF_ButtonGet);
    connect(panel->buttonGo, &QPushButton::clicked, this, &Tvx3v61::CBF_ButtonGo);
    connect(panel->buttonStop, &QPushButton::clicked, this, &Tvx3v61::CBF_ButtonStop);
    connect(panel->buttonConnect, &QPushButton::clicked, this, &Tvx3v61::CBF_ButtonConnect);
    connect(panel->switchPara, &QCheckBox::clicked, this, &Tvx3v61::CBF_ParaVisible);
    for (QWidget* beside :
         std::initializer_list<QWidget*>{srcpanel.get(), graphpanel.get(), teachpanel.get(),
                                         interfacepanel.get(), grouppanel.get()})
        ForwardFunctionKeys(
            beside, {panel->buttonSend, panel->buttonGet, panel->buttonGo, panel->buttonStop});
}

void Tvx3v61::ShowStateOfTheLink() {
    StateLineModel& line = com_->StateLineData();
    ShowStateLine(line, *panel->stateLine);
    ShowStateLine(line, *recpanel->stateLine);
    connect(unsent_.get(), &UnsentWork::unsentCountChanged, &line,
            &StateLineModel::SetUnsentChanges);
    line.SetUnsentChanges(unsent_->UnsentCount());
    connect(&line, &StateLineModel::changed, this, [this, &line] {
        if (!live_ || !recorder_) return;  // the panels are going
        live_->ShowStale(line.ValuesStale());
        recorder_->ShowStale(line.ValuesStale());
        // A cursor is live only while its loop moves it frame by frame.
        if (!line.Running(Activity::Live) || line.ValuesStale())
            panel->graphData1->SetCursorLive(false);
        if (!line.Running(Activity::Zoom) || line.ValuesStale())
            panel->graphData2->SetCursorLive(false);
    });
}

void Tvx3v61::AttachHelpTexts() {
    using namespace info;
    AttachHelp(panel->buttonSend, popups_, HelpText(InfoButtonSend));
    AttachHelp(panel->buttonGet, popups_, HelpText(InfoButtonGet));
    AttachHelp(panel->buttonGo, popups_, HelpText(InfoButtonGo));
    AttachHelp(panel->buttonStop, popups_, HelpText(InfoButtonStop));
    AttachHelp(panel->buttonConnect, popups_, HelpText(InfoButtonConnect));
    AttachHelp(panel->dispStatus, popups_, HelpText(InfoStatus));
    AttachHelp(panel->switchPara, popups_, HelpText(InfoSwitchPara));

    AttachInterfacePanelHelp(*interfacepanel, popups_);
}

void Tvx3v61::InitVars() {
    state_.link.comport = 1;
    state_.link.tcpcon = 0;
    state_.exchange.order = 1;
    state_.exchange.target = RAM;
    state_.flags.poll = 0;
    state_.flags.pollrecord = 0;

    state_.files.proj_dir = ProgramDirectory(options_);
    const QDir dir(state_.files.proj_dir);
    state_.ipComboBoxFileName = dir.filePath(QStringLiteral("IPComboBoxTvx3v61.ipa"));
    state_.colorArrayStartupFileName = dir.filePath(QStringLiteral("StartupPath.sup"));

    FillBorderRamps(state_.xramp, state_.yramp);

    live_->HideZoomGraph();
    panel->switchPara->setChecked(true);
    controls_->ParaVis();
    live_->DispVis();

    panel->logoText->setText(
        QStringLiteral("<b>%1</b><br>Colour sensor set-up and monitoring").arg(kScopeTitle));

    controls_->GetPanelValues();
    controls_->gridTeach->setCurrentCell(0, 0);
    rowColours_->LoadStartupColours();
    controls_->InitColorGroups();

    ConnectAtStart(state_.ipComboBoxFileName);
}

int Tvx3v61::Run() {
    const int code = RunTool(*panel);
    unsent_.reset();
    recorder_.reset();
    signalGraph_.reset();
    meanTeach_.reset();
    rowColours_.reset();
    teach_.reset();
    live_.reset();
    controls_.reset();
    panel.reset();
    return code;
}

void Tvx3v61::SetCommandsDimmed(bool dimmed) {
    controls_->SetButtonsDimmed(dimmed);
}

void Tvx3v61::CheckComLine() {
    commands_->CheckComLine();
}

void Tvx3v61::ChangePanel() {
    recorder_->StopRecord();
    recpanel->hide();
    ShowPanel(*panel, recpanel.get());
}

void Tvx3v61::CBF_P() {
    // Work not sent is not lost to a slip of the hand; a termination request asks nobody.
    if (!TerminationRequested() && !unsent_->MayClose()) return;
    state_.flags.poll = 0;
    state_.flags.pollrecord = 0;
    RequestQuit(*panel);
}

void Tvx3v61::CBF_RECP() {
    ChangePanel();
}
void Tvx3v61::CBF_SRCP() {
    srcpanel->hide();
}
void Tvx3v61::CBF_GRAPHP() {
    graphpanel->hide();
}
void Tvx3v61::CBF_TEACHP() {
    teachpanel->hide();
}
void Tvx3v61::CBF_PGROUP() {
    grouppanel->hide();
}

void Tvx3v61::CBF_ButtonSend() {
    controls_->SetButtonsDimmed(true);
    if (state_.exchange.target == DATFILE)
        commands_->SendParaToFile();
    else
        commands_->SendPara();
    // Events are served for half a second after the transfer, before the buttons come back.
    Pause(0.5, WaitMode::ServeUserInput);
    controls_->SetButtonsDimmed(false);
}

void Tvx3v61::CBF_ButtonGet() {
    controls_->SetButtonsDimmed(true);
    if (state_.exchange.target == DATFILE)
        commands_->ReadParaFromFile();
    else
        commands_->GetPara();
    controls_->SetButtonsDimmed(false);
}

void Tvx3v61::CBF_ButtonGo() {
    // ZOOM stays usable: it ends the live loop and starts once the loop is over.
    controls_->SetButtonsDimmed(true, teach_->buttonZoom);
    live_->PrepareColourPlane();
    commands_->GetData();
    controls_->SetButtonsDimmed(false);
    if (teach_->TakeZoomAfterLive() && !QuitRequested()) teach_->CBF_ButtonZoom();
}

void Tvx3v61::CBF_ButtonStop() {
    state_.flags.poll = 0;
}

void Tvx3v61::CBF_ButtonConnect() {
    state_.flags.poll = 0;
    connection_->OpenInterfacePanel(*panel);
}

void Tvx3v61::CBF_ParaVisible() {
    if (panel->switchPara->isChecked())
        controls_->ParaVis();
    else
        controls_->ParaInVis();
}

}  // namespace tvx
