// The teach page, the mean-value teach panel and the row colours in the running scope.
#include <gtest/gtest.h>

#include <QFile>
#include <QMouseEvent>

#include "colour_array_file.h"
#include "display_checks.h"
#include "help.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

using Row = std::array<std::uint16_t, kTeachColumns>;

class TeachTest : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        Controls().ParaInVis();
        Sensor().ClearRequests();
    }
    TeachOperations& Teach() { return scope->Teach(); }
    WordTable* Table() { return Controls().gridTeach; }
    MeanTeachPanel& Tp() { return scope->MeanValueTeach(); }
    RowColourPanel& Src() { return scope->RowColours(); }
    int Counter() { return Tp().dispTpCounter->text().toInt(); }
    Row TableRow(int row) {
        Row values{};
        for (int c = 0; c < kTeachColumns; ++c) values[std::size_t(c)] = Table()->Value(row, c);
        return values;
    }
    void SetTableRow(int row, const Row& values) {
        for (int c = 0; c < kTeachColumns; ++c) Table()->SetValue(row, c, values[std::size_t(c)]);
    }
    void ShowFrame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
        scope->State().live.dataX = x;
        scope->State().live.dataY = y;
        scope->State().live.dataINT = intensity;
        scope->Live().SetPanelData();
    }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        GraphControl* graph = Main().graphData2;
        QMouseEvent event(type, at, graph->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(graph, &event);
    }
    void RunUntil(QAbstractButton* button, const std::function<void()>& end) {
        RunLoop(button, [&] {
            if (scope->State().flags.poll != 1 || Sensor().RequestCount() < 2) return false;
            end();
            return true;
        });
    }
    void OpenMeanTeachStopped() {
        RunLoop(scope->MeanTeach().buttonTeachMeanVal, [&] {
            Click(Main().buttonStop);
            return true;
        });
    }
    void CaptureAt(std::uint16_t x, std::uint16_t intensity) {
        scope->State().live.dataX = x;
        scope->State().live.dataY = 1000;
        scope->State().live.dataINT = intensity;
        Click(Tp().buttonTpCapture);
    }
    QString File(const char* name) const { return programDir.filePath(QString::fromLatin1(name)); }
};

TEST_F(TeachTest, TeachDataToAndResetTableWriteTheTableOnly) {
    const auto cttBefore = scope->State().params.ctt;
    Controls().ParaVis();
    Choose(Controls().editPmode, 1);
    Controls().ParaInVis();
    Click(Controls().radioInc);
    for (int no : {13, 14}) {
        ShowFrame(1234, 2345, 3456);
        Enter(Controls().editNo, no);
        Click(Controls().buttonTeachDataTo);
        EXPECT_EQ(TableRow(no), (Row{1234, 2345, 100, 3456, 20}));
        EXPECT_EQ(Controls().editNo->value(), 14);
    }
    Click(scope->RowColourOps().buttonColor);
    Click(Src().switchSetColor);
    EXPECT_FALSE(Src().editRow->isEnabled() || Src().buttonSetRowColor->isEnabled());
    scope->State().live.dataR = 0;
    scope->State().live.dataG = 4095;
    scope->State().live.dataB = 800;
    ShowFrame(0, 0, 0);
    Enter(Controls().editNo, 2);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Table()->RowColour(2), QColor(0x00FF32));
    Click(Teach().buttonResetTable);
    for (int r = 0; r < kTeachRows; ++r) EXPECT_EQ(TableRow(r), (Row{1, 1, 1, 1, 1})) << r;
    EXPECT_EQ(Table()->RowColour(2), QColor(0x00FF32));
    EXPECT_EQ(scope->State().params.ctt, cttBefore);
}

