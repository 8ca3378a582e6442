// The teach page in the running scope: the teach table and its buttons, the colour plane and the
// zoom graph, the mean-value teach panel and the row colours with their files.
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
    void ClickZoomGraph(QPointF at, Qt::MouseButton button) {
        MouseOnZoomGraph(QEvent::MouseButtonPress, at, button, button);
        MouseOnZoomGraph(QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
    QPointF PixelOf(GraphControl* graph, double x, double y) {
        return {graph->xAxis->coordToPixel(x), graph->yAxis->coordToPixel(y)};
    }
    void OpenMeanTeachStopped() {
        RunLoop(scope->MeanTeach().buttonTeachMeanVal, [&] {
            Click(Main().buttonStop);
            return true;
        });
        ASSERT_TRUE(Tp().isVisible());
    }
    void CaptureAt(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
        scope->State().live.dataX = x;
        scope->State().live.dataY = y;
        scope->State().live.dataINT = intensity;
        Click(Tp().buttonTpCapture);
    }
    void OpenRowColours() {
        Click(scope->RowColourOps().buttonColor);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Src()));
    }
    QString File(const char* name) const { return programDir.filePath(QString::fromLatin1(name)); }
};

// TEACH DATA TO writes the shown X, Y, INT into the row of "No." (ITO 20 in PMOD DYN) and steps
// "No." on with auto increment, up to 14; the row takes the patch's colour when the row colours
// come from the measurement. RESET TABLE sets every value to 1 and keeps colours and groups.
TEST_F(TeachTest, TeachDataToAndResetTableWriteTheTableOnly) {
    const auto cttBefore = scope->State().params.ctt;
    ShowFrame(1234, 2345, 3456);
    Enter(Controls().editNo, 3);
    Click(Controls().radioInc);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(TableRow(3), (Row{1234, 2345, 100, 3456, 100}));
    EXPECT_EQ(Controls().editNo->value(), 4);
    EXPECT_FALSE(Table()->RowColour(3).isValid());
    Controls().ParaVis();
    Choose(Controls().editPmode, 1);
    Controls().ParaInVis();
    ShowFrame(10, 20, 30);
    Enter(Controls().editNo, 14);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(TableRow(14), (Row{10, 20, 100, 30, 20}));
    EXPECT_EQ(Controls().editNo->value(), 14);

    OpenRowColours();
    Click(Src().switchSetColor);
    EXPECT_FALSE(Src().editRow->isEnabled() || Src().editColour->isEnabled() ||
                 Src().buttonSetRowColor->isEnabled());
    EXPECT_TRUE(Main().colourPatch->isVisible());
    scope->State().live.dataR = 0;
    scope->State().live.dataG = 4095;
    scope->State().live.dataB = 800;
    scope->Live().SetPanelData();
    Click(Controls().radioInc);
    Enter(Controls().editNo, 2);
    Click(Controls().buttonTeachDataTo);
    EXPECT_EQ(Controls().editNo->value(), 2);
    EXPECT_EQ(Table()->RowColour(2), QColor(0x00FF32));
    EXPECT_EQ(scope->State().rowcolors[2], 0x00FF32);
    EXPECT_EQ(scope->State().params.ctt, cttBefore) << "the parameter set waits for a send";
    Click(Src().switchSetColor);
    EXPECT_TRUE(Src().buttonSetRowColor->isEnabled());
    EXPECT_FALSE(Main().colourPatch->isVisible());

    Table()->SetRowColour(5, QColor(0x123456));
    scope->ColourGroups().SetGroup(4, 7);
    Click(Teach().buttonResetTable);
    for (int r = 0; r < kTeachRows; ++r) EXPECT_EQ(TableRow(r), (Row{1, 1, 1, 1, 1})) << r;
    EXPECT_EQ(Controls().editNo->value(), 0);
    EXPECT_EQ(Table()->RowColour(5), QColor(0x123456));
    EXPECT_EQ(scope->ColourGroups().Group(4), 7);
    EXPECT_EQ(scope->State().params.ctt, cttBefore);
}

