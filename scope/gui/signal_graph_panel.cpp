#include "signal_graph_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "help.h"
#include "panel_parts.h"
#include "scope_texts.h"
#include "window_placement.h"

namespace tvx {

namespace {

const std::array<const char*, kSignalCount> kSignalNames = {"RED", "GREEN", "BLUE", "X",
                                                            "Y",   "INT",   "TEMP"};

// A layout of `owner` that holds `widget` directly; null when there is none.
QBoxLayout* BoxHolding(QWidget* owner, QWidget* widget) {
    for (QBoxLayout* box : owner->findChildren<QBoxLayout*>())
        if (box->indexOf(widget) >= 0) return box;
    return nullptr;
}

}  // namespace

SignalGraphPanel::SignalGraphPanel(QWidget* parent)
    : Panel(QString::fromLatin1(kSignalGraphPanelTitle), parent) {
    editSignal = new QComboBox(this);
    for (int i = 0; i < kSignalCount; ++i)
        editSignal->addItem(QString::fromLatin1(kSignalNames[static_cast<std::size_t>(i)]), i);

    auto* stack = new QGridLayout;
    for (int i = 0; i < kSignalCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        auto* graph = new TracePlot(QColor::fromRgb(kSignalTraceColours[at]), this);
        graph->SetAxisRanges(0, SignalSampleAxisTop(0), 0, SignalAxisTop(i, 0));
        graph->setMinimumSize(520, 300);
        graph->setVisible(i == 0);
        graphs[at] = graph;
        stack->addWidget(graph, 0, 0);
    }

    auto* values = new QGridLayout;
    for (int i = 0; i < kSignalCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        displays[at] = MakeDisplay(this, 60);
        displays[at]->setText(QStringLiteral("0"));
        auto* label = new QLabel(QString::fromLatin1(kSignalNames[at]), this);
        if (i == 3) labelX = label;
        if (i == 4) labelY = label;
        if (i == 5) labelINT = label;
        label->setBuddy(displays[at]);
        values->addWidget(label, i, 0);
        values->addWidget(displays[at], i, 1);
    }
    values->setRowStretch(kSignalCount, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(LabelFor(editSignal, QStringLiteral("SIGNAL")));
    top->addWidget(editSignal);
    top->addStretch(1);

    auto* body = new QHBoxLayout;
    body->addLayout(stack, 1);
    body->addLayout(values);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);
    resize(760, 420);
    CloseOnEscape();
}

TracePlot* SignalGraphPanel::VisibleGraph() const {
    for (TracePlot* graph : graphs)
        if (!graph->isHidden()) return graph;
    return nullptr;
}

SignalGraphOperations::SignalGraphOperations(MainPanel& panel, SignalGraphPanel& graphpanel,
                                             ParameterControls& controls, State state,
                                             Popups& popups)
    : panel_(panel), graphpanel_(graphpanel), controls_(controls), state_(state), popups_(popups) {
    buttonShowGraph = new QPushButton(QStringLiteral("SHOW GRAPH"), &panel_);
    if (QBoxLayout* row = BoxHolding(&panel_, panel_.buttonConnect))
        row->insertWidget(row->indexOf(panel_.buttonConnect) + 1, buttonShowGraph);
    AddDispNamesRows();
    AttachHelpTexts();
    connect(buttonShowGraph, &QPushButton::clicked, this,
            &SignalGraphOperations::CBF_ButtonShowGraph);
    connect(graphpanel_.editSignal, &QComboBox::activated, this,
            &SignalGraphOperations::CBF_EditSignal);
}

void SignalGraphOperations::AddDispNamesRows() {
    using Row = ParameterControls;
    SignalGraphPanel& gp = graphpanel_;
    controls_.AddDispNamesRow(Row::LabelRow(gp.labelX, QStringLiteral("X"), QStringLiteral("s")));
    controls_.AddDispNamesRow(Row::LabelRow(gp.labelY, QStringLiteral("Y"), QStringLiteral("i")));
    controls_.AddDispNamesRow(
        Row::LabelRow(gp.labelINT, QStringLiteral("INT"), QStringLiteral("M")));
    controls_.AddDispNamesRow(Row::RingItemsRow(
        gp.editSignal, {3, 4, 5}, {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("INT")},
        {QStringLiteral("s"), QStringLiteral("i"), QStringLiteral("M")}));
    controls_.AddDispNamesRow([this](int calcmode) { SetValueAxes(calcmode); });
}

void SignalGraphOperations::SetValueAxes(int calcmode) {
    for (int i = 0; i < kSignalCount; ++i)
        graphpanel_.graphs[static_cast<std::size_t>(i)]->SetYAxisRange(0,
                                                                       SignalAxisTop(i, calcmode));
}

void SignalGraphOperations::AttachHelpTexts() {
    using namespace info;
    AttachHelp(buttonShowGraph, popups_, QString::fromUtf8(InfoButtonShowGraph));
    AttachHelp(graphpanel_.editSignal, popups_, QString::fromUtf8(InfoEditSignal));
    for (TracePlot* graph : graphpanel_.graphs)
        AttachHelp(graph, popups_, QString::fromUtf8(InfoGraphPanel));
}

void SignalGraphOperations::InitPanelGraph() {
    state_.graph.Clear();
    for (TracePlot* graph : graphpanel_.graphs) {
        graph->DeleteAllPlots();
        graph->SetXAxisRange(0, SignalSampleAxisTop(0));
    }
}

void SignalGraphOperations::SetPanelGraphData() {
    const SignalValues values = SignalValuesOf(state_.live);
    for (std::size_t i = 0; i < values.size(); ++i)
        graphpanel_.displays[i]->setText(QString::number(values[i]));
    const auto segments = state_.graph.AddSample(values);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        TracePlot* graph = graphpanel_.graphs[i];
        const GraphSegment& s = segments[i];
        // Each trace is one line: a sample that starts a trace (after a clear, or when the counter
        // wrapped) starts a new line, every other one extends it by its piece. The graph looks as
        // if each piece were a plot of its own, and costs one piece per sample to draw.
        if (state_.graph.StartedTrace())
            graph->StartLine(s.x1, s.y1);
        else
            graph->ExtendLine(s.x1, s.y1);
        // The sample axis only grows; after the counter wrapped the new trace runs over the old.
        const double top = SignalSampleAxisTop(s.x1);
        if (top > graph->xAxis->range().upper) graph->SetXAxisRange(0, top);
    }
}

void SignalGraphOperations::SetGraphVisible() {
    const std::optional<int> shown =
        SignalGraphIndex(graphpanel_.editSignal->currentData().toInt());
    for (TracePlot* graph : graphpanel_.graphs) graph->hide();
    if (shown) graphpanel_.graphs[static_cast<std::size_t>(*shown)]->show();
}

void SignalGraphOperations::CBF_ButtonShowGraph() {
    state_.flags.poll = 0;
    ShowPanel(graphpanel_, &panel_);
    graphpanel_.raise();
}

void SignalGraphOperations::CBF_EditSignal() {
    SetGraphVisible();
}

}  // namespace tvx
