#include "Tvx3TempCompV61.h"

#include <QDir>

#include "address_history.h"
#include "dimming.h"
#include "equation_file.h"
#include "shown_values.h"
#include "tempcomp_texts.h"
#include "wait.h"

namespace tvx::tempcomp {

namespace {

// A chart's y axis reaches 50 beyond the extremes of its table.
constexpr double kAxisMargin = 50.0;

template <typename Table>
void Draw(StripChart* chart, const Table& table, const TableRange& range) {
    std::vector<double> values(table.begin(), table.end());
    chart->PlotHistory(values.data(), static_cast<int>(values.size()));
    chart->SetYAxisRange(range.min - kAxisMargin, range.max + kAxisMargin);
}

}  // namespace

Tvx3TempCompV61::Tvx3TempCompV61(Popups& popups, StartOptions options)
    : ToolShell(popups, std::move(options), QStringLiteral("Tvx3TempCompV61")) {}

Tvx3TempCompV61::~Tvx3TempCompV61() = default;

void Tvx3TempCompV61::LoadPanels() {
    panel = std::make_unique<TempCompPanel>(QString::fromLatin1(kTempCompTitle));
    // This tool shows no link on its main panel.
    LoadLink(state_.link, state_.buffers, state_.flags, LinkVariant::TempComp(), panel->dispStatus,
             MainPanelLinkDisplays{});

    TempCompPanelHooks hooks;
    hooks.showMainStatus = [this](const QString& text) { panel->dispStatus->setText(text); };
    hooks.showInterfaceStatus = [this](const QString& text) {
        interfacepanel->dispConnectStatus->setText(text);
    };
    hooks.enableAccept = [this] { connection_->EnableAccept(); };
    hooks.showSaveResult = [this](const QString& text) { panel->dispSaveResult->setText(text); };
    hooks.calculateTables = [this] {
        CalcCurves();
        CalcCfCurves();
        Calc3rdRoot();
    };
    hooks.tryToConnect = [this] { connection_->TryToConnect(); };
    hooks.closing = [this] { return quitRequested_; };
    commands_ = std::make_unique<TempCompCommands>(*com_, state_, popups_, std::move(hooks));

    ConnectCallbacks();
    // The main panel has no right-click help; the interface settings panel has its usual one.
    AttachInterfacePanelHelp(*interfacepanel, popups_);
    KeepSettings(*panel);
    ShowStateLine(com_->StateLineData(), *panel->stateLine);
}

void Tvx3TempCompV61::ConnectCallbacks() {
    TempCompPanel& p = *panel;
    using T = Tvx3TempCompV61;
    connect(&p, &Panel::closeRequested, this, &T::CBF_P);
    const std::pair<QPushButton*, void (T::*)()> buttons[] = {
        {p.buttonSendCF, &T::CBF_ButtonSendCF},
        {p.buttonGet, &T::CBF_ButtonGet},
        {p.buttonSaveEquation, &T::CBF_ButtonSaveEquation},
        {p.buttonGetEquation, &T::CBF_ButtonGetEquation},
        {p.buttonCalcCurves, &T::CBF_ButtonCalcCurves},
        {p.buttonShowRed, &T::CBF_ButtonShowRed},
        {p.buttonShowGreen, &T::CBF_ButtonShowGreen},
        {p.buttonShowBlue, &T::CBF_ButtonShowBlue},
        {p.buttonCalcCalib, &T::CBF_ButtonCalcCalib},
        {p.buttonShowCfRed, &T::CBF_ButtonShowCfRed},
        {p.buttonShowCfGreen, &T::CBF_ButtonShowCfGreen},
        {p.buttonShowCfBlue, &T::CBF_ButtonShowCfBlue},
        {p.buttonConnect, &T::CBF_ButtonConnect},
    };
    for (const auto& [button, slot] : buttons) connect(button, &QPushButton::clicked, this, slot);
    // The program never writes the temperature step, so each change is the user's.
    connect(p.editTemp, &QSpinBox::valueChanged, this, &T::CBF_EditTemp);
}

void Tvx3TempCompV61::InitVars() {
    state_.link.comport = 1;
    state_.link.tcpcon = 0;
    state_.exchange.sync = 85;
    state_.exchange.order = 1;

    state_.proj_dir = ProgramDirectory(options_);
    state_.ipComboBoxFileName =
        QDir(state_.proj_dir).filePath(QString::fromLatin1(kHistoryFileName));

    panel->logoText->setText(
        QStringLiteral("<b>%1</b><br>Temperature compensation of the colour sensor")
            .arg(QString::fromLatin1(kTempCompTitle)));

    ConnectAtStart(state_.ipComboBoxFileName);
}

int Tvx3TempCompV61::Run() {
    const int code = RunTool(*panel);
    panel.reset();
    return code;
}

void Tvx3TempCompV61::SetCommandsDimmed(bool dimmed) {
    TempCompPanel& p = *panel;
    SetControlsDimmed(
        {p.buttonSendCF, p.buttonGet, p.buttonCalcCurves, p.buttonCalcCalib, p.buttonGetEquation},
        dimmed);
}

void Tvx3TempCompV61::CheckComLine() {
    Sequence sequence(*this);
    commands_->CheckComLine();
}

void Tvx3TempCompV61::CalcCurves() {
    tempcomp::CalcCurves(state_.tables, panel->CoefficientBoxes());
    const CompensationTables& t = state_.tables;
    Draw(panel->chartCurve[0], t.dataRot, t.curveRanges.channel[0]);
    Draw(panel->chartCurve[1], t.dataGruen, t.curveRanges.channel[1]);
    Draw(panel->chartCurve[2], t.dataBlau, t.curveRanges.channel[2]);
    Draw(panel->chartCurve[3], t.dataRGB, t.curveRanges.combined);
}

void Tvx3TempCompV61::CalcCfCurves() {
    tempcomp::CalcCfCurves(state_.tables, panel->SetValueBoxes());
    const CompensationTables& t = state_.tables;
    Draw(panel->chartCf[0], t.dataCfRot, t.factorRanges.channel[0]);
    Draw(panel->chartCf[1], t.dataCfGruen, t.factorRanges.channel[1]);
    Draw(panel->chartCf[2], t.dataCfBlau, t.factorRanges.channel[2]);
    Draw(panel->chartCf[3], t.dataCfRGB, t.factorRanges.combined);
}

void Tvx3TempCompV61::Calc3rdRoot() {
    tempcomp::Calc3rdRoot(state_.tables);
}

void Tvx3TempCompV61::CBF_P() {
    RequestQuit(*panel);
}

void Tvx3TempCompV61::CBF_ButtonSendCF() {
    if (!TakeShownValues(panel->CoefficientBoxList() + panel->SetValueBoxList(), popups_)) return;
    Sequence sequence(*this);
    panel->dispSaveResult->setText(QString::fromLatin1(kSendingText));
    TempCompPanel::SetButtonColour(panel->buttonSendCF, kColourRed);
    commands_->SendPara();
    TempCompPanel::SetButtonColour(panel->buttonSendCF, kColourLightGrey);
}

void Tvx3TempCompV61::CBF_ButtonGet() {
    Sequence sequence(*this);
    // An earlier result must not stand for a read-back that does not complete.
    panel->dispSaveResult->clear();
    commands_->GetPara();
}

FileSelectRequest Tvx3TempCompV61::EquationFileRequest(bool forSaving) const {
    FileSelectRequest request;
    request.startDirectory = state_.proj_dir;
    request.defaultFileName = QStringLiteral("equation.equ");
    request.fileTypeList = QStringLiteral("*.equ");
    request.title = QStringLiteral("equation");
    request.forSaving = forSaving;
    return request;
}

void Tvx3TempCompV61::CBF_ButtonSaveEquation() {
    if (!TakeShownValues(panel->CoefficientBoxList(), popups_)) return;
    const auto chosen = popups_.FileSelectPopup(EquationFileRequest(true));
    if (!chosen) return;
    state_.file_name = *chosen;
    const auto result =
        WriteEquationFile(QFile::encodeName(*chosen).toStdString(), panel->CoefficientBoxes());
    if (!result.ok)
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle),
                             QString::fromStdString(result.error));
}

