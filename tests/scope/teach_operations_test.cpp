// The teach page's operations end to end: the real scope against the simulated sensor, the
// table, the colour-plane graph and the zoom graph operated as a user does.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Tvx3v61.h"
#include "display_checks.h"
#include "failure_reports.h"
#include "info_texts.h"
#include "scope_fixture.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {
namespace {

using Row = std::array<std::uint16_t, kTeachColumns>;

class TeachOperationsTest : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        Controls().ParaInVis();
        Main().switchPara->setChecked(false);
        Sensor().ClearRequests();
    }

    TeachOperations& Teach() { return scope->Teach(); }
    WordTable* Table() { return Controls().gridTeach; }

    Row TableRow(int row) {
        Row values{};
        for (int c = 0; c < kTeachColumns; ++c)
            values[static_cast<std::size_t>(c)] = Table()->Value(row, c);
        return values;
    }
    void SetTableRow(int row, const Row& values) {
        for (int c = 0; c < kTeachColumns; ++c)
            Table()->SetValue(row, c, values[static_cast<std::size_t>(c)]);
    }

    // A frame as the live view shows it.
    void ShowFrame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
        scope->State().live.dataX = x;
        scope->State().live.dataY = y;
        scope->State().live.dataINT = intensity;
        scope->Live().SetPanelData();
    }

    void MouseOnZoomGraph(QEvent::Type type, QPointF at, Qt::MouseButton button,
                          Qt::MouseButtons held) {
        GraphControl* graph = Main().graphData2;
        QMouseEvent event(type, at, graph->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(graph, &event);
    }
    QPointF PixelOf(GraphControl* graph, double x, double y) {
        return {graph->xAxis->coordToPixel(x), graph->yAxis->coordToPixel(y)};
    }
};

TEST_F(TeachOperationsTest, TeachDataToWritesTheShownValuesIntoTheRowOfNo) {
    const auto cttBefore = scope->State().params.ctt;
    ShowFrame(1234, 2345, 3456);
    Enter(Controls().editNo, 3);
    Click(Controls().radioInc);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(TableRow(3), (Row{1234, 2345, 100, 3456, 100}));
    EXPECT_EQ(Controls().editNo->value(), 4);
    EXPECT_EQ(scope->State().params.ctt, cttBefore) << "the parameter set waits for a send";

    // PMOD DYN teaches ITO 20; at row 14 the row number stays.
    Controls().ParaVis();
    Choose(Controls().editPmode, 1);
    Controls().ParaInVis();
    ShowFrame(10, 20, 30);
    Enter(Controls().editNo, 14);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(TableRow(14), (Row{10, 20, 100, 30, 20}));
    EXPECT_EQ(Controls().editNo->value(), 14);

    // Without auto increment the row number stays; the row colour is left alone.
    Click(Controls().radioInc);
    Enter(Controls().editNo, 5);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Controls().editNo->value(), 5);
    EXPECT_FALSE(Table()->RowColour(5).isValid());

    // With colours taken from the measurement the row gets the patch's colour.
    Teach().rowColourFromMeasurement = [] { return true; };
    scope->State().live.dataR = 4095;
    scope->State().live.dataG = 0;
    scope->State().live.dataB = 1600;
    ShowFrame(10, 20, 30);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Table()->RowColour(5), QColor(0xFF0064));
    EXPECT_EQ(scope->State().rowcolors[5], 0xFF0064);
}

TEST_F(TeachOperationsTest, ResetTableSetsEveryValueToOneAndKeepsColoursAndGroups) {
    SetTableRow(0, {1000, 2000, 50, 300, 20});
    SetTableRow(14, {9, 9, 9, 9, 9});
    Table()->SetRowColour(2, QColor(0x123456));
    scope->ColourGroups().SetGroup(4, 7);
    const auto cttBefore = scope->State().params.ctt;
    Enter(Controls().editNo, 9);
    Click(Teach().buttonResetTable);
    for (int r = 0; r < kTeachRows; ++r) EXPECT_EQ(TableRow(r), (Row{1, 1, 1, 1, 1})) << r;
    EXPECT_EQ(Controls().editNo->value(), 0);
    EXPECT_EQ(Table()->RowColour(2), QColor(0x123456));
    EXPECT_EQ(scope->ColourGroups().Group(4), 7);
    EXPECT_EQ(scope->State().params.ctt, cttBefore);
}

