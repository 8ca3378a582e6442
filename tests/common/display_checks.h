#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <cmath>
#include <map>
#include <string>

#include "graph_control.h"
#include "readable_colour.h"
#include "teach_table.h"

namespace tvx {

// The least contrast of text on its background that reads well (WCAG AA for normal text).
inline constexpr double kReadableContrast = 4.5;

// The background a control paints, after its style sheet took effect.
inline QRgb BackgroundOf(QWidget* control) {
    control->ensurePolished();
    return control->palette().color(control->backgroundRole()).rgb() & 0xFFFFFFu;
}

// The contrast of the control's text on its background, as its palette paints them.
inline double TextContrast(QWidget* control) {
    const QRgb text = control->palette().color(control->foregroundRole()).rgb() & 0xFFFFFFu;
    return ContrastRatio(BackgroundOf(control), text);
}

// One scale on both axes of the graph as shown (circles are round); the ranges set stay in view.
inline void ExpectRoundCircles(GraphControl* graph, const std::string& state) {
    QCoreApplication::processEvents();
    const auto perUnit = [](const QCPAxis* axis) {
        const QCPRange r = axis->range();
        return std::abs(axis->coordToPixel(r.upper) - axis->coordToPixel(r.lower)) / r.size();
    };
    EXPECT_NEAR(perUnit(graph->xAxis) / perUnit(graph->yAxis), 1.0, 0.01) << state;
    EXPECT_LE(graph->xAxis->range().lower, graph->RequestedXRange().lower) << state;
    EXPECT_GE(graph->xAxis->range().upper, graph->RequestedXRange().upper) << state;
    EXPECT_LE(graph->yAxis->range().lower, graph->RequestedYRange().lower) << state;
    EXPECT_GE(graph->yAxis->range().upper, graph->RequestedYRange().upper) << state;
}

// Each circle the graph shows away from the origin corner carries its row number, on its line.
// Returns the number of labels.
inline int ExpectNumberedCircles(GraphControl* graph, const TeachTable& table,
                                 const std::string& state) {
    std::map<QString, QPointF> labels;
    for (int i = 0; i < graph->itemCount(); ++i)
        if (const auto* label = qobject_cast<QCPItemText*>(graph->item(i)))
            labels[label->text()] = label->position->coords();
    int numbered = 0;
    for (int row = 0; row < kTeachRows; ++row) {
        if (RowInOriginCorner(table, row)) continue;
        ++numbered;
        const auto label = labels.find(QString::number(row));
        EXPECT_NE(label, labels.end()) << "row " << row << " " << state;
        if (label == labels.end()) continue;
        const CircleBounds c = CircleOfRow(table, row);
        const QPointF fromCentre = label->second - QPointF(c.x1 + c.x2, c.y1 + c.y2) / 2;
        EXPECT_NEAR(std::hypot(fromCentre.x(), fromCentre.y()), (c.x2 - c.x1) / 2, 1e-6)
            << "row " << row << " " << state;
    }
    EXPECT_EQ(labels.size(), static_cast<std::size_t>(numbered)) << state;
    return static_cast<int>(labels.size());
}

// A main window's frame keeps its size from the watch's start through each state, within 1366 x
// 768.
class WindowSizeWatch {
  public:
    explicit WindowSizeWatch(QWidget* window) : window_(window), size_(Settled()) {
        Expect("at the start");
    }
    void Expect(const std::string& state) {
        const QSize now = Settled();
        EXPECT_TRUE(now == size_) << "the window went from " << size_.width() << "x"
                                  << size_.height() << " to " << now.width() << "x" << now.height()
                                  << " " << state;
        EXPECT_LE(now.width(), 1366) << state;
        EXPECT_LE(now.height(), 768) << state;
    }

  private:
    QSize Settled() const {  // layout requests are posted: let them run
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return window_->frameGeometry().size();
    }

    QWidget* window_;
    QSize size_;
};

}  // namespace tvx