TEST_F(TeachTest, ApplyFromAllDrawsEveryRowsCircleInItsColour) {
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
    EXPECT_EQ(ellipse(0)->brush().style(), Qt::NoBrush);

    // Every circle stands out from the plot by its line or its rim (3:1), whatever the row's
    // colour, the plot's own included.
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

    Controls().ParaVis();
    Choose(Controls().editCalcmode, 1);
    Controls().ParaInVis();
    Click(Teach().buttonApplyFromAll);
    EXPECT_EQ(plane->graphCount(), 0) << "no border line in s/i";
    EXPECT_EQ(plane->PlotCount(), 3 * kTeachRows);
    ExpectRoundCircles(plane, "s/i");
    window.Expect("on the teach page, in s/i");
}

// AUTO ADJUST grows the active rows' circles to 50, then zooms on the measurement (commands not
// dimmed) until a left click freezes the zoom graph.
TEST_F(TeachTest, AutoAdjustGrowsTheActiveCirclesThenZoomsUntilALeftClick) {
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
        ClickZoomGraph(zoom->axisRect()->rect().center(), Qt::LeftButton);
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

// ZOOM dims the commands until a right click closes it; after STOP the frozen cursor can be moved
// by the mouse, read on the displays and taught.
TEST_F(TeachTest, ZoomEndsByRightClickOrStopAndItsFrozenCursorCanBeTaught) {
    bool dimmed = false;
    RunLoop(Teach().buttonZoom, [&] {
        if (scope->State().flags.poll != 1 || Sensor().RequestCount() < 2) return false;
        dimmed = !Main().buttonSend->isEnabled() && !Main().buttonGo->isEnabled() &&
                 !Teach().buttonZoom->isEnabled() && Main().buttonStop->isEnabled();
        MouseOnZoomGraph(QEvent::MouseButtonPress, Main().graphData2->axisRect()->rect().center(),
                         Qt::RightButton, Qt::RightButton);
        return true;
    });
    EXPECT_TRUE(dimmed);
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_FALSE(scope->Live().ZoomGraphInFront());
    EXPECT_TRUE(Teach().buttonZoom->isEnabled() && Main().buttonSend->isEnabled());

    Sensor().ClearRequests();
    RunUntilStop(Teach().buttonZoom);
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
    Teach().CBF_GraphData2CursorMoved(QPointF(-12.5, 3.9));
    EXPECT_EQ(Main().dispX->text(), "0");
    EXPECT_EQ(Main().dispY->text(), "3");
}

// TEACH MEAN VALUE opens its panel and starts the live loop (none when one runs); CAPTURE takes
// the loop's last frame.
TEST_F(TeachTest, MeanTeachCapturesTheFramesOfTheLiveLoop) {
    int captures = 0;
    RunLoop(scope->MeanTeach().buttonTeachMeanVal, [&] {
        if (Sensor().RequestCount() < 2) return false;
        EXPECT_TRUE(Tp().isVisible());
        Click(Tp().buttonTpCapture);
        if (++captures < 3) return false;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_EQ(Counter(), 3);
    const LiveValues& live = scope->State().live;
    const CapturedFrame last = {live.dataR, live.dataG, live.dataB,
                                live.dataX, live.dataY, live.dataINT};
    for (int c = 0; c < kCaptureColumns; ++c) {
        EXPECT_EQ(Tp().gridTpValues->Value(2, c), last[static_cast<std::size_t>(c)]) << c;
        EXPECT_EQ(Tp().gridTpMean->Value(0, c), last[static_cast<std::size_t>(c)]) << c;
    }
    EXPECT_EQ(Tp().gridTpValues->currentRow(), 2);
    EXPECT_EQ(Main().graphData1->PlotCount(), 1) << "the loop drew the colour plane's border";

    Click(Tp().buttonTpClose);
    EXPECT_FALSE(Tp().isVisible());
    bool returnedAtOnce = false;
    Sensor().ClearRequests();
    RunLoop(Main().buttonGo, [&] {
        if (Sensor().RequestCount() < 2) return false;
        const std::size_t before = Sensor().RequestCount();
        Click(scope->MeanTeach().buttonTeachMeanVal);
        returnedAtOnce = Tp().isVisible() && scope->State().flags.poll == 1 &&
                         Sensor().RequestCount() <= before + 1;
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(returnedAtOnce);
    EXPECT_EQ(Counter(), 3) << "hiding keeps the captured frames";
}

TEST_F(TeachTest, MeanTeachMeansDeviationsUndoAndTheHundredthRow) {
    OpenMeanTeachStopped();
    CaptureAt(100, 1000, 500);
    CaptureAt(101, 1000, 520);
    CaptureAt(101, 1000, 540);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 100) << "302 / 3 truncated";
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnInt), 520);
    EXPECT_EQ(Tp().dispTpMaxDeltaInt->text(), "20");
    ASSERT_TRUE(EditCell(Tp().gridTpValues, 0, kCaptureColumnX, 700));
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 300) << "an edit recomputes at once";
    EXPECT_EQ(Tp().dispMaxDeltaXY->text(), "400");

    // Undo after 7 captures: 6 left, row 7 cleared, row 1 active; after 10: 9 left, row 4 active.
    Click(Tp().buttonTpResetTable);
    for (int i = 0; i < 7; ++i) CaptureAt(1000 + i, 1000, 500);
    Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 6);
    EXPECT_EQ(Tp().gridTpValues->Value(6, kCaptureColumnX), 0);
    EXPECT_EQ(Tp().gridTpValues->Value(5, kCaptureColumnX), 1005);
    EXPECT_EQ(Tp().gridTpValues->currentRow(), 0);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 1002);
    for (int i = 0; i < 4; ++i) CaptureAt(2000, 1000, 500);
    Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 9);
    EXPECT_EQ(Tp().gridTpValues->currentRow(), 3);
    for (int i = 0; i < 10; ++i) Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 0);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 0);
    EXPECT_EQ(Tp().dispMaxDeltaXY->text(), "0");
    EXPECT_NE(scope->MeanTeach().meanx, 0) << "the means kept";

    // The 101st capture stays at 100 and replaces row 100.
    for (int i = 0; i < 100; ++i) CaptureAt(1, 1, 1);
    CaptureAt(9, 9, 9);
    EXPECT_EQ(Counter(), 100);
    EXPECT_EQ(Tp().gridTpValues->Value(99, kCaptureColumnX), 9);
    EXPECT_EQ(Tp().gridTpValues->Value(98, kCaptureColumnX), 1);
    Click(Tp().buttonTpResetTable);
    EXPECT_EQ(Counter(), 0);
    EXPECT_EQ(Tp().gridTpValues->Value(99, kCaptureColumnX), 0);
}

