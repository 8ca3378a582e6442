// The live view on the real main panel, offscreen: what a frame shows, what SOURCE shows, how the
// evaluation and calculation modes change the displays, and the help of every live control.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "display_checks.h"
#include "group_panel.h"
#include "help_check.h"
#include "info_texts.h"
#include "live_display.h"
#include "main_panel.h"
#include "parameter_controls.h"
#include "scope_state.h"
#include "scripted_popups.h"
#include "user_actions.h"

namespace tvx {
namespace {

class LiveDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FillBorderRamps(state.xramp, state.yramp);
        panel = std::make_unique<MainPanel>(QStringLiteral("TRIVEX-Scope V6.1"));
        grouppanel = std::make_unique<GroupPanel>();
        controls = std::make_unique<ParameterControls>(*panel, *grouppanel, state, popups,
                                                       [this] { ++sends; });
        live = std::make_unique<LiveDisplay>(*panel, *controls, state, popups);
        controls->ParaVis();
        live->DispVis();
        panel->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    }

    void ShowFrame(std::uint16_t r, std::uint16_t g, std::uint16_t b, std::uint16_t x,
                   std::uint16_t y, std::uint16_t intensity, std::int32_t colour = 1) {
        state.live.dataR = r;
        state.live.dataG = g;
        state.live.dataB = b;
        state.live.dataX = x;
        state.live.dataY = y;
        state.live.dataINT = intensity;
        state.live.dataCOL = colour;
        live->SetPanelData();
        live->ShowGraph();
    }

    bool Shown(QWidget* w) const { return w->isVisibleTo(panel.get()); }

    std::array<bool, 4> Lamps() const {
        std::array<bool, 4> on{};
        for (std::size_t i = 0; i < on.size(); ++i) on[i] = panel->colourBit[i]->IsOn();
        return on;
    }

    ScopeState state;
    ScriptedPopups popups;
    int sends = 0;
    std::unique_ptr<MainPanel> panel;
    std::unique_ptr<GroupPanel> grouppanel;
    std::unique_ptr<ParameterControls> controls;
    std::unique_ptr<LiveDisplay> live;
};

TEST_F(LiveDisplayTest, SourceShowsItsDisplaysAndGraph) {
    struct Row {
        int source;
        bool rgb, plane, rgbChart, intChart, colourPlane;
    };
    for (const Row& row :
         {Row{1, true, false, true, false, false}, Row{2, false, true, false, true, false},
          Row{0, false, true, false, false, true}}) {
        SCOPED_TRACE(row.source);
        Choose(panel->selectSource, row.source);
        EXPECT_EQ(state.source, row.source);
        EXPECT_EQ(Shown(panel->dispRed), row.rgb);
        EXPECT_EQ(Shown(panel->dispBlue), row.rgb);
        EXPECT_EQ(Shown(panel->dispX), row.plane);
        EXPECT_EQ(Shown(panel->dispINT), row.plane);
        EXPECT_EQ(Shown(panel->graphRGB), row.rgbChart);
        EXPECT_EQ(Shown(panel->graphINT), row.intChart);
        EXPECT_EQ(Shown(panel->graphData1), row.colourPlane);
        // Always there, whatever SOURCE says.
        EXPECT_TRUE(Shown(panel->barRed));
        EXPECT_TRUE(Shown(panel->dispTemp));
        EXPECT_TRUE(Shown(panel->dispStatus));
        EXPECT_TRUE(Shown(panel->colourPatch));
    }

    // A parameter read re-applies the selection the ring holds.
    {
        const QSignalBlocker blocker(panel->selectSource);
        panel->selectSource->setCurrentIndex(panel->selectSource->findData(1));
    }
    EXPECT_FALSE(Shown(panel->graphRGB));
    controls->InitPanelCtrlAttr();
    EXPECT_TRUE(Shown(panel->graphRGB));
    EXPECT_FALSE(Shown(panel->graphData1));
}

