#include "graph_control.h"

#include <algorithm>

#include "readable_colour.h"

namespace tvx {

void StyleAxes(QCustomPlot& plot) {
    plot.setBackground(QColor(kPlotBackground));
    for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
        axis->setBasePen(QPen(Qt::lightGray));
        axis->setTickPen(QPen(Qt::lightGray));
        axis->setSubTickPen(QPen(Qt::gray));
        axis->setTickLabelColor(Qt::lightGray);
        axis->grid()->setPen(QPen(QColor(0x50, 0x50, 0x50), 0, Qt::DotLine));
    }
    plot.setMinimumSize(220, 180);
}

namespace {

// Rim width in pixels: a pixel on each side of a one-pixel line.
constexpr double kRimWidth = 3.0;

}  // namespace

QPen OutlinedEllipse::RimPen() const {
    QPen rim = pen();
    rim.setColor(QColor(ReadableTextColour(pen().color().rgb() & 0xFFFFFFu)));
    rim.setWidthF(std::max(kRimWidth, pen().widthF() + 2.0));
    return rim;
}

void OutlinedEllipse::draw(QCPPainter* painter) {
    const QPen line = pen();
    setPen(RimPen());
    QCPItemEllipse::draw(painter);
    setPen(line);
    QCPItemEllipse::draw(painter);
}

GraphControl::GraphControl(QWidget* parent) : QCustomPlot(parent) {
    StyleAxes(*this);
    SetAxisRanges(0, 4096, 0, 4096);
    cursor_ = new QCPItemTracer(this);
    cursor_->setStyle(QCPItemTracer::tsCrosshair);
    cursor_->position->setType(QCPItemPosition::ptPlotCoords);
    cursor_->position->setCoords(0, 0);
    SetCursorLive(false);
}

void GraphControl::SetCursorLive(bool live) {
    if (cursorLive_ == live) return;
    cursorLive_ = live;
    cursor_->setPen(live ? QPen(QColor(0xFF, 0xFF, 0x00))
                         : QPen(QColor(0xA0, 0xA0, 0xA0), 0, Qt::DashLine));
    replot(rpQueuedReplot);
}

void GraphControl::DeleteAllPlots() {
    clearGraphs();
    for (int i = itemCount() - 1; i >= 0; --i) {
        if (item(i) != cursor_) removeItem(i);
    }
    replot(rpQueuedReplot);
}

QCPGraph* GraphControl::PlotLine(const QVector<double>& xs, const QVector<double>& ys,
                                 const QColor& colour) {
    QCPGraph* line = addGraph();
    line->setPen(QPen(colour));
    line->setLineStyle(QCPGraph::lsLine);
    line->setData(xs, ys, true);
    replot(rpQueuedReplot);
    return line;
}

OutlinedEllipse* GraphControl::PlotEllipse(double x1, double y1, double x2, double y2,
                                           const QColor& colour) {
    auto* ellipse = new OutlinedEllipse(this);
    ellipse->topLeft->setCoords(x1, y2);
    ellipse->bottomRight->setCoords(x2, y1);
    ellipse->setPen(QPen(colour));
    ellipse->setBrush(Qt::NoBrush);
    replot(rpQueuedReplot);
    return ellipse;
}

QCPItemText* GraphControl::PlotLabel(double x, double y, const QString& text,
                                     const QColor& colour) {
    auto* label = new QCPItemText(this);
    label->position->setCoords(x, y);
    label->setPositionAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label->setText(text);
    label->setColor(colour);
    label->setBrush(QBrush(QColor(ReadableTextColour(colour.rgb() & 0xFFFFFFu))));
    label->setPadding(QMargins(2, 0, 2, 0));
    replot(rpQueuedReplot);
    return label;
}

int GraphControl::PlotCount() const {
    return graphCount() + itemCount() - 1;
}

void GraphControl::SetEqualScale(EqualScale mode) {
    equalScale_ = mode;
    FitAxisRanges();
}

void GraphControl::SetAxisRanges(double xmin, double xmax, double ymin, double ymax) {
    setX_ = QCPRange(xmin, xmax);
    setY_ = QCPRange(ymin, ymax);
    FitAxisRanges();
}

