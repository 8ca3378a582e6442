#pragma once

#include <qcustomplot.h>
#include <QColor>
#include <QList>
#include <QPointF>
#include <QVector>

namespace tvx {

// The background of every graph and strip chart.
inline constexpr QRgb kPlotBackground = 0x202020;

// An ellipse outline with a contrasting rim on both sides of its line (black or white, whichever
// differs more from the line's colour), so that an outline in any colour stands out from any
// background: a black circle on the dark plot as well as a grey one on grey.
class OutlinedEllipse : public QCPItemEllipse {
  public:
    explicit OutlinedEllipse(QCustomPlot* plot) : QCPItemEllipse(plot) {}
    // The rim drawn under the line.
    QPen RimPen() const;

  protected:
    void draw(QCPPainter* painter) override;
};

// How a graph with one scale for both axes fits the ranges the program sets into its shape.
enum class EqualScale {
    Off,            // each axis shows exactly its range
    KeepLowerEnds,  // the ranges grow at their upper ends (right, top)
    KeepCentre,     // the ranges grow evenly on both sides
};
// The look all graphs of the programs share: dark background, light axes, dotted grid.
void StyleAxes(QCustomPlot& plot);

// A graph control: plots on manual axes (bottom X, left Y) and one cursor, cursor 1, a crosshair
// that the program moves and the user can drag. Plots are lines and items such as circles;
// deleting the plots leaves the cursor.
//
// With an equal scale a unit of X is as many pixels as a unit of Y, so circles stay round: the
// axes show at least the ranges the program set, one of them widened to the graph's shape, again
// on every resize.
class GraphControl : public QCustomPlot {
    Q_OBJECT
  public:
    explicit GraphControl(QWidget* parent = nullptr);

    void SetEqualScale(EqualScale mode);

    // Removes every line and item but the cursor.
    void DeleteAllPlots();
    // A line through the points, in `colour`.
    QCPGraph* PlotLine(const QVector<double>& xs, const QVector<double>& ys, const QColor& colour);
    // The outline of the ellipse inside the rectangle (x1, y1) ... (x2, y2), in `colour`, not
    // filled.
    OutlinedEllipse* PlotEllipse(double x1, double y1, double x2, double y2, const QColor& colour);
    // A short text whose bottom left corner is at (x, y), in `colour` on a black or white ground
    // (whichever contrasts more), so that it reads on the dark plot and over other lines.
    QCPItemText* PlotLabel(double x, double y, const QString& text, const QColor& colour);
    // Lines and items now plotted, the cursor not counted.
    int PlotCount() const;

    void SetAxisRanges(double xmin, double xmax, double ymin, double ymax);
    // The ranges last set; the axes show these, or more with an equal scale.
    QCPRange RequestedXRange() const { return setX_; }
    QCPRange RequestedYRange() const { return setY_; }

    void SetCursorPosition(double x, double y);
    QPointF CursorPosition() const;
    // A live cursor follows the measurement frame by frame: a solid yellow crosshair. Any other
    // (frozen when its loop ended, placed by the user) is a dashed grey one, so that it cannot be
    // taken for a live measurement. Cursors start frozen.
    void SetCursorLive(bool live);
    bool CursorLive() const { return cursorLive_; }
    // Whether the user may drag the cursor with the left button (off unless set).
    void SetCursorDraggable(bool draggable) { draggable_ = draggable; }

  signals:
    // The user moved the cursor (a drag with the left button held).
    void cursorMoved(QPointF position);
    // The user clicked the plot area without dragging.
    void leftClicked();
    // The user clicked the plot area with the right button.
    void rightClicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointF PositionAt(const QPointF& pixel) const;
    void FitAxisRanges();

    EqualScale equalScale_ = EqualScale::Off;
    QCPRange setX_;
    QCPRange setY_;

    QCPItemTracer* cursor_;
    bool cursorLive_ = true;
    bool draggable_ = false;
    bool dragging_ = false;
    bool moved_ = false;
};

// A strip chart: a fixed number of interleaved traces drawn from a history of samples, one value
// of each trace per sample, oldest first.
class StripChart : public QCustomPlot {
    Q_OBJECT
  public:
    StripChart(const QList<QColor>& traceColours, int samples, QWidget* parent = nullptr);

    // Draws the interleaved values: value i belongs to trace i % traces, sample i / traces.
    void PlotHistory(const double* values, int count);
    void SetYAxisRange(double min, double max);
    // The values trace `trace` now shows, oldest first.
    QVector<double> TraceValues(int trace) const;

  private:
    int samples_;
};

}  // namespace tvx