void Tvx3TempCompV61::CBF_ButtonGetEquation() {
    const auto chosen = popups_.FileSelectPopup(EquationFileRequest(false));
    if (!chosen) return;
    state_.file_name = *chosen;
    const auto result = ReadEquationFile(QFile::encodeName(*chosen).toStdString());
    if (!result.ok) {
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle),
                             QString::fromStdString(result.error));
        return;
    }
    panel->SetCoefficientBoxes(result.coefficients);
}

void Tvx3TempCompV61::CBF_ButtonCalcCurves() {
    if (!TakeShownValues(panel->CoefficientBoxList(), popups_)) return;
    TempCompPanel::ShowOnly(panel->chartCurve, 3);
    CalcCurves();
}

void Tvx3TempCompV61::CBF_ButtonShowRed() {
    TempCompPanel::ShowOnly(panel->chartCurve, 0);
}
void Tvx3TempCompV61::CBF_ButtonShowGreen() {
    TempCompPanel::ShowOnly(panel->chartCurve, 1);
}
void Tvx3TempCompV61::CBF_ButtonShowBlue() {
    TempCompPanel::ShowOnly(panel->chartCurve, 2);
}

void Tvx3TempCompV61::CBF_ButtonCalcCalib() {
    if (!TakeShownValues(panel->SetValueBoxList(), popups_)) return;
    TempCompPanel::ShowOnly(panel->chartCf, 3);
    CalcCfCurves();
}

void Tvx3TempCompV61::CBF_ButtonShowCfRed() {
    TempCompPanel::ShowOnly(panel->chartCf, 0);
}
void Tvx3TempCompV61::CBF_ButtonShowCfGreen() {
    TempCompPanel::ShowOnly(panel->chartCf, 1);
}
void Tvx3TempCompV61::CBF_ButtonShowCfBlue() {
    TempCompPanel::ShowOnly(panel->chartCf, 2);
}

void Tvx3TempCompV61::CBF_EditTemp() {
    const auto T = static_cast<std::uint16_t>(panel->editTemp->value());
    // The box keeps T within 0 ... 99; a step outside the tables shows nothing.
    if (T >= kSteps) return;
    const CompensationTables& t = state_.tables;
    panel->dispCurve[0]->setText(QString::number(t.dataRot[T]));
    panel->dispCurve[1]->setText(QString::number(t.dataGruen[T]));
    panel->dispCurve[2]->setText(QString::number(t.dataBlau[T]));
}

void Tvx3TempCompV61::CBF_ButtonConnect() {
    connection_->OpenInterfacePanel(*panel);
}

}  // namespace tvx::tempcomp