void GraphControl::FitAxisRanges() {
    xAxis->setRange(setX_);
    yAxis->setRange(setY_);
    if (equalScale_ != EqualScale::Off) {
        // The tick labels take their room from the ranges, and the plot area follows: twice
        // settles it.
        for (int pass = 0; pass < 2; ++pass) {
            updateLayout();
            const double width = axisRect()->width();
            const double height = axisRect()->height();
            if (width <= 0 || height <= 0) break;
            const double unitsPerPixel = std::max(setX_.size() / width, setY_.size() / height);
            const auto widen = [this](const QCPRange& set, double span) {
                if (equalScale_ == EqualScale::KeepLowerEnds)
                    return QCPRange(set.lower, set.lower + span);
                return QCPRange(set.center() - span / 2, set.center() + span / 2);
            };
            xAxis->setRange(widen(setX_, unitsPerPixel * width));
            yAxis->setRange(widen(setY_, unitsPerPixel * height));
        }
    }
    replot(rpQueuedReplot);
}

void GraphControl::resizeEvent(QResizeEvent* event) {
    QCustomPlot::resizeEvent(event);
    if (equalScale_ != EqualScale::Off) FitAxisRanges();
}

void GraphControl::SetCursorPosition(double x, double y) {
    cursor_->position->setCoords(x, y);
    replot(rpQueuedReplot);
}

QPointF GraphControl::CursorPosition() const {
    return cursor_->position->coords();
}

QPointF GraphControl::PositionAt(const QPointF& pixel) const {
    return {xAxis->pixelToCoord(pixel.x()), yAxis->pixelToCoord(pixel.y())};
}

void GraphControl::mousePressEvent(QMouseEvent* event) {
    if (axisRect()->rect().contains(event->pos())) {
        if (event->button() == Qt::LeftButton) {
            dragging_ = true;
            moved_ = false;
        } else if (event->button() == Qt::RightButton) {
            emit rightClicked();
        }
    }
    QCustomPlot::mousePressEvent(event);
}

void GraphControl::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && draggable_) {
        moved_ = true;
        const QPointF position = PositionAt(event->position());
        SetCursorLive(false);
        SetCursorPosition(position.x(), position.y());
        emit cursorMoved(position);
    }
    QCustomPlot::mouseMoveEvent(event);
}

void GraphControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        if (!moved_) emit leftClicked();
    }
    QCustomPlot::mouseReleaseEvent(event);
}

StripChart::StripChart(const QList<QColor>& traceColours, int samples, QWidget* parent)
    : QCustomPlot(parent), samples_(samples) {
    StyleAxes(*this);
    xAxis->setRange(0, samples - 1);
    yAxis->setRange(0, 4096);
    for (const QColor& colour : traceColours) {
        QCPGraph* trace = addGraph();
        trace->setPen(QPen(colour));
    }
}

void StripChart::PlotHistory(const double* values, int count) {
    const int traces = graphCount();
    if (traces == 0) return;
    const int samples = count / traces;
    for (int t = 0; t < traces; ++t) {
        QCPGraphDataContainer& data = *graph(t)->data();
        if (data.size() == samples) {
            // The usual case, frame after frame: the values change in place.
            int s = 0;
            for (auto it = data.begin(); it != data.end(); ++it, ++s)
                it->value = values[s * traces + t];
            continue;
        }
        QVector<double> keys(samples);
        QVector<double> points(samples);
        for (int s = 0; s < samples; ++s) {
            keys[s] = s;
            points[s] = values[s * traces + t];
        }
        graph(t)->setData(keys, points, true);
    }
    xAxis->setRange(0, std::max(samples_, samples) - 1);
    replot(rpQueuedReplot);
}

void StripChart::SetYAxisRange(double min, double max) {
    yAxis->setRange(min, max);
    replot(rpQueuedReplot);
}

QVector<double> StripChart::TraceValues(int trace) const {
    QVector<double> values;
    if (trace < 0 || trace >= graphCount()) return values;
    for (auto it = graph(trace)->data()->constBegin(); it != graph(trace)->data()->constEnd(); ++it)
        values.push_back(it->value);
    return values;
}

}  // namespace tvx
