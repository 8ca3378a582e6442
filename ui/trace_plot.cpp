#include "trace_plot.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "graph_control.h"

namespace tvx {

namespace {

// Radius of the disc on a point, and how far a piece's pixels reach beyond its ends (the disc, the
// pen and the smoothing of its edges).
constexpr double kDiscRadius = 2.0;
constexpr int kPieceMargin = 4;
// Points closer together than this (in pixels along X) get no disc of their own, only the line:
// their discs would merge into a thick band and cost most of the drawing. A line's first point
// always gets one, so that a line of one point shows.
constexpr double kDiscSpacing = 3.0;

}  // namespace

TracePlot::TracePlot(const QColor& colour, QWidget* parent) : QCustomPlot(parent), colour_(colour) {
    StyleAxes(*this);
    SetAxisRanges(0, 100, 0, 4096);
}

void TracePlot::StartLine(double x, double y) {
    AddPoint(x, y, true);
}

void TracePlot::ExtendLine(double x, double y) {
    AddPoint(x, y, starts_.empty());
}

void TracePlot::AddPoint(double x, double y, bool startsLine) {
    if (startsLine) starts_.push_back(points_.size());
    points_.push_back({static_cast<float>(x), static_cast<float>(y)});
    // A hidden plot draws nothing now; showing it paints all that came meanwhile.
    if (!isVisible()) return;
    const ImageKey key = CurrentKey();
    if (key.area.isEmpty()) return;
    if (!(key == imageKey_)) {
        update(key.area);
        return;
    }
    const std::size_t last = points_.size() - 1;
    const QPointF to = Place(last);
    const QPointF from = startsLine ? to : Place(last - 1);
    const QRect piece = QRectF(from, to)
                            .normalized()
                            .toAlignedRect()
                            .adjusted(-kPieceMargin, -kPieceMargin, kPieceMargin, kPieceMargin)
                            .translated(key.area.topLeft());
    update(piece & key.area);
}

void TracePlot::DeleteAllPlots() {
    points_.clear();
    points_.shrink_to_fit();
    starts_.clear();
    drawn_ = 0;
    imageKey_ = {};
    update();
}

void TracePlot::SetAxisRanges(double xmin, double xmax, double ymin, double ymax) {
    xAxis->setRange(xmin, xmax);
    yAxis->setRange(ymin, ymax);
    replot(rpQueuedReplot);
}

void TracePlot::SetXAxisRange(double min, double max) {
    xAxis->setRange(min, max);
    replot(rpQueuedReplot);
}

void TracePlot::SetYAxisRange(double min, double max) {
    yAxis->setRange(min, max);
    replot(rpQueuedReplot);
}

QPointF TracePlot::Point(int index) const {
    const TracePoint& p = points_.at(static_cast<std::size_t>(index));
    return {p.x, p.y};
}

TracePlot::ImageKey TracePlot::CurrentKey() const {
    return {axisRect()->rect(), xAxis->range(), yAxis->range(), devicePixelRatioF()};
}

QPointF TracePlot::Place(std::size_t index) const {
    const QRect area = axisRect()->rect();
    const TracePoint& p = points_[index];
    return {xAxis->coordToPixel(p.x) - area.left(), yAxis->coordToPixel(p.y) - area.top()};
}

void TracePlot::paintEvent(QPaintEvent* event) {
    QCustomPlot::paintEvent(event);
    const ImageKey key = CurrentKey();
    if (key.area.isEmpty()) return;
    BringImageUpToDate(key);
    QPainter painter(this);
    painter.setClipRect(key.area);
    painter.drawImage(key.area.topLeft(), image_);
}

void TracePlot::BringImageUpToDate(const ImageKey& key) {
    if (!(key == imageKey_)) {
        image_ = QImage(key.area.size() * key.ratio, QImage::Format_ARGB32_Premultiplied);
        image_.setDevicePixelRatio(key.ratio);
        image_.fill(Qt::transparent);
        imageKey_ = key;
        drawn_ = 0;
    }
    if (drawn_ < points_.size()) DrawPieces(drawn_, points_.size());
    drawn_ = points_.size();
}

void TracePlot::DrawPieces(std::size_t from, std::size_t to) {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour_, 1));
    painter.setBrush(colour_);
    const bool discs = std::abs(xAxis->coordToPixel(1) - xAxis->coordToPixel(0)) >= kDiscSpacing;
    // The next line start at or after `from`.
    auto start = std::lower_bound(starts_.begin(), starts_.end(), from);
    for (std::size_t i = from; i < to; ++i) {
        const QPointF here = Place(i);
        const bool first = start != starts_.end() && *start == i;
        if (first) {
            ++start;
        } else if (i > 0) {
            painter.drawLine(Place(i - 1), here);
        }
        if (first || discs) painter.drawEllipse(here, kDiscRadius, kDiscRadius);
    }
}

}  // namespace tvx
