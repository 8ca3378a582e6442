// The trace plot, offscreen: a trace drawn piece by piece while the plot is shown looks exactly
// like the same trace drawn at once when the plot is shown after the pieces came.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <cmath>

#include "paint_counter.h"
#include "trace_plot.h"
#include "wait.h"

namespace tvx {
namespace {

TEST(TracePlot, PiecesDrawnOneByOneLookLikeTheWholeTraceDrawnWhenShownLater) {
    const QColor colour(0x00, 0x80, 0x80);
    TracePlot shown(colour);
    TracePlot hidden(colour);
    for (TracePlot* plot : {&shown, &hidden}) {
        plot->setFixedSize(400, 260);
        plot->SetAxisRanges(0, 50, 0, 1000);
    }
    shown.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
    PaintCounter counter;
    shown.installEventFilter(&counter);

    // Two lines: the second starts again at 0 and runs over the first.
    const auto value = [](int i) { return 500 + 450 * std::sin(i * 0.7); };
    constexpr int kPoints = 70;
    for (int i = 0; i < kPoints; ++i) {
        for (TracePlot* plot : {&shown, &hidden}) {
            if (i == 0 || i == 40)
                plot->StartLine(i % 40, value(i));
            else
                plot->ExtendLine(i % 40, value(i));
        }
        // The shown plot paints each piece as it comes.
        const int before = counter.paints;
        for (int pass = 0; pass < 5 && counter.paints == before; ++pass)
            ServePendingEvents(WaitMode::ServeUserInput);
        ASSERT_GT(counter.paints, before) << "piece " << i;
    }
    EXPECT_EQ(shown.LineCount(), 2);
    EXPECT_EQ(hidden.PointCount(), kPoints);

    hidden.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hidden));
    const QImage piecewise = shown.grab().toImage();
    const QImage atOnce = hidden.grab().toImage();
    EXPECT_EQ(piecewise, atOnce);
    // Both hold the trace: every point's disc lies in the trace colour.
    for (int i = 0; i < kPoints; ++i) {
        const QPoint at(static_cast<int>(shown.xAxis->coordToPixel(i % 40)),
                        static_cast<int>(shown.yAxis->coordToPixel(value(i))));
        EXPECT_EQ(piecewise.pixelColor(at), colour) << "point " << i;
    }

    // A new axis range draws the whole trace again, the same in both.
    for (TracePlot* plot : {&shown, &hidden}) plot->SetAxisRanges(0, 100, 0, 2000);
    ServePendingEvents(WaitMode::ServeUserInput);
    EXPECT_EQ(shown.grab().toImage(), hidden.grab().toImage());
    EXPECT_NE(shown.grab().toImage(), piecewise);
}

}  // namespace
}  // namespace tvx