TEST_F(TeachTest, ApplyFromAllDrawsEveryRowsCircleInItsColour) {
    SetTableRow(0, {1000, 2000, 50, 300, 20});
    SetTableRow(1, {3000, 500, 120, 300, 20});
    scope->State().rowcolors[4] = kPlotBackground;
    scope->State().rowcolors[5] = 0x808080;
    scope->State().flags.poll = 1;  // as if a loop ran
    Click(Teach().buttonApplyFromAll);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(scope->State().params.ctt[1][2], 120) << "the table was read";
    GraphControl* plane = Main().graphData1;
    const int numbers = ExpectNumberedCircles(plane, scope->State().params.ctt, "colour plane");
    ASSERT_EQ(plane->PlotCount(), 1 + 3 * kTeachRows + numbers) << "circles, numbers, X/Y border";
    for (int n = 0; n < 3 * kTeachRows; ++n) {
        auto* circle = dynamic_cast<OutlinedEllipse*>(plane->item(n + 1));  // the cursor first
        ASSERT_NE(circle, nullptr);
        const QRgb line = circle->pen().color().rgb() & 0xFFFFFFu;
        const QRgb rim = circle->RimPen().color().rgb() & 0xFFFFFFu;
        EXPECT_GE(
            std::max(ContrastRatio(line, kPlotBackground), ContrastRatio(rim, kPlotBackground)),
            3.0)
            << n;
        EXPECT_GE(ContrastRatio(line, rim), 3.0) << n;
    }
    auto* first = qobject_cast<QCPItemEllipse*>(plane->item(1));
    EXPECT_EQ(first->topLeft->coords(), QPointF(950, 2050));
    EXPECT_EQ(first->pen().color(), QColor(0xFF0000));
    ExpectRoundCircles(plane, "X/Y");
    Controls().ParaVis();
    Choose(Controls().editCalcmode, 1);
    Controls().ParaInVis();
    Click(Teach().buttonApplyFromAll);
    EXPECT_EQ(plane->PlotCount(), 3 * kTeachRows + numbers) << "no border in s/i";
}

