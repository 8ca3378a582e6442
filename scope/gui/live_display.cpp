#include "live_display.h"

#include <algorithm>
#include <cmath>

#include "help.h"
#include "live_frame_computations.h"
#include "panel_parts.h"
#include "scope_texts.h"
#include "state_line.h"

namespace tvx {

namespace {

constexpr QRgb kBorderLineColour = 0xA0A0A0;

void SetNumber(QLineEdit* display, long long value) {
    display->setText(QString::number(value));
}

// The backgrounds are the displays' own; the text takes the colour that reads on them.
void SetDisplayColours(QLineEdit* display, QRgb background) {
    display->setStyleSheet(QStringLiteral("QLineEdit { %1 }").arg(ColourRules(background)));
}

constexpr const char* kMarginLevelProperty = "marginLevel";
constexpr QRgb kWarnColour = 0xFFD020;
constexpr QRgb kAlarmColour = 0xE02020;

}  // namespace

QString MarginPercent(double margin) {
    // 0.62 x 100 may come out a hair below 62.
    return QStringLiteral("%1 %").arg(std::floor(margin * 100 + 1e-9), 0, 'f', 0);
}

void ShowMarginLevel(QLineEdit* display, std::optional<MarginLevel> level) {
    const int code = level ? static_cast<int>(*level) : -1;
    const QVariant shown = display->property(kMarginLevelProperty);
    if (!shown.isValid() || shown.toInt() != code) {
        display->setProperty(kMarginLevelProperty, code);
        if (level == MarginLevel::Warn)
            SetDisplayColours(display, kWarnColour);
        else if (level == MarginLevel::Alarm)
            SetDisplayColours(display, kAlarmColour);
        else
            display->setStyleSheet({});
    }
    QString words;
    if (level == MarginLevel::Warn) words = QStringLiteral("warning: close to the edge");
    if (level == MarginLevel::Alarm) words = QStringLiteral("alarm: outside the row");
    // Set after the stale mark has been taken back too, hence compared, not remembered.
    if (display->accessibleDescription() != words) display->setAccessibleDescription(words);
}

LiveDisplay::LiveDisplay(MainPanel& panel, ParameterControls& controls, State state, Popups& popups)
    : panel_(panel), controls_(controls), state_(state), popups_(popups) {
    ModeDisplayHooks hooks;
    hooks.showColourNumber = [this](bool shown) { panel_.colourNumber->setVisible(shown); };
    hooks.showColourBits = [this](bool shown) { panel_.colourBits->setVisible(shown); };
    hooks.showGroupDisplay = [this](bool shown) { panel_.group->setVisible(shown); };
    controls_.SetModeDisplayHooks(std::move(hooks));
    controls_.AddPanelCtrlAttrStep([this] { DispVis(); });
    AddDispNamesRows();
    AttachHelpTexts();
    connect(panel_.selectSource, &QComboBox::activated, this, &LiveDisplay::CBF_SelectSource);
    // The displays start as the controls' present modes say.
    controls_.InitEvalMode();
    controls_.SetDispNames();
}

void LiveDisplay::AddDispNamesRows() {
    controls_.AddDispNamesRow(
        ParameterControls::LabelRow(panel_.labelX, QStringLiteral("X"), QStringLiteral("s")));
    controls_.AddDispNamesRow(
        ParameterControls::LabelRow(panel_.labelY, QStringLiteral("Y"), QStringLiteral("i")));
    controls_.AddDispNamesRow(
        ParameterControls::LabelRow(panel_.labelINT, QStringLiteral("INT"), QStringLiteral("M")));
    controls_.AddDispNamesRow([this](int calcmode) {
        if (calcmode == 0) {
            SetDisplayColours(panel_.dispX, 0xFF0000);
            SetDisplayColours(panel_.dispY, 0x00FF00);
            panel_.graphData1->SetAxisRanges(0, 4096, 0, 4096);
            panel_.graphINT->SetYAxisRange(0, 4096);
        } else {
            SetDisplayColours(panel_.dispX, 0xFF0000);
            SetDisplayColours(panel_.dispY, 0xFFFF00);
            panel_.graphData1->DeleteAllPlots();
            panel_.graphData1->SetAxisRanges(0, 10000, 0, 4000);
            panel_.graphINT->SetYAxisRange(0, 1200);
        }
    });
    controls_.AddDispNamesRow(ParameterControls::RingItemsRow(
        panel_.selectSource, {0, 2}, {QStringLiteral("X/Y"), QStringLiteral("INT")},
        {QStringLiteral("s/i"), QStringLiteral("M")}));
}

void LiveDisplay::AttachHelpTexts() {
    using namespace info;
    const auto help = [this](QWidget* control, const char* text) {
        AttachHelp(control, popups_, QString::fromUtf8(text));
    };
    help(panel_.dispX, InfoDispX);
    help(panel_.dispY, InfoDispY);
    help(panel_.dispINT, InfoDispINT);
    for (QWidget* display : {panel_.dispRed, panel_.dispGreen, panel_.dispBlue})
        help(display, InfoDispRAW);
    for (QWidget* bar : {panel_.barRed, panel_.barGreen, panel_.barBlue}) help(bar, InfoDispBars);
    help(panel_.dispCOL, InfoDispCOL);
    help(panel_.dispMargin, InfoDispMargin);
    help(panel_.dispGroup, InfoDispGroup);
    help(panel_.dispTemp, InfoDispTemp);
    help(panel_.graphData1, InfoGraph);
    help(panel_.graphRGB, InfoGraph);
    help(panel_.graphINT, InfoGraph);
    help(panel_.selectSource, InfoSelectSource);
}

void LiveDisplay::SetPanelData() {
    const LiveValues& live = state_.live;
    panel_.barRed->setValue(std::min<int>(live.dataR, 4095));
    panel_.barGreen->setValue(std::min<int>(live.dataG, 4095));
    panel_.barBlue->setValue(std::min<int>(live.dataB, 4095));
    SetNumber(panel_.dispRed, live.dataR);
    SetNumber(panel_.dispGreen, live.dataG);
    SetNumber(panel_.dispBlue, live.dataB);
    SetNumber(panel_.dispX, live.dataX);
    SetNumber(panel_.dispY, live.dataY);
    ShowCursorReadout(false);
    SetNumber(panel_.dispINT, live.dataINT);
    SetNumber(panel_.dispCOL, live.dataCOL);
    ShowMargin(state_.margins.Evaluate(live));
    SetNumber(panel_.dispTemp, live.dataTemp);
    SetNumber(panel_.dispGroup, live.dataGroup);

    state_.rgbcolor = PatchColour(live.dataR, live.dataG, live.dataB);
    if (state_.rgbcolor != shownPatchColour_) {
        panel_.colourPatch->setStyleSheet(
            QStringLiteral("QFrame { background: %1; }").arg(QColor(state_.rgbcolor).name()));
        shownPatchColour_ = state_.rgbcolor;
    }

    if (state_.params.evalmode == 3) {
        const auto bits = ColourNumberBits(static_cast<std::uint16_t>(live.dataCOL));
        for (std::size_t i = 0; i < bits.size(); ++i) panel_.colourBit[i]->SetOn(bits[i]);
    }

    state_.source = static_cast<std::uint16_t>(panel_.selectSource->currentData().toInt());
}

IntensityBand LiveDisplay::IntensityBandInView() const {
    const int row = controls_.editNo->value();
    if (state_.source != 2 || row < 0 || row >= kTeachRows) return {};
    return BandOfRow(controls_.gridTeach->Value(row, 3), controls_.gridTeach->Value(row, 4));
}

void LiveDisplay::ShowGraph() {
    switch (state_.source) {
        case 0:
            panel_.graphData1->SetCursorLive(true);
            panel_.graphData1->SetCursorPosition(state_.live.dataX, state_.live.dataY);
            break;
        case 1:
            panel_.graphRGB->PlotHistory(state_.rawbuf.data(), kHistoryValues);
            break;
        case 2:
            panel_.graphINT->PlotHistory(state_.intbuf.data(), kHistoryValues);
            break;
        default:
            break;
    }
}

void LiveDisplay::DispVis() {
    state_.source = static_cast<std::uint16_t>(panel_.selectSource->currentData().toInt());
    if (state_.source > 2) return;
    const bool plane = state_.source == 0;
    const bool raw = state_.source == 1;
    const bool intensity = state_.source == 2;
    panel_.rgbDisplays->setVisible(raw);
    panel_.planeDisplays->setVisible(!raw);
    panel_.graphRGB->setVisible(raw);
    panel_.graphINT->setVisible(intensity);
    panel_.graphData1->setVisible(plane);
}

void LiveDisplay::PrepareColourPlane() {
    panel_.graphData1->DeleteAllPlots();
    state_.params.calcmode =
        static_cast<std::uint16_t>(controls_.editCalcmode->currentData().toInt());
    if (state_.params.calcmode == 0) {
        QVector<double> xs(kRampPoints);
        QVector<double> ys(kRampPoints);
        for (int i = 0; i < kRampPoints; ++i) {
            xs[i] = state_.xramp[static_cast<std::size_t>(i)];
            ys[i] = state_.yramp[static_cast<std::size_t>(i)];
        }
        panel_.graphData1->PlotLine(xs, ys, QColor(kBorderLineColour));
    }
    HideZoomGraph();
}

void LiveDisplay::HideZoomGraph() {
    panel_.graphData2->lower();
    panel_.graphData1->raise();
}

void LiveDisplay::ShowZoomGraph() {
    panel_.graphData2->raise();
}

bool LiveDisplay::ZoomGraphInFront() const {
    // Raising a widget moves it to the end of its parent's children.
    const QObjectList& stack = panel_.graphData2->parentWidget()->children();
    int last = -1;
    for (QWidget* graph :
         std::initializer_list<QWidget*>{panel_.graphData1, panel_.graphRGB, panel_.graphINT})
        last = std::max<int>(last, static_cast<int>(stack.indexOf(graph)));
    return stack.indexOf(panel_.graphData2) > last;
}

void LiveDisplay::ShowStale(bool stale) {
    MainPanel& p = panel_;
    for (QWidget* display : std::initializer_list<QWidget*>{
             p.barRed, p.barGreen, p.barBlue, p.dispRed, p.dispGreen, p.dispBlue, p.dispX, p.dispY,
             p.dispINT, p.dispCOL, p.dispMargin, p.colourBits, p.dispGroup, p.dispTemp,
             p.colourPatch})
        tvx::ShowStale(display, stale);
}

void LiveDisplay::ShowCursorReadout(bool readout) {
    tvx::ShowCursorReadout(panel_.dispX, readout);
    tvx::ShowCursorReadout(panel_.dispY, readout);
}

void LiveDisplay::ShowMargin(const std::optional<RecognitionMargin>& margin) {
    QLineEdit* display = panel_.dispMargin;
    display->setEnabled(margin.has_value());
    QString text;
    if (margin) {
        text = QStringLiteral("%1 %2 %3")
                   .arg(MarginPercent(margin->first.margin),
                        margin->reported ? QStringLiteral("row") : QStringLiteral("near row"))
                   .arg(margin->first.row);
        if (margin->Ambiguous())
            text += QStringLiteral(" | %1 row %2")
                        .arg(MarginPercent(margin->second->margin))
                        .arg(margin->second->row);
    }
    if (display->text() != text) display->setText(text);
    ShowMarginLevel(display, margin ? std::optional(LevelOfMargin(*margin)) : std::nullopt);
}

void LiveDisplay::CBF_SelectSource() {
    DispVis();
}

}  // namespace tvx
