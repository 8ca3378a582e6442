#include "teach_operations.h"

#include <QBrush>
#include <QGridLayout>
#include <map>
#include <numbers>

#include "dimming.h"
#include "help.h"
#include "recognition_margin.h"
#include "scope_texts.h"
#include "shown_values.h"
#include "wait.h"

namespace tvx {

namespace {

// A display's number; an empty or unreadable display counts as 0.
std::uint16_t DisplayedNumber(const QLineEdit* display) {
    bool ok = false;
    const uint value = display->text().trimmed().toUInt(&ok);
    return ok && value <= 0xFFFF ? static_cast<std::uint16_t>(value) : 0;
}

// A cursor coordinate as a display shows it: truncated toward zero, within 0 ... 65535.
std::uint16_t CursorCoordinate(double value) {
    const double truncated = std::trunc(value);
    if (!(truncated > 0)) return 0;
    return truncated >= 65535 ? 65535 : static_cast<std::uint16_t>(truncated);
}

}  // namespace

TeachOperations::TeachOperations(MainPanel& panel, ParameterControls& controls, LiveDisplay& live,
                                 ScopeCommands& commands, State state, Popups& popups)
    : panel_(panel),
      controls_(controls),
      live_(live),
      commands_(commands),
      state_(state),
      popups_(popups) {
    BuildButtons();
    panel_.graphData2->SetCursorDraggable(true);
    controls_.AddDimmedCommand(buttonZoom);

    connect(controls_.buttonTeachDataTo, &QPushButton::clicked, this,
            &TeachOperations::CBF_ButtonTeachDataTo);
    connect(buttonResetTable, &QPushButton::clicked, this, &TeachOperations::CBF_ButtonResetTable);
    connect(buttonApplyFromAll, &QPushButton::clicked, this,
            &TeachOperations::CBF_ButtonApplyFromAll);
    connect(buttonAutoAdjust, &QPushButton::clicked, this, &TeachOperations::CBF_AutoAdjust);
    connect(buttonZoom, &QPushButton::clicked, this, &TeachOperations::CBF_ButtonZoom);
    connect(panel_.graphData2, &GraphControl::cursorMoved, this,
            &TeachOperations::CBF_GraphData2CursorMoved);
    connect(panel_.graphData2, &GraphControl::leftClicked, this,
            &TeachOperations::CBF_GraphData2LeftClick);
    connect(panel_.graphData2, &GraphControl::rightClicked, this,
            &TeachOperations::CBF_GraphData2RightClick);
}

void TeachOperations::BuildButtons() {
    QWidget* page = panel_.teachPage;
    buttonApplyFromAll = new QPushButton(QStringLiteral("APPLY FROM ALL"), page);
    buttonAutoAdjust = new QPushButton(QStringLiteral("AUTO ADJUST"), page);
    buttonZoom = new QPushButton(QStringLiteral("ZOOM"), page);
    buttonResetTable = new QPushButton(QStringLiteral("RESET TABLE"), page);
    // Under TEACH DATA TO and its row number, before COLOR GROUPS.
    const int before = controls_.teachButtons->indexOf(controls_.buttonColorGroups);
    int at = before < 0 ? controls_.teachButtons->count() : before;
    for (QPushButton* button : {buttonApplyFromAll, buttonAutoAdjust, buttonZoom, buttonResetTable})
        controls_.teachButtons->insertWidget(at++, button);

    using namespace info;
    const auto help = [this](QWidget* control, const char* text) {
        AttachHelp(control, popups_, QString::fromUtf8(text));
    };
    help(buttonResetTable, InfoButtonResetTable);
    help(buttonApplyFromAll, InfoButtonApplyFromAll);
    help(buttonAutoAdjust, InfoButtonAutoAdjust);
    help(buttonZoom, InfoButtonZoom);

    dispCrowdedRows = new QLabel(page);
    dispCrowdedRows->setWordWrap(true);
    dispCrowdedRows->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dispCrowdedRows->setAccessibleName(QStringLiteral("AUTO ADJUST result"));
    dispCrowdedRows->hide();
    help(dispCrowdedRows, InfoDispCrowdedRows);
    auto* grid = static_cast<QGridLayout*>(page->layout());
    grid->addWidget(dispCrowdedRows, 1, 0, 1, grid->columnCount());
}

void TeachOperations::TeachDataTo() {
    if (!TakeShownValues({controls_.editNo}, popups_)) return;
    LiveValues& live = state_.live;
    live.dataX = DisplayedNumber(panel_.dispX);
    live.dataY = DisplayedNumber(panel_.dispY);
    state_.params.pmode = static_cast<std::uint16_t>(controls_.editPmode->currentData().toInt());
    state_.params.evalmode =
        static_cast<std::uint16_t>(controls_.editEvalmode->currentData().toInt());
    const int row = controls_.editNo->value();
    const auto taught = TaughtRow(live.dataX, live.dataY, live.dataINT, state_.params.evalmode,
                                  state_.params.pmode);
    for (int c = 0; c < kTeachColumns; ++c)
        controls_.gridTeach->SetValue(row, c, taught[static_cast<std::size_t>(c)]);
    if (controls_.radioInc->isChecked() && row < kTeachRows - 1) {
        const QSignalBlocker blocker(controls_.editNo);
        controls_.editNo->setValue(row + 1);
    }
    if (rowColourFromMeasurement && rowColourFromMeasurement()) {
        state_.rowcolors[static_cast<std::size_t>(row)] =
            static_cast<std::int32_t>(state_.rgbcolor);
        controls_.gridTeach->SetRowColour(row, QColor(state_.rgbcolor));
    }
}

void TeachOperations::ResetTable() {
    {
        const QSignalBlocker blocker(controls_.editNo);
        controls_.editNo->setValue(0);
    }
    for (int r = 0; r < kTeachRows; ++r)
        for (int c = 0; c < kTeachColumns; ++c) controls_.gridTeach->SetValue(r, c, 1);
}

void TeachOperations::DrawCircles(GraphControl* graph) {
    const auto colourOfRow = [this](int row) {
        return QColor(static_cast<QRgb>(state_.rowcolors[static_cast<std::size_t>(row)]));
    };
    for (int row = 0; row < kTeachRows; ++row)
        for (const CircleBounds& c : CircleOutlines(CircleOfRow(Table(), row)))
            graph->PlotEllipse(c.x1, c.y1, c.x2, c.y2, colourOfRow(row));
    // Each circle carries its row number on its upper right, where the line leaves it at 45
    // degrees. Reset rows are dots in the origin corner: their numbers would only pile up there.
    for (int row = 0; row < kTeachRows; ++row) {
        if (RowInOriginCorner(Table(), row)) continue;
        const CircleBounds c = CircleOfRow(Table(), row);
        const double radius = (c.x2 - c.x1) / 2;
        const double onCircle = radius * std::numbers::sqrt2 / 2;
        graph->PlotLabel(c.x1 + radius + onCircle, c.y1 + radius + onCircle, QString::number(row),
                         colourOfRow(row));
    }
}

void TeachOperations::ApplyFromAll() {
    state_.flags.poll = 0;
    if (!controls_.GetPanelValues()) return;
    live_.PrepareColourPlane();
    DrawCircles(panel_.graphData1);
}

void TeachOperations::AutoAdjust() {
    if (!TakeShownValues(controls_.ValueBoxes(), popups_)) return;
    const int activeRows = controls_.editMaxcolNo->value();
    for (int r = 0; r < activeRows && r < kTeachRows; ++r)
        controls_.gridTeach->SetValue(r, kColumnCto, 1);
    panel_.graphData2->SetAxisRanges(0, 10000, 0, 10000);
    live_.ShowZoomGraph();
    controls_.GetPanelValues();
    AutoAdjustRadii(Table(), state_.params.maxcolno);
    controls_.SetPanelValues();
    ShowCrowdedRows();
    ShowGraphData2();
}

void TeachOperations::ShowCrowdedRows() {
    const QString warn = MarginPercent(kDefaultMarginWarn);
    std::map<int, QStringList> neighbours;
    for (const CrowdedRow& crowded : CrowdedRows(state_.params))
        neighbours[crowded.row] << QString::number(crowded.neighbour);
    QStringList rows;
    for (const auto& [row, by] : neighbours)
        rows << QStringLiteral("row %1 (by %2)").arg(row).arg(by.join(QStringLiteral(", ")));
    dispCrowdedRows->setText(
        rows.isEmpty()
            ? QStringLiteral("AUTO ADJUST: every active row keeps %1 margin to its neighbours.")
                  .arg(warn)
            : QStringLiteral("AUTO ADJUST: less than %1 margin to a neighbour: %2.")
                  .arg(warn, rows.join(QStringLiteral(", "))));
    dispCrowdedRows->show();
}

void TeachOperations::ShowGraphData2() {
    state_.flags.poll = 0;
    if (!controls_.GetPanelValues()) return;
    GraphControl* zoom = panel_.graphData2;
    zoom->DeleteAllPlots();
    const ZoomBox box = ZoomBoxOfTable(Table());
    DrawCircles(zoom);
    RunLiveLoop(state_.flags.poll, {[this] { return commands_.FetchDataFrame(); },
                                    [&] {
                                        live_.SetPanelData();
                                        FeedHistories(state_.rawbuf, state_.intbuf, state_.live,
                                                      live_.IntensityBandInView());
                                        const int x = state_.live.dataX;
                                        const int y = state_.live.dataY;
                                        const ZoomWindow window = ZoomWindowFor(box, x, y);
                                        zoom->SetAxisRanges(window.xMin, window.xMax, window.yMin,
                                                            window.yMax);
                                        zoom->SetCursorLive(true);
                                        zoom->SetCursorPosition(x, y);
                                    },
                                    [this] { commands_.FailureReport(); },
                                    [] {
                                        ServePendingEvents(WaitMode::ServeUserInput);
                                        Pause(0.05, WaitMode::ServeUserInput);
                                    },
                                    &commands_.StateLine(), Activity::Zoom});
}

void TeachOperations::CBF_ButtonTeachDataTo() {
    live_.HideZoomGraph();
    TeachDataTo();
}

void TeachOperations::CBF_ButtonResetTable() {
    live_.HideZoomGraph();
    ResetTable();
}

void TeachOperations::CBF_ButtonApplyFromAll() {
    live_.HideZoomGraph();
    ApplyFromAll();
}

void TeachOperations::CBF_AutoAdjust() {
    // Its zoom loop is a live loop like any other: GO waits until it is over. The other
    // commands stay usable, as they always were during AUTO ADJUST.
    SetControlsDimmed({panel_.buttonGo}, true);
    AutoAdjust();
    SetControlsDimmed({panel_.buttonGo}, false);
}

void TeachOperations::CBF_ButtonZoom() {
    if (commands_.StateLine().Running(Activity::Live)) {
        zoomAfterLive_ = true;
        state_.flags.poll = 0;
        return;
    }
    live_.ShowZoomGraph();
    controls_.SetButtonsDimmed(true);
    ShowGraphData2();
    controls_.SetButtonsDimmed(false);
}

void TeachOperations::CBF_GraphData2CursorMoved(QPointF position) {
    panel_.dispX->setText(QString::number(CursorCoordinate(position.x())));
    panel_.dispY->setText(QString::number(CursorCoordinate(position.y())));
    live_.ShowCursorReadout(true);
    commands_.StateLine().SetCursorReadout(true);
}

void TeachOperations::CBF_GraphData2LeftClick() {
    state_.flags.poll = 0;
}

void TeachOperations::CBF_GraphData2RightClick() {
    state_.flags.poll = 0;
    live_.HideZoomGraph();
}

}  // namespace tvx