TEST_F(TeachTest, AutoAdjustGrowsTheActiveCirclesThenZoomsUntilALeftClick) {
    SetTableRow(0, {1000, 1000, 7, 500, 20});
    SetTableRow(1, {1100, 1000, 7, 510, 20});
    SetTableRow(2, {1000, 1000, 33, 500, 20});
    Controls().ParaVis();
    Enter(Controls().editMaxcolNo, 2);
    Controls().ParaInVis();
    GraphControl* zoom = Main().graphData2;
    RunUntil(Teach().buttonAutoAdjust, [&] {
        EXPECT_TRUE(Main().buttonSend->isEnabled() && scope->Live().ZoomGraphInFront());
        const LiveValues& live = scope->State().live;
        const ZoomWindow w =
            ZoomWindowFor(ZoomBoxOfTable(scope->State().params.ctt), live.dataX, live.dataY);
        EXPECT_EQ(zoom->RequestedXRange(), QCPRange(w.xMin, w.xMax));
        EXPECT_EQ(zoom->RequestedYRange(), QCPRange(w.yMin, w.yMax));
        ExpectRoundCircles(zoom, "zooming");
        ExpectNumberedCircles(zoom, scope->State().params.ctt, "zooming");
        const QPointF centre = zoom->axisRect()->rect().center();
        Mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(scope->Live().ZoomGraphInFront()) << "a left click freezes the zoom graph";
    EXPECT_EQ(Table()->Value(0, 2), 50);
    EXPECT_EQ(Table()->Value(2, 2), 33) << "inactive rows keep their radius";
    EXPECT_EQ(Teach().dispCrowdedRows->text(),
              "AUTO ADJUST: less than 20 % margin to a neighbour: row 0 (by 1), row 1 (by 0).");
    EXPECT_TRUE(Teach().dispCrowdedRows->isVisible());
    EXPECT_EQ(popups.Count(), 0) << "named beside the zoom, not in a box";
}

TEST_F(TeachTest, ZoomEndsByRightClickOrStopAndItsFrozenCursorCanBeTaught) {
    GraphControl* zoom = Main().graphData2;
    bool dimmed = false;
    RunUntil(Teach().buttonZoom, [&] {
        dimmed = !Main().buttonSend->isEnabled() && !Teach().buttonZoom->isEnabled();
        Mouse(QEvent::MouseButtonPress, zoom->axisRect()->rect().center(), Qt::RightButton,
              Qt::RightButton);
    });
    EXPECT_TRUE(dimmed);
    EXPECT_FALSE(scope->Live().ZoomGraphInFront());
    Sensor().ClearRequests();
    RunUntil(Teach().buttonZoom, [&] { Click(Main().buttonStop); });
    ASSERT_TRUE(scope->Live().ZoomGraphInFront());
    zoom->SetAxisRanges(0, 4000, 0, 4000);
    zoom->replot();
    auto pixel = [zoom](double x, double y) {
        return QPointF(zoom->xAxis->coordToPixel(x), zoom->yAxis->coordToPixel(y));
    };
    const QPointF target = pixel(1234.7, 99.2);
    Mouse(QEvent::MouseButtonPress, pixel(1000, 1000), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, target, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
    const QPoint cursor = zoom->CursorPosition().toPoint();
    EXPECT_NEAR(cursor.x(), 1234.7, 15);
    EXPECT_FALSE(zoom->CursorLive()) << "a dragged cursor is no measurement";
    EXPECT_TRUE(ShownAsCursorReadout(Main().dispX) && ShownAsCursorReadout(Main().dispY));
    EXPECT_EQ(Main().stateLine->activity->text(), "ZOOM: X/Y show the cursor");
    Enter(Controls().editNo, 0);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Table()->Value(0, 0), Main().dispX->text().toInt());
    EXPECT_EQ(Table()->Value(0, 1), Main().dispY->text().toInt());
    EXPECT_LE(std::abs(Table()->Value(0, 0) - cursor.x()), 1);
    EXPECT_FALSE(scope->Live().ZoomGraphInFront()) << "teaching hides the zoom graph";
    Teach().CBF_GraphData2CursorMoved(QPointF(-12.5, 3.9));
    EXPECT_EQ(Main().dispX->text(), "0");
    EXPECT_EQ(Main().dispY->text(), "3");
}

TEST_F(TeachTest, MeanTeachComputesMeansAndTeachesThemToTheTable) {
    OpenMeanTeachStopped();
    CaptureAt(100, 500);
    CaptureAt(101, 520);
    CaptureAt(101, 540);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 100) << "302 / 3 truncated";
    ASSERT_TRUE(EditCell(Tp().gridTpValues, 0, kCaptureColumnX, 700));
    EXPECT_EQ(Tp().dispMaxDeltaXY->text(), "400") << "an edit recomputes at once";
    for (int i = 0; i < 7; ++i) CaptureAt(1000 + i, 500);
    Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 9);
    EXPECT_EQ(Tp().gridTpValues->currentRow(), 3);
    for (int i = 0; i < 10; ++i) Click(Tp().buttonTpUndo);
    for (int i = 0; i < 101; ++i) CaptureAt(i == 100 ? 9 : 1, 1);
    EXPECT_EQ(Counter(), 100);
    EXPECT_EQ(Tp().gridTpValues->Value(99, kCaptureColumnX), 9);
    Click(Tp().buttonTpResetTable);
    EXPECT_EQ(Counter(), 0);

    CaptureAt(1000, 500);
    CaptureAt(1000, 500);
    CaptureAt(1018, 530);  // means 1006 / 510, deltas 12 / 20
    SetTableRow(4, {77, 77, 77, 77, 77});
    Enter(Tp().editTpRowNo, 4);
    Choose(Tp().editTpTeachCtoWith, 2);
    Enter(Tp().editTpValueCto, 30);
    Choose(Tp().editTpTeachItoWith, 3);
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(TableRow(4), (Row{1006, 1000, 42, 510, 77})) << "ITO: NO CHANGE";
    Controls().ParaVis();
    Choose(Controls().editEvalmode, 2);
    Controls().ParaInVis();
    OpenMeanTeachStopped();
    EXPECT_FALSE(Tp().editTpTeachCtoWith->isEnabled() || Tp().editTpValueCto->isEnabled());
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(Table()->Value(4, 2), 40);
}