TEST_F(TeachOperationsTest, ApplyFromAllDrawsEveryRowsCircleInItsColour) {
    WindowSizeWatch window(&Main());
    SetTableRow(0, {1000, 2000, 50, 300, 20});
    SetTableRow(1, {3000, 500, 120, 300, 20});
    Main().graphData2->raise();
    scope->State().flags.poll = 1;  // as if a loop ran
    Click(Teach().buttonApplyFromAll);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_FALSE(scope->Live().ZoomGraphInFront());
    EXPECT_EQ(scope->State().params.ctt[1][2], 120) << "the table was read";

    GraphControl* plane = Main().graphData1;
    EXPECT_EQ(plane->graphCount(), 1) << "the X/Y border";
    ASSERT_EQ(plane->PlotCount(), 1 + 3 * kTeachRows);
    // Items in drawing order; the cursor was made first.
    const auto ellipse = [plane](int n) {
        return qobject_cast<QCPItemEllipse*>(plane->item(n + 1));
    };
    ASSERT_NE(ellipse(0), nullptr);
    EXPECT_EQ(ellipse(0)->topLeft->coords(), QPointF(950, 2050));
    EXPECT_EQ(ellipse(0)->bottomRight->coords(), QPointF(1050, 1950));
    EXPECT_EQ(ellipse(0)->pen().color(), QColor(0xFF0000));
    EXPECT_EQ(ellipse(2)->topLeft->coords(), QPointF(950.05, 2050.005));
    EXPECT_EQ(ellipse(3)->topLeft->coords(), QPointF(2880, 620));
    EXPECT_EQ(ellipse(3)->pen().color(), QColor(0x80FF00));
    EXPECT_EQ(ellipse(3 * 14)->pen().color(), QColor(0x800000));
    EXPECT_EQ(ellipse(0)->brush().style(), Qt::NoBrush);

    // Every row's circle stands out from the plot: its line or the rim around it (non-text
    // contrast of at least 3:1), whatever colour the row has, the plot's own included.
    scope->State().rowcolors[4] = kPlotBackground;
    scope->State().rowcolors[5] = 0x808080;
    Click(Teach().buttonApplyFromAll);
    for (int n = 0; n < 3 * kTeachRows; ++n) {
        auto* circle = dynamic_cast<OutlinedEllipse*>(plane->item(n + 1));
        ASSERT_NE(circle, nullptr);
        const QRgb line = circle->pen().color().rgb() & 0xFFFFFFu;
        const QRgb rim = circle->RimPen().color().rgb() & 0xFFFFFFu;
        EXPECT_GE(
            std::max(ContrastRatio(line, kPlotBackground), ContrastRatio(rim, kPlotBackground)),
            3.0)
            << "row " << n / 3;
        EXPECT_GE(ContrastRatio(line, rim), 3.0) << "row " << n / 3;
        EXPECT_GT(circle->RimPen().widthF(), circle->pen().widthF());
    }
    ExpectRoundCircles(plane, "X/Y");

    // In s/i there is no border line.
    Controls().ParaVis();
    Choose(Controls().editCalcmode, 1);
    Controls().ParaInVis();
    Click(Teach().buttonApplyFromAll);
    EXPECT_EQ(plane->graphCount(), 0);
    EXPECT_EQ(plane->PlotCount(), 3 * kTeachRows);
    ExpectRoundCircles(plane, "s/i");
    window.Expect("on the teach page, in s/i");
}

