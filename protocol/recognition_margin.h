#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "parameter_set.h"

namespace tvx {

// How safely the sensor recognises its colour, frame by frame. For teach row r with centre
// (X, Y), radius CTO, intensity INT and tolerance ITO (s, i, siTO, M, MTO in calculation mode 1:
// the same columns, so the same computation) and a frame's point p and intensity I:
//
//   m_r = 1 - max(d / CTO, |I - INT| / ITO),   d the Euclidean distance of p from (X, Y)
//
// 1 at the centre, 0 on the edge of the circle or the intensity band, below 0 outside. A zero
// tolerance makes its term 1 at no difference and 2 at any other, so such a row gives 0 exactly
// at its centre and -1 elsewhere. Every margin lies within -1 ... 1 (farther out is -1) and is
// never NaN. This is the one place the margin is computed: whatever shows, records or sends a
// margin takes it from here.

// The warn level unless the user sets another: a frame with less margin than this lies close
// enough to its row's edge that a little more drift, dirt or ageing turns it into a misdetection.
inline constexpr double kDefaultMarginWarn = 0.2;

// How a margin reads at a glance: clear, within the warn level of the edge, or outside.
enum class MarginLevel { Clear, Warn, Alarm };
MarginLevel LevelOfMargin(double margin, double warn = kDefaultMarginWarn);

// The margin of one teach row (columns as in ParameterSet::ctt) for a point and intensity.
double TeachRowMargin(const std::array<std::uint16_t, kTeachColumns>& row, double x, double y,
                      double intensity);

struct RowMargin {
    int row = 0;
    double margin = 0;

    bool operator==(const RowMargin&) const = default;
};

struct RecognitionMargin {
    // The row the sensor reported and its margin; for C-No 255 the nearest active row (largest
    // margin, the lower row on a tie), whose margin then says how far outside it the point lies.
    RowMargin first;
    // false: C-No 255 (no colour, or the error state), `first` is the nearest row.
    bool reported = false;
    // The largest margin among the other active rows; none when there is no other.
    std::optional<RowMargin> second;

    // The point lies in two rows at once.
    bool Ambiguous() const { return second && second->margin >= 0; }
    bool operator==(const RecognitionMargin&) const = default;
};

// The teach table in force, prepared once per parameter set so that a frame costs a few
// operations a row and two square roots.
class MarginTable {
  public:
    // The empty parameter set's: no active row, so a frame with C-No 255 has no margin.
    MarginTable() : MarginTable(ParameterSet{}) {}
    explicit MarginTable(const ParameterSet& params);

    // Rows 0 ... ActiveRows() - 1 are those the sensor evaluates (MAXCOL-No., at most 15).
    int ActiveRows() const { return activeRows_; }

    // The margins of a frame: its point (X/Y or s/i), intensity (INT or M) and C-No. The row is
    // always the one the sensor reported, even where this table would have chosen another (its
    // table may differ from ours, e.g. in the moment after a SEND). A C-No 0 ... 14 beyond the
    // active rows still gets its row's margin, as the row is stored in the sensor all the same;
    // any C-No that names no row (15 ... 254, above 255, negative) is taken as 255.
    // Without active rows and without a reported row: no margin.
    std::optional<RecognitionMargin> Evaluate(double x, double y, double intensity,
                                              std::int32_t colour) const;
    std::optional<RecognitionMargin> Evaluate(const LiveValues& live) const;

  private:
    // The square of max(d / CTO, |I - INT| / ITO), limited to 4 (a margin of -1): comparing
    // these needs no square root.
    double Reach2(int row, double x, double y, double intensity) const;

    int activeRows_ = 0;
    std::array<double, kTeachRows> x_{}, y_{}, int_{};
    // CTO^2 and ITO^2; a zero tolerance is marked in zeroCto_ / zeroIto_.
    std::array<double, kTeachRows> cto2_{}, ito2_{};
    std::array<bool, kTeachRows> zeroCto_{}, zeroIto_{};
};

// A frame's level: that of the row it was recognised in (or lies nearest to), and at least Warn
// while the point lies in two rows at once, where a little drift decides between two colours.
MarginLevel LevelOfMargin(const RecognitionMargin& margin, double warn = kDefaultMarginWarn);

// Row `row` is crowded by `neighbour`: both active, their intensity bands overlap, and the point
// of the neighbour's circle nearest to the row's centre (the centre itself when it lies inside
// that circle), at the neighbour's intensity nearest to the row's, still has a margin to the row
// above -warn. In the colour plane: the gap between the circles is less than warn x CTO of the
// row, so a point that strays that far beyond the row's edge is already in the neighbour.
// Not symmetric: the smaller circle is crowded first.
struct CrowdedRow {
    int row = 0;
    int neighbour = 0;

    bool operator==(const CrowdedRow&) const = default;
};
// Every crowded pair of the active rows, by row, then by neighbour.
std::vector<CrowdedRow> CrowdedRows(const ParameterSet& params, double warn = kDefaultMarginWarn);

// How well a row's circle holds the points recognised in it: the capability of the distance d
// from the centre against the radius, Cpu = (CTO - mean d) / (3 s_d), s_d the sample standard
// deviation. 1.33 or more is what process engineers call capable; below 1 about one point in a
// thousand lands outside. Collected one distance at a time (Welford's method: no list kept, and
// no cancellation over a day of frames).
class DistanceCapability {
  public:
    void Add(double distance);
    long long Count() const { return count_; }
    double MeanDistance() const { return mean_; }
    // The sample standard deviation; 0 below two distances.
    double Spread() const;
    // Nothing below two distances or without spread (every point on one spot): the ratio then
    // says nothing, and an infinite number would mislead.
    std::optional<double> Cpu(double radius) const;

  private:
    long long count_ = 0;
    double mean_ = 0;
    double sumSquares_ = 0;  // of the deviations from the running mean
};

}  // namespace tvx
