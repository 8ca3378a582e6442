#pragma once

#include <array>
#include <cstdint>

#include "parameter_set.h"

namespace tvx {

// The rules of the colour teach table that are computations, not pixels: what TEACH DATA TO
// writes, how AUTO ADJUST grows the tolerance circles, where a circle is drawn, and the window of
// the zoom graph.

using TeachTable = std::array<std::array<std::uint16_t, kTeachColumns>, kTeachRows>;

// Value columns of a teach row.
inline constexpr int kColumnX = 0;
inline constexpr int kColumnY = 1;
inline constexpr int kColumnCto = 2;
inline constexpr int kColumnInt = 3;
inline constexpr int kColumnIto = 4;

inline constexpr int kAutoAdjustMaxRadius = 200;

// The rows the sensor evaluates, 0 ... ActiveTeachRows - 1: MAXCOL-No., at most the 15 rows.
int ActiveTeachRows(const ParameterSet& params);

// The five values TEACH DATA TO writes: the shown X and Y, CTO 40 in evaluation mode 2 (else 100),
// the frame's intensity, ITO 100 with PMOD STAT (0) (else 20).
std::array<std::uint16_t, kTeachColumns> TaughtRow(std::uint16_t x, std::uint16_t y,
                                                   std::uint16_t intensity, std::uint16_t evalmode,
                                                   std::uint16_t pmode);

// The integer part of the distance between the points of two rows.
int RowDistance(const TeachTable& table, int k, int i);

// The closed intensity bands INT - ITO ... INT + ITO of two rows overlap (touching counts).
bool BandsOverlap(const TeachTable& table, int k, int i);

// Row i keeps row k from growing: their circles meet and their closed intensity bands overlap.
bool RowBlocks(const TeachTable& table, int k, int i);

// AUTO ADJUST on the table: the radii (CTO) of the active rows 0 ... activeRows - 1 start at 1 and
// grow by one per pass up to 200, each row stopping for good once another active row blocks it.
// Inactive rows are left as they are. activeRows is taken within 0 ... 15.
void AutoAdjustRadii(TeachTable& table, int activeRows);

// The rectangle that bounds a row's tolerance circle: (X - R, Y - R) ... (X + R, Y + R).
struct CircleBounds {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};
CircleBounds CircleOfRow(const TeachTable& table, int row);
// Whether a row lies in the origin corner (X <= 10 and Y <= 10), as reset rows do.
bool RowInOriginCorner(const TeachTable& table, int row);
// The three outlines drawn for one circle, the second and third shifted a little so that together
// they thicken the line.
std::array<CircleBounds, 3> CircleOutlines(const CircleBounds& circle);

// The zoom graph's window. The box bounds the circles of the rows away from the origin corner
// (X > 10 or Y > 10), fixed when the zoom starts; the axes then follow each measurement so that
// the box and the measured point stay in view, square, with a 25-unit margin.
struct ZoomBox {
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
};
ZoomBox ZoomBoxOfTable(const TeachTable& table);

struct ZoomWindow {
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};
ZoomWindow ZoomWindowFor(const ZoomBox& box, int x, int y);

}  // namespace tvx
