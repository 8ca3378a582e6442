// The mean-value teach panel in the running scope: capturing live frames, means and deviations,
// and teaching the mean into the teach table.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Tvx3v61.h"
#include "info_texts.h"
#include "scope_fixture.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {
namespace {

class MeanTeachTest : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        scope->Controls().ParaInVis();
        Sensor().ClearRequests();
    }

    MeanTeachPanel& Tp() { return scope->MeanValueTeach(); }
    MeanTeachOperations& Ops() { return scope->MeanTeach(); }
    int Counter() { return Tp().dispTpCounter->text().toInt(); }

    // Opens the panel without a running loop: the live loop it starts is stopped at once.
    void OpenPanelStopped() {
        RunLoop(Ops().buttonTeachMeanVal, [&] {
            Click(scope->Main().buttonStop);
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
};

TEST_F(MeanTeachTest, OpeningStartsTheLiveLoopAndCaptureTakesItsLastFrame) {
    int captures = 0;
    RunLoop(Ops().buttonTeachMeanVal, [&] {
        if (Sensor().RequestCount() < 2) return false;
        EXPECT_TRUE(Tp().isVisible());
        Click(Tp().buttonTpCapture);
        if (++captures < 3) return false;
        Click(scope->Main().buttonStop);
        return true;
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_GE(Sensor().RequestCount(), 2u);
    EXPECT_EQ(Counter(), 3);
    const LiveValues& live = scope->State().live;
    const CapturedFrame last = {live.dataR, live.dataG, live.dataB,
                                live.dataX, live.dataY, live.dataINT};
    for (int c = 0; c < kCaptureColumns; ++c) {
        EXPECT_EQ(Tp().gridTpValues->Value(2, c), last[static_cast<std::size_t>(c)]) << c;
        EXPECT_EQ(Tp().gridTpMean->Value(0, c), last[static_cast<std::size_t>(c)]) << c;
    }
    EXPECT_EQ(Tp().dispMaxDeltaXY->text(), "0");
    EXPECT_EQ(Tp().gridTpValues->currentRow(), 2);
    // The loop drew the colour plane with its border.
    EXPECT_EQ(scope->Main().graphData1->PlotCount(), 1);
}

TEST_F(MeanTeachTest, OpeningDuringTheLiveLoopStartsNoSecondLoop) {
    bool returnedAtOnce = false;
    RunLoop(scope->Main().buttonGo, [&] {
        if (Sensor().RequestCount() < 2) return false;
        const std::size_t before = Sensor().RequestCount();
        Click(Ops().buttonTeachMeanVal);
        returnedAtOnce = Tp().isVisible() && scope->State().flags.poll == 1 &&
                         Sensor().RequestCount() <= before + 1;
        Click(scope->Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(returnedAtOnce);
    EXPECT_EQ(scope->State().flags.poll, 0);
}

TEST_F(MeanTeachTest, MeansDeviationsCounterAndUndo) {
    OpenPanelStopped();
    CaptureAt(100, 1000, 500);
    CaptureAt(101, 1000, 520);
    CaptureAt(101, 1000, 540);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 100) << "302 / 3 truncated";
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnInt), 520);
    EXPECT_EQ(Tp().dispTpMaxDeltaInt->text(), "20");
    EXPECT_EQ(Ops().meanint, 520);

    // Editing a captured value recomputes at once.
    ASSERT_TRUE(EditCell(Tp().gridTpValues, 0, kCaptureColumnX, 700));
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 300);
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

    // Down to 0: the means and deltas show 0, the mean globals keep their values; another undo
    // clears row 1 only.
    for (int i = 0; i < 9; ++i) Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 0);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnX), 0);
    EXPECT_EQ(Tp().dispMaxDeltaXY->text(), "0");
    EXPECT_NE(Ops().meanx, 0);
    Click(Tp().buttonTpUndo);
    EXPECT_EQ(Counter(), 0);

    // The 101st capture stays at 100 and replaces row 100.
    for (int i = 0; i < 100; ++i) CaptureAt(1, 1, 1);
    CaptureAt(9, 9, 9);
    EXPECT_EQ(Counter(), 100);
    EXPECT_EQ(Tp().gridTpValues->Value(99, kCaptureColumnX), 9);
    EXPECT_EQ(Tp().gridTpValues->Value(98, kCaptureColumnX), 1);

    Click(Tp().buttonTpResetTable);
    EXPECT_EQ(Counter(), 0);
    EXPECT_EQ(Tp().gridTpValues->Value(99, kCaptureColumnX), 0);
    EXPECT_EQ(Tp().gridTpMean->Value(0, kCaptureColumnInt), 0);
}

