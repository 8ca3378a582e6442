// The trace plot, offscreen: drawn piece by piece it looks as when drawn at once.
#include <gtest/gtest.h>

#include <QTest>
#include <cmath>

#include "paint_counter.h"
#include "trace_plot.h"
#include "wait.h"

namespace tvx {
namespace {

TEST(TracePlot, PiecesDrawnOneByOneLookLikeTheWholeTraceDrawnWhenShownLater) {
    const QColor colour(0x00, 0x80, 0x80);
    TracePlot shown(colour), hidden(colour);
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
    for (int i = 0; i < 70; ++i) {
        for (TracePlot* plot : {&shown, &hidden}) {
            i % 40 ? plot->ExtendLine(i % 40, value(i)) : plot->StartLine(0, value(i));
        }
        const int before = counter.paints;  // the shown plot paints each piece as it comes
        for (int pass = 0; pass < 5 && counter.paints == before; ++pass)
            ServePendingEvents(WaitMode::ServeUserInput);
        ASSERT_GT(counter.paints, before) << "piece " << i;
    }
    EXPECT_EQ(shown.LineCount(), 2);
    EXPECT_EQ(hidden.PointCount(), 70);
    hidden.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hidden));
    const QImage piecewise = shown.grab().toImage();
    EXPECT_EQ(piecewise, hidden.grab().toImage());
    const QPointF last(shown.xAxis->coordToPixel(29), shown.yAxis->coordToPixel(value(69)));
    EXPECT_EQ(piecewise.pixelColor(last.toPoint()), colour) << "the trace is drawn";
    // A new axis range draws the whole trace again, the same in both.
    for (TracePlot* plot : {&shown, &hidden}) plot->SetAxisRanges(0, 100, 0, 2000);
    ServePendingEvents(WaitMode::ServeUserInput);
    EXPECT_EQ(shown.grab().toImage(), hidden.grab().toImage());
    EXPECT_NE(shown.grab().toImage(), piecewise);
}

}  // namespace
}  // namespace tvx