TEST_F(TeachOperationsTest, AutoAdjustGrowsTheActiveCirclesThenZoomsUntilALeftClick) {
    SetTableRow(0, {1000, 1000, 7, 500, 20});
    SetTableRow(1, {1100, 1000, 7, 510, 20});
    SetTableRow(2, {1000, 1000, 33, 500, 20});
    Controls().ParaVis();
    Enter(Controls().editMaxcolNo, 2);
    Controls().ParaInVis();
    popups.Clear();

    bool checked = false;
    RunLoop(Teach().buttonAutoAdjust, [&] {
        if (scope->State().flags.poll != 1 || Sensor().RequestCount() < 2) return false;
        // AUTO ADJUST leaves the command buttons as they are.
        EXPECT_TRUE(Main().buttonSend->isEnabled());
        EXPECT_TRUE(scope->Live().ZoomGraphInFront());
        const LiveValues& live = scope->State().live;
        const ZoomWindow w =
            ZoomWindowFor(ZoomBoxOfTable(scope->State().params.ctt), live.dataX, live.dataY);
        GraphControl* zoom = Main().graphData2;
        EXPECT_EQ(zoom->RequestedXRange(), QCPRange(w.xMin, w.xMax));
        EXPECT_EQ(zoom->RequestedYRange(), QCPRange(w.yMin, w.yMax));
        ExpectRoundCircles(zoom, "zooming");
        EXPECT_EQ(zoom->CursorPosition(), QPointF(live.dataX, live.dataY));
        EXPECT_EQ(zoom->PlotCount(), 3 * kTeachRows);
        EXPECT_EQ(Main().dispX->text(), QString::number(live.dataX));
        checked = true;
        const QPointF centre = zoom->axisRect()->rect().center();
        MouseOnZoomGraph(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        MouseOnZoomGraph(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
        return true;
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(scope->Live().ZoomGraphInFront()) << "a left click freezes the zoom graph";
    EXPECT_EQ(Table()->Value(0, 2), 50);
    EXPECT_EQ(Table()->Value(1, 2), 50);
    EXPECT_EQ(Table()->Value(2, 2), 33) << "inactive rows keep their radius";
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
}

TEST_F(TeachOperationsTest, ZoomDimsTheCommandsAndARightClickClosesIt) {
    bool dimmed = false;
    RunLoop(Teach().buttonZoom, [&] {
        if (scope->State().flags.poll != 1 || Sensor().RequestCount() < 2) return false;
        dimmed = !Main().buttonSend->isEnabled() && !Main().buttonGo->isEnabled() &&
                 !Teach().buttonZoom->isEnabled() && Main().buttonStop->isEnabled();
        const QPointF centre = Main().graphData2->axisRect()->rect().center();
        MouseOnZoomGraph(QEvent::MouseButtonPress, centre, Qt::RightButton, Qt::RightButton);
        return true;
    });
    EXPECT_TRUE(dimmed);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_FALSE(scope->Live().ZoomGraphInFront());
    EXPECT_TRUE(Teach().buttonZoom->isEnabled());
    EXPECT_TRUE(Main().buttonSend->isEnabled());
}

TEST_F(TeachOperationsTest, TheFrozenZoomCursorCanBeReadAndTaught) {
    // STOP ends the zoom like a click does.
    RunLoop(Teach().buttonZoom, [&] {
        if (Sensor().RequestCount() < 2) return false;
        Click(Main().buttonStop);
        return true;
    });
    GraphControl* zoom = Main().graphData2;
    ASSERT_TRUE(scope->Live().ZoomGraphInFront());
    zoom->SetAxisRanges(0, 4000, 0, 4000);
    zoom->replot();
    MouseOnZoomGraph(QEvent::MouseButtonPress, PixelOf(zoom, 1000, 1000), Qt::LeftButton,
                     Qt::LeftButton);
    const QPointF target = PixelOf(zoom, 1234.7, 99.2);
    MouseOnZoomGraph(QEvent::MouseMove, target, Qt::NoButton, Qt::LeftButton);
    MouseOnZoomGraph(QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    const QPointF cursor = zoom->CursorPosition();
    EXPECT_NEAR(cursor.x(), 1234.7, 15);
    EXPECT_EQ(Main().dispX->text(), QString::number(static_cast<int>(cursor.x())));
    EXPECT_EQ(Main().dispY->text(), QString::number(static_cast<int>(cursor.y())));

    Enter(Controls().editNo, 0);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Table()->Value(0, 0), static_cast<int>(cursor.x()));
    EXPECT_EQ(Table()->Value(0, 1), static_cast<int>(cursor.y()));
    EXPECT_FALSE(scope->Live().ZoomGraphInFront()) << "teaching hides the zoom graph";

    // Left of the origin the display shows 0, not a wrapped number.
    scope->Teach().CBF_GraphData2CursorMoved(QPointF(-12.5, 3.9));
    EXPECT_EQ(Main().dispX->text(), "0");
    EXPECT_EQ(Main().dispY->text(), "3");
}

TEST_F(TeachOperationsTest, ASilentSensorEndsTheZoomWithOneReport) {
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    Sensor().AddFault(silent);
    popups.Clear();
    RunLoop(Teach().buttonZoom, [] { return true; });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.Texts().value(0), QString::fromUtf8(info::InfoTimeoutVer));
    EXPECT_TRUE(scope->Live().ZoomGraphInFront()) << "the graph stays in front";
    EXPECT_TRUE(Teach().buttonZoom->isEnabled());
}

TEST_F(TeachOperationsTest, RightClickShowsTheHelpOfEveryTeachButton) {
    using namespace info;
    ExpectHelp(Teach().buttonResetTable, InfoButtonResetTable);
    ExpectHelp(Teach().buttonApplyFromAll, InfoButtonApplyFromAll);
    ExpectHelp(Teach().buttonAutoAdjust, InfoButtonAutoAdjust);
    ExpectHelp(Teach().buttonZoom, InfoButtonZoom);
    ExpectHelp(Controls().buttonTeachDataTo, InfoButtonTeachDataTo);
}

}  // namespace
}  // namespace tvx