TEST_F(TeachTest, MeanTeachShowsTheWorstMarginAndCpuTheTeachWouldLeave) {
    OpenMeanTeachStopped();
    Enter(Tp().editTpValueCto, 30);
    Enter(Tp().editTpValueIto, 100);
    EXPECT_EQ(Tp().dispTpCpu->text(), "no frames");
    CaptureAt(1000, 500);
    EXPECT_EQ(Tp().dispTpCpu->text(), "too few frames");
    CaptureAt(1000, 500);
    EXPECT_EQ(Tp().dispTpCpu->text(), "no spread");
    // Means 1006 / 1000 / 510: distances 6, 6, 12 (mean 8, s = 3.46), INT off by 10, 10, 20.
    CaptureAt(1018, 530);
    struct Case {
        int ctoWith, ito;
        const char* worst;
        const char* cpu;
    };
    const Case cases[] = {
        {0, 100, "60 %", "2.12"},   // CTO 30: 12 / 30 is the worst
        {1, 100, "0 %", "0.38"},    // CTO = MAX DELTA 12: the farthest frame on the edge
        {0, 10, "-100 %", "2.12"},  // ITO 10: 20 off is twice out
    };
    for (const Case& c : cases) {
        Choose(Tp().editTpTeachCtoWith, c.ctoWith);
        Enter(Tp().editTpValueIto, c.ito);
        EXPECT_EQ(Tp().dispTpWorstMargin->text(), c.worst) << c.ctoWith << " " << c.ito;
        EXPECT_EQ(Tp().dispTpCpu->text(), c.cpu) << c.ctoWith << " " << c.ito;
    }
    Click(Tp().buttonTpUndo);
    EXPECT_EQ(Tp().dispTpWorstMargin->text(), "100 %") << "the two frames on the mean";
    EXPECT_EQ(Tp().dispTpCpu->text(), "no spread");
}

TEST_F(TeachTest, RowColoursAreSetSavedLoadedAndLoadedAgainAtTheNextStart) {
    Click(scope->RowColourOps().buttonColor);
    Enter(Src().editRow, 14);
    Src().editColour->setText(QStringLiteral("12AB34"));
    Click(Src().buttonSetRowColor);
    Click(Teach().buttonApplyFromAll);
    const auto* circle = qobject_cast<QCPItemEllipse*>(Main().graphData1->item(1 + 3 * 14));
    EXPECT_EQ(circle->pen().color(), QColor(0x12AB34));
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonSaveArray);
    scope->State().rowcolors = DefaultRowColours();
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonGetArray);
    EXPECT_EQ(Table()->RowColour(14), QColor(0x12AB34));

    RowColours colours = DefaultRowColours();
    colours[14] = 0xEEEEEE;
    ASSERT_TRUE(WriteColourArrayFile(File("startup.car"), colours).ok);
    popups.QueueFileSelection(File("startup.car"));
    Click(Src().buttonSetStartupArray);
    EXPECT_EQ(popups.LastText(), File("startup.car"));
    EXPECT_EQ(scope->State().rowcolors[14], 0x12AB34) << "nothing is loaded now";
    for (const bool gone : {false, true}) {
        ASSERT_TRUE(!gone || QFile::remove(File("startup.car")));
        StopScope();
        popups.Clear();
        StartScope();
        EXPECT_EQ(scope->State().rowcolors, gone ? DefaultRowColours() : colours);
        EXPECT_EQ(Controls().gridTeach->RowColour(14).isValid(), !gone);
    }
}

}  // namespace
}  // namespace tvx