TEST_F(LiveDisplayTest, AFrameFillsDisplaysBarsPatchAndHistories) {
    state.live.dataTemp = 31;
    state.live.dataGroup = 2;
    ShowFrame(4095, 0, 160, 1234, 2345, 3456, 7);
    EXPECT_EQ(panel->dispRed->text(), "4095");
    EXPECT_EQ(panel->dispGreen->text(), "0");
    EXPECT_EQ(panel->dispBlue->text(), "160");
    EXPECT_EQ(panel->dispX->text(), "1234");
    EXPECT_EQ(panel->dispY->text(), "2345");
    EXPECT_EQ(panel->dispINT->text(), "3456");
    EXPECT_EQ(panel->dispCOL->text(), "7");
    EXPECT_EQ(panel->dispTemp->text(), "31");
    EXPECT_EQ(panel->dispGroup->text(), "2");
    EXPECT_EQ(panel->barRed->value(), 4095);
    EXPECT_EQ(panel->barGreen->value(), 0);
    EXPECT_EQ(panel->barBlue->value(), 160);
    EXPECT_EQ(state.rgbcolor, 0xFF000Au);
    EXPECT_TRUE(panel->colourPatch->styleSheet().contains("#ff000a"));

    ShowFrame(4095, 4095, 4095, 1, 2, 3);
    EXPECT_EQ(state.rgbcolor, 0xFFFFFFu);
    EXPECT_TRUE(panel->colourPatch->styleSheet().contains("#ffffff"));

    // Both histories fill whatever SOURCE shows; the band is 0 unless SOURCE is the intensity.
    EXPECT_EQ(state.rawbuf[294], 4095);
    EXPECT_EQ(state.rawbuf[296], 160);
    EXPECT_EQ(state.rawbuf[297], 4095);
    EXPECT_EQ(state.intbuf[294], 3456);
    EXPECT_EQ(state.intbuf[297], 3);
    EXPECT_EQ(state.intbuf[298], 0);
    EXPECT_EQ(state.intbuf[299], 0);
}

TEST_F(LiveDisplayTest, EvaluationModeThreeShowsTheColourNumberOnFourLamps) {
    EXPECT_TRUE(Shown(panel->dispCOL));
    EXPECT_FALSE(Shown(panel->colourBits));
    // Outside mode 3 the lamps are left alone.
    ShowFrame(1, 1, 1, 1, 1, 1, 5);
    EXPECT_EQ(Lamps(), (std::array<bool, 4>{false, false, false, false}));

    Choose(controls->editEvalmode, 3);
    EXPECT_FALSE(Shown(panel->dispCOL));
    EXPECT_TRUE(Shown(panel->colourBits));
    EXPECT_FALSE(Shown(panel->group));
    ShowFrame(1, 1, 1, 1, 1, 1, 5);
    EXPECT_EQ(Lamps(), (std::array<bool, 4>{false, true, false, true}));
    ShowFrame(1, 1, 1, 1, 1, 1, 255);
    EXPECT_EQ(Lamps(), (std::array<bool, 4>{true, true, true, true}));
    ShowFrame(1, 1, 1, 1, 1, 1, 0);
    EXPECT_EQ(Lamps(), (std::array<bool, 4>{false, false, false, false}));

    Choose(controls->editEvalmode, 0);
    EXPECT_TRUE(Shown(panel->dispCOL));
    EXPECT_FALSE(Shown(panel->colourBits));
}

TEST_F(LiveDisplayTest, IntensityBandComesFromTheTableRowNamedByNo) {
    controls->ParaInVis();
    Choose(panel->selectSource, 2);
    // The table control counts, not the parameter set.
    state.params.ctt[0][3] = 10;
    ASSERT_TRUE(EditCell(controls->gridTeach, 0, 3, 4000));
    ASSERT_TRUE(EditCell(controls->gridTeach, 0, 4, 200));
    ASSERT_TRUE(EditCell(controls->gridTeach, 6, 3, 100));
    ASSERT_TRUE(EditCell(controls->gridTeach, 6, 4, 200));
    Enter(controls->editNo, 0);
    ShowFrame(1, 2, 3, 4, 5, 3900);
    EXPECT_EQ(state.intbuf[297], 3900);
    EXPECT_EQ(state.intbuf[298], 4095);
    EXPECT_EQ(state.intbuf[299], 3800);
    EXPECT_EQ(panel->graphINT->TraceValues(1).back(), 4095);
    EXPECT_EQ(panel->graphINT->TraceValues(2).back(), 3800);

    Enter(controls->editNo, 6);
    ShowFrame(1, 2, 3, 4, 5, 150);
    EXPECT_EQ(state.intbuf[298], 300);
    EXPECT_EQ(state.intbuf[299], 0);

    Choose(panel->selectSource, 1);
    ShowFrame(1, 2, 3, 4, 5, 150);
    EXPECT_EQ(state.intbuf[298], 0);
    EXPECT_EQ(state.intbuf[299], 0);
}

