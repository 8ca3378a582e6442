#pragma once

#include <qcustomplot.h>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <vector>

namespace tvx {

// A graph control for traces that only grow: lines in one colour, extended point by point, with a
// small disc on each point while the points lie apart. Every new piece is drawn once onto a kept
// image of the plot area and only the pixels it touches are repainted, so a point costs the same at
// the end of a long trace as at its start. The kept image is drawn again from the stored points
// when the plot area's size, an axis range or the colour changes, and pieces added while the plot
// is hidden are drawn when it is shown.
class TracePlot : public QCustomPlot {
    Q_OBJECT
  public:
    explicit TracePlot(const QColor& colour, QWidget* parent = nullptr);

    // Starts a new line at (x, y); until it is extended it shows as a single point.
    void StartLine(double x, double y);
    // Extends the newest line to (x, y); starts one when there is none.
    void ExtendLine(double x, double y);
    // Removes every line.
    void DeleteAllPlots();

    void SetAxisRanges(double xmin, double xmax, double ymin, double ymax);
    void SetXAxisRange(double min, double max);
    void SetYAxisRange(double min, double max);

    QColor TraceColour() const { return colour_; }
    int LineCount() const { return static_cast<int>(starts_.size()); }
    // Points of all lines, in the order they were added.
    int PointCount() const { return static_cast<int>(points_.size()); }
    QPointF Point(int index) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct TracePoint {
        float x, y;  // 8 bytes a point: a long trace stays small
    };
    // What the kept image was drawn for; any change means drawing it again from the points.
    struct ImageKey {
        QRect area;
        QCPRange xRange, yRange;
        double ratio = 0.0;
        bool operator==(const ImageKey& o) const {
            return area == o.area && xRange == o.xRange && yRange == o.yRange && ratio == o.ratio;
        }
    };

    void AddPoint(double x, double y, bool startsLine);
    ImageKey CurrentKey() const;
    // The point's place on the kept image (plot-area coordinates).
    QPointF Place(std::size_t index) const;
    // Draws the points not yet on the kept image; all of them after the key changed.
    void BringImageUpToDate(const ImageKey& key);
    void DrawPieces(std::size_t from, std::size_t to);

    QColor colour_;
    std::vector<TracePoint> points_;
    std::vector<std::size_t> starts_;  // index of the first point of each line, ascending
    QImage image_;                     // the plot area with points [0, drawn_) drawn
    ImageKey imageKey_;
    std::size_t drawn_ = 0;
};

}  // namespace tvx