TEST_F(TeachTest, MeanTeachToTableWritesTheMeanWithTheChosenTolerances) {
    OpenMeanTeachStopped();
    CaptureAt(1000, 1000, 500);
    CaptureAt(1000, 1000, 500);
    CaptureAt(1018, 1000, 530);  // means 1006 / 510, deltas 12 / 20
    for (int c = 0; c < kTeachColumns; ++c) Table()->SetValue(4, c, 77);
    const auto cttBefore = scope->State().params.ctt;
    const int mainRowNumber = Controls().editNo->value();
    Enter(Tp().editTpRowNo, 4);
    Choose(Tp().editTpTeachCtoWith, 2);
    Enter(Tp().editTpValueCto, 30);
    Choose(Tp().editTpTeachItoWith, 3);
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(TableRow(4), (Row{1006, 1000, 42, 510, 77})) << "ITO: NO CHANGE";
    EXPECT_EQ(Controls().editNo->value(), mainRowNumber);
    EXPECT_EQ(scope->State().params.ctt, cttBefore);
    Choose(Tp().editTpTeachCtoWith, 3);
    Choose(Tp().editTpTeachItoWith, 1);
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(TableRow(4), (Row{1006, 1000, 42, 510, 20}));

    // Evaluation mode 2 teaches CTO 40 and dims the CTO choice when the panel opens; s/i
    // relabels the panel.
    Controls().ParaVis();
    Choose(Controls().editEvalmode, 2);
    Choose(Controls().editCalcmode, 1);
    Controls().ParaInVis();
    OpenMeanTeachStopped();
    EXPECT_FALSE(Tp().editTpTeachCtoWith->isEnabled() || Tp().editTpValueCto->isEnabled());
    EXPECT_TRUE(Tp().editTpTeachItoWith->isEnabled());
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(Table()->Value(4, 2), 40);
    EXPECT_EQ(Tp().gridTpMean->horizontalHeaderItem(5)->text(), "M");
    EXPECT_EQ(Tp().labelMaxDeltaXY->text(), "MAX DELTA s/i");
    EXPECT_EQ(Tp().labelTeachCtoWith->text(), "TEACH siTO WITH");
    EXPECT_EQ(Tp().editTpTeachItoWith->itemText(2), "MAX DELTA+VALUE MTO");
}

