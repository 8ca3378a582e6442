#pragma once

// What a user sees of a panel: the contrast of a coloured control's text, one scale on both axes
// of a graph, and a main window that keeps its size and fits a 1366 x 768 screen.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPalette>
#include <QWidget>
#include <cmath>
#include <string>

#include "graph_control.h"
#include "readable_colour.h"

namespace tvx {

// The least contrast of text on its background that reads well (WCAG AA for normal text).
inline constexpr double kReadableContrast = 4.5;

inline QRgb PaletteColour(const QWidget* control, QPalette::ColorRole role) {
    return control->palette().color(role).rgb() & 0xFFFFFFu;
}

// The background a control paints, after its style sheet took effect.
inline QRgb BackgroundOf(QWidget* control) {
    control->ensurePolished();
    return PaletteColour(control, control->backgroundRole());
}

// The contrast of the control's text on its background, as its palette paints them.
inline double TextContrast(QWidget* control) {
    control->ensurePolished();
    return ContrastRatio(PaletteColour(control, control->foregroundRole()),
                         PaletteColour(control, control->backgroundRole()));
}

// Pixels per unit of X over pixels per unit of Y on the graph as shown: 1 when circles are round.
inline double PixelScaleRatio(QCustomPlot* graph) {
    QCoreApplication::processEvents();
    const QCPRange x = graph->xAxis->range();
    const QCPRange y = graph->yAxis->range();
    const double perX =
        std::abs(graph->xAxis->coordToPixel(x.upper) - graph->xAxis->coordToPixel(x.lower)) /
        x.size();
    const double perY =
        std::abs(graph->yAxis->coordToPixel(y.upper) - graph->yAxis->coordToPixel(y.lower)) /
        y.size();
    return perX / perY;
}

inline void ExpectRoundCircles(GraphControl* graph, const std::string& state) {
    EXPECT_NEAR(PixelScaleRatio(graph), 1.0, 0.01) << state;
    // The ranges the program set stay in view.
    EXPECT_LE(graph->xAxis->range().lower, graph->RequestedXRange().lower) << state;
    EXPECT_GE(graph->xAxis->range().upper, graph->RequestedXRange().upper) << state;
    EXPECT_LE(graph->yAxis->range().lower, graph->RequestedYRange().lower) << state;
    EXPECT_GE(graph->yAxis->range().upper, graph->RequestedYRange().upper) << state;
}

// A main window: its size is taken when the watch starts; after each state it must be the same,
// and the frame must fit a 1366 x 768 screen.
class WindowSizeWatch {
  public:
    explicit WindowSizeWatch(QWidget* window) : window_(window) {
        Settle();
        size_ = window_->frameGeometry().size();
        Expect("at the start");
    }
    void Expect(const std::string& state) {
        Settle();
        const QSize now = window_->frameGeometry().size();
        EXPECT_TRUE(now == size_) << "the window went from " << size_.width() << "x"
                                  << size_.height() << " to " << now.width() << "x" << now.height()
                                  << " " << state;
        EXPECT_LE(now.width(), 1366) << state;
        EXPECT_LE(now.height(), 768) << state;
    }

  private:
    // Layout requests are posted: let them run.
    static void Settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    QWidget* window_;
    QSize size_;
};

}  // namespace tvx