TEST_F(MeanTeachTest, TeachToTableWritesTheMeanWithTheChosenTolerances) {
    OpenPanelStopped();
    CaptureAt(1000, 1000, 500);
    CaptureAt(1000, 1000, 500);
    CaptureAt(1018, 1000, 530);  // means 1006 / 510, deltas 12 / 20
    ASSERT_EQ(Tp().dispMaxDeltaXY->text(), "12");
    WordTable* table = scope->Controls().gridTeach;
    for (int c = 0; c < kTeachColumns; ++c) table->SetValue(4, c, 77);
    const auto cttBefore = scope->State().params.ctt;
    const int mainRowNumber = scope->Controls().editNo->value();

    Enter(Tp().editTpRowNo, 4);
    Choose(Tp().editTpTeachCtoWith, 2);
    Enter(Tp().editTpValueCto, 30);
    Choose(Tp().editTpTeachItoWith, 3);
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(table->Value(4, 0), 1006);
    EXPECT_EQ(table->Value(4, 1), 1000);
    EXPECT_EQ(table->Value(4, 2), 42);
    EXPECT_EQ(table->Value(4, 3), 510);
    EXPECT_EQ(table->Value(4, 4), 77) << "NO CHANGE";
    EXPECT_EQ(scope->Controls().editNo->value(), mainRowNumber);
    EXPECT_EQ(scope->State().params.ctt, cttBefore);

    Choose(Tp().editTpTeachCtoWith, 3);
    Choose(Tp().editTpTeachItoWith, 1);
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(table->Value(4, 2), 42) << "NO CHANGE keeps the row's CTO";
    EXPECT_EQ(table->Value(4, 4), 20);

    // Evaluation mode 2 teaches CTO 40 and dims the CTO choice when the panel opens.
    scope->Controls().ParaVis();
    Choose(scope->Controls().editEvalmode, 2);
    scope->Controls().ParaInVis();
    OpenPanelStopped();
    EXPECT_FALSE(Tp().editTpTeachCtoWith->isEnabled());
    EXPECT_FALSE(Tp().editTpValueCto->isEnabled());
    EXPECT_TRUE(Tp().editTpTeachItoWith->isEnabled());
    Click(Tp().buttonTpTeachToTable);
    EXPECT_EQ(table->Value(4, 2), 40);
}

TEST_F(MeanTeachTest, CalculationModeRelabelsThePanel) {
    scope->Controls().ParaVis();
    Choose(scope->Controls().editCalcmode, 1);
    EXPECT_EQ(Tp().gridTpValues->horizontalHeaderItem(3)->text(), "s");
    EXPECT_EQ(Tp().gridTpMean->horizontalHeaderItem(5)->text(), "M");
    EXPECT_EQ(Tp().labelMaxDeltaXY->text(), "MAX DELTA s/i");
    EXPECT_EQ(Tp().labelValueIto->text(), "VALUE MTO");
    EXPECT_EQ(Tp().labelTeachCtoWith->text(), "TEACH siTO WITH");
    EXPECT_EQ(Tp().editTpTeachCtoWith->itemText(1), "MAX DELTA(s/i)");
    EXPECT_EQ(Tp().editTpTeachItoWith->itemText(2), "MAX DELTA+VALUE MTO");
    EXPECT_EQ(Tp().editTpTeachItoWith->itemText(3), "NO CHANGE");
    Choose(scope->Controls().editCalcmode, 0);
    EXPECT_EQ(Tp().gridTpValues->horizontalHeaderItem(4)->text(), "Y");
    EXPECT_EQ(Tp().labelTeachItoWith->text(), "TEACH ITO WITH");
    EXPECT_EQ(Tp().editTpTeachCtoWith->itemText(2), "MAX DELTA+VALUE CTO");
}

TEST_F(MeanTeachTest, RightClickShowsTheHelpOfEveryControlAndCloseHides) {
    using namespace info;
    ExpectHelp(Ops().buttonTeachMeanVal, InfoButtonTeachMeanVal);
    OpenPanelStopped();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Tp()));
    MeanTeachPanel& tp = Tp();
    ExpectHelp(tp.buttonTpCapture, InfoButtonTpCapture);
    ExpectHelp(tp.buttonTpUndo, InfoButtonTpUndo);
    ExpectHelp(tp.buttonTpResetTable, InfoButtonTpResetTable);
    ExpectHelp(tp.buttonTpTeachToTable, InfoButtonTpTeachToTable);
    ExpectHelp(tp.buttonTpClose, InfoButtonClosePanel);
    ExpectHelp(tp.gridTpValues, InfoGridTpValues);
    ExpectHelp(tp.gridTpMean, InfoGridTpMean);
    ExpectHelp(tp.dispTpCounter, InfoDispTpCounter);
    ExpectHelp(tp.dispMaxDeltaXY, InfoDispMaxDeltaXY);
    ExpectHelp(tp.dispTpMaxDeltaInt, InfoDispTpMaxDeltaInt);
    ExpectHelp(tp.editTpTeachCtoWith, InfoEditTpTeachCtoWith);
    ExpectHelp(tp.editTpTeachItoWith, InfoEditTpTeachItoWith);
    ExpectHelp(tp.editTpValueCto, InfoEditTpValueCto);
    ExpectHelp(tp.editTpValueIto, InfoEditTpValueIto);
    ExpectHelp(tp.editTpRowNo, InfoEditTpRowNo);

    CaptureAt(5, 5, 5);
    Click(tp.buttonTpClose);
    EXPECT_FALSE(tp.isVisible());
    EXPECT_EQ(Counter(), 1) << "hiding keeps the captured frames";
}

}  // namespace
}  // namespace tvx