TEST_F(LiveDisplayTest, GraphUpdateFollowsSource) {
    ShowFrame(10, 20, 30, 1500, 900, 700);
    EXPECT_EQ(panel->graphData1->CursorPosition(), QPointF(1500, 900));
    EXPECT_TRUE(panel->graphRGB->TraceValues(0).isEmpty()) << "strip charts wait for SOURCE";

    Choose(panel->selectSource, 1);
    ShowFrame(11, 21, 31, 1600, 950, 710);
    EXPECT_EQ(panel->graphData1->CursorPosition(), QPointF(1500, 900)) << "cursor stays";
    const QVector<double> red = panel->graphRGB->TraceValues(0);
    ASSERT_EQ(red.size(), kHistorySamples);
    EXPECT_EQ(red[98], 10);
    EXPECT_EQ(red[99], 11);
    EXPECT_EQ(panel->graphRGB->TraceValues(1)[99], 21);
    EXPECT_EQ(panel->graphRGB->TraceValues(2)[99], 31);
    EXPECT_TRUE(panel->graphINT->TraceValues(0).isEmpty());

    Choose(panel->selectSource, 2);
    ShowFrame(12, 22, 32, 1700, 990, 720);
    const QVector<double> intensity = panel->graphINT->TraceValues(0);
    ASSERT_EQ(intensity.size(), kHistorySamples);
    EXPECT_EQ(intensity[97], 700);
    EXPECT_EQ(intensity[98], 710);
    EXPECT_EQ(intensity[99], 720);
    EXPECT_EQ(panel->graphRGB->TraceValues(0)[99], 11) << "the RGB chart is not redrawn";
}

TEST_F(LiveDisplayTest, ColourPlaneIsPreparedForTheLiveLoop) {
    live->ShowZoomGraph();
    EXPECT_TRUE(live->ZoomGraphInFront());
    live->PrepareColourPlane();
    ASSERT_EQ(panel->graphData1->PlotCount(), 1);
    const QCPGraph* border = panel->graphData1->graph(0);
    EXPECT_EQ(border->pen().color(), QColor(0xA0A0A0));
    ASSERT_EQ(border->dataCount(), kRampPoints);
    EXPECT_EQ(border->data()->at(0)->key, 0);
    EXPECT_EQ(border->data()->at(0)->value, 4095);
    EXPECT_EQ(border->data()->at(4095)->key, 4095);
    EXPECT_EQ(border->data()->at(4095)->value, 0);
    // The colour-plane graph lies in front of the zoom graph.
    EXPECT_FALSE(live->ZoomGraphInFront());

    // Preparing again starts from an empty graph: still one border line.
    live->PrepareColourPlane();
    EXPECT_EQ(panel->graphData1->PlotCount(), 1);

    // s/i has no border line.
    Choose(controls->editCalcmode, 1);
    EXPECT_EQ(panel->graphData1->PlotCount(), 0) << "the s/i relabelling deletes the plots";
    live->PrepareColourPlane();
    EXPECT_EQ(panel->graphData1->PlotCount(), 0);
}