// SET ROW COLOR paints the cell and the row's next circle; a field without a colour changes
// nothing and says why.
TEST_F(TeachTest, SetRowColorPaintsTheCellAndTheNextCircle) {
    EXPECT_EQ(scope->State().rowcolors, DefaultRowColours());
    OpenRowColours();
    Enter(Src().editRow, 14);
    Src().editColour->setText(QStringLiteral("12AB34"));
    Click(Src().buttonSetRowColor);
    EXPECT_EQ(Table()->RowColour(14), QColor(0x12AB34));
    EXPECT_FALSE(Table()->RowColour(13).isValid());
    Click(Teach().buttonApplyFromAll);
    const auto* circle = qobject_cast<QCPItemEllipse*>(Main().graphData1->item(1 + 3 * 14));
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(circle->pen().color(), QColor(0x12AB34));
    popups.Clear();
    Src().editColour->clear();
    Click(Src().buttonSetRowColor);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(scope->State().rowcolors[14], 0x12AB34);
}

TEST_F(TeachTest, RowColoursAreSavedLoadedAndLoadedAgainAtTheNextStart) {
    OpenRowColours();
    scope->State().rowcolors[0] = 0x010203;
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonSaveArray);
    const auto request = popups.Records().back().request;
    EXPECT_EQ(request.defaultFileName, "ColorArray.car");
    EXPECT_EQ(request.fileTypeList, "*.car");
    EXPECT_EQ(request.title, "ColorArray");
    EXPECT_EQ(request.startDirectory, programDir.path());
    EXPECT_TRUE(request.forSaving);
    scope->State().rowcolors = DefaultRowColours();
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonGetArray);
    EXPECT_EQ(Table()->RowColour(0), QColor(0x010203));
    EXPECT_EQ(Table()->RowColour(1), QColor(0x80FF00));
    // Cancelled: the array stays, the cells are painted from it all the same.
    scope->State().rowcolors[5] = 0x0000AA;
    popups.QueueFileCancel();
    Click(Src().buttonGetArray);
    EXPECT_EQ(Table()->RowColour(5), QColor(0x0000AA));
    // A file that is not a colour array is reported; the colours it could not give stay.
    QFile bad(File("bad.car"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("7\nred\n");
    bad.close();
    popups.Clear();
    popups.QueueFileSelection(File("bad.car"));
    Click(Src().buttonGetArray);
    EXPECT_EQ(popups.Count(PopupKind::Message), 1);
    EXPECT_EQ(popups.Titles().last(), QString::fromLatin1(kFileErrorTitle));
    EXPECT_EQ(scope->State().rowcolors[0], 7);
    EXPECT_EQ(scope->State().rowcolors[5], 0x0000AA);

    RowColours colours = DefaultRowColours();
    colours[0] = 0x111111;
    colours[14] = 0xEEEEEE;
    ASSERT_TRUE(WriteColourArrayFile(File("startup.car"), colours).ok);
    popups.Clear();
    popups.QueueFileSelection(File("startup.car"));
    Click(Src().buttonSetStartupArray);
    EXPECT_EQ(popups.Titles().last(), "Startup File is:");
    EXPECT_EQ(popups.Texts().last(), File("startup.car"));
    EXPECT_EQ(QFile(File("StartupPath.sup")).size(), 260);
    EXPECT_EQ(scope->State().rowcolors[14], DefaultRowColours()[14]) << "nothing loaded now";
    auto restart = [this] {
        StopScope();
        popups.Clear();
        StartScope();
        Controls().ParaInVis();
    };
    restart();
    EXPECT_EQ(scope->State().rowcolors, colours);
    EXPECT_EQ(Table()->RowColour(14), QColor(0xEEEEEE));
    // The named file gone: silently the built-in colours, nothing painted.
    ASSERT_TRUE(QFile::remove(File("startup.car")));
    restart();
    EXPECT_EQ(scope->State().rowcolors, DefaultRowColours());
    EXPECT_FALSE(Table()->RowColour(0).isValid());
    // A cancelled SET STARTUP keeps the pointer file.
    popups.QueueFileCancel();
    OpenRowColours();
    Click(Src().buttonSetStartupArray);
    EXPECT_EQ(QFile(File("StartupPath.sup")).size(), 260);
}

}  // namespace
}  // namespace tvx