TEST_F(LiveDisplayTest, CalculationModeRelabelsDisplaysAndRescalesGraphs) {
    live->PrepareColourPlane();
    Choose(controls->editCalcmode, 1);
    EXPECT_EQ(sends, 1) << "the calculation mode is sent at once";
    EXPECT_EQ(panel->labelX->text(), "s");
    EXPECT_EQ(panel->labelY->text(), "i");
    EXPECT_EQ(panel->labelINT->text(), "M");
    EXPECT_EQ(panel->selectSource->itemText(panel->selectSource->findData(0)), "s/i");
    EXPECT_EQ(panel->selectSource->itemText(panel->selectSource->findData(1)), "RGB");
    EXPECT_EQ(panel->selectSource->itemText(panel->selectSource->findData(2)), "M");
    EXPECT_EQ(BackgroundOf(panel->dispX), 0xFF0000u);
    EXPECT_EQ(BackgroundOf(panel->dispY), 0xFFFF00u);
    EXPECT_EQ(panel->graphData1->RequestedXRange(), QCPRange(0, 10000));
    EXPECT_EQ(panel->graphData1->RequestedYRange(), QCPRange(0, 4000));
    EXPECT_EQ(panel->graphData1->PlotCount(), 0);
    EXPECT_EQ(panel->graphINT->yAxis->range(), QCPRange(0, 1200));

    Choose(controls->editCalcmode, 0);
    EXPECT_EQ(panel->labelX->text(), "X");
    EXPECT_EQ(panel->labelINT->text(), "INT");
    EXPECT_EQ(panel->selectSource->itemText(panel->selectSource->findData(0)), "X/Y");
    EXPECT_EQ(panel->selectSource->itemText(panel->selectSource->findData(2)), "INT");
    EXPECT_EQ(BackgroundOf(panel->dispX), 0xFF0000u);
    EXPECT_EQ(BackgroundOf(panel->dispY), 0x00FF00u);
    EXPECT_EQ(panel->graphData1->RequestedXRange(), QCPRange(0, 4096));
    EXPECT_EQ(panel->graphData1->RequestedYRange(), QCPRange(0, 4096));
    EXPECT_EQ(panel->graphINT->yAxis->range(), QCPRange(0, 4096));
    // In X/Y the plots are kept.
    live->PrepareColourPlane();
    Choose(controls->editCalcmode, 0);
    EXPECT_EQ(panel->graphData1->PlotCount(), 1);
}

// Every coloured display and lamp reads well, in both calculation modes and lit or dark; the
// colour plane keeps one scale for both axes, and no state changes the window's size.
TEST_F(LiveDisplayTest, DisplaysReadWellGraphsStayRoundAndTheWindowKeepsItsSize) {
    WindowSizeWatch window(panel.get());
    std::vector<QWidget*> coloured = {panel->dispX, panel->dispY};
    for (IndicatorLamp* lamp : panel->colourBit) coloured.push_back(lamp);
    Choose(controls->editEvalmode, 3);
    for (int calcmode : {1, 0}) {
        Choose(controls->editCalcmode, calcmode);
        for (std::int32_t colour : {0, 15}) {
            ShowFrame(100, 200, 300, 400, 500, 600, colour);
            for (QWidget* control : coloured) {
                EXPECT_GE(TextContrast(control), kReadableContrast)
                    << control->metaObject()->className() << " calcmode " << calcmode << " colour "
                    << colour;
            }
        }
        for (int source : {1, 2, 0}) {
            Choose(panel->selectSource, source);
            window.Expect("with SOURCE " + std::to_string(source));
        }
        ExpectRoundCircles(panel->graphData1, "calcmode " + std::to_string(calcmode));
        for (int evalmode : {0, 1, 2, 3}) {
            Choose(controls->editEvalmode, evalmode);
            window.Expect("in evaluation mode " + std::to_string(evalmode));
        }
        controls->ParaInVis();
        window.Expect("on the teach page");
        controls->ParaVis();
        window.Expect("on the parameter page");
    }
    // A window made smaller or larger by the user keeps the circles round.
    for (QSize size : {QSize(1000, 600), QSize(1300, 740)}) {
        panel->resize(size);
        ExpectRoundCircles(panel->graphData1, "resized");
    }
}

TEST_F(LiveDisplayTest, RightClickShowsTheHelpOfEveryLiveControl) {
    using namespace info;
    ExpectHelp(popups, panel->dispX, InfoDispX);
    ExpectHelp(popups, panel->dispY, InfoDispY);
    ExpectHelp(popups, panel->dispINT, InfoDispINT);
    ExpectHelp(popups, panel->barGreen, InfoDispBars);
    ExpectHelp(popups, panel->dispCOL, InfoDispCOL);
    ExpectHelp(popups, panel->dispGroup, InfoDispGroup);
    ExpectHelp(popups, panel->dispTemp, InfoDispTemp);
    ExpectHelp(popups, panel->graphData1, InfoGraph);
    ExpectHelp(popups, panel->selectSource, InfoSelectSource);
    Choose(panel->selectSource, 1);
    ExpectHelp(popups, panel->dispGreen, InfoDispRAW);
    ExpectHelp(popups, panel->graphRGB, InfoGraph);
    Choose(panel->selectSource, 2);
    ExpectHelp(popups, panel->graphINT, InfoGraph);
}

}  // namespace
}  // namespace tvx
