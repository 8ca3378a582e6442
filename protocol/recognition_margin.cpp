#include "recognition_margin.h"

#include <algorithm>
#include <cmath>

#include "teach_table.h"

namespace tvx {

namespace {

// A term's square: (difference / tolerance)^2, or for a zero tolerance 1 at no difference and 4
// at any other. Divided, not multiplied by a reciprocal: whole-numbered squares then give exactly
// 1 on the edge, so an edge point has a margin of exactly 0 and the sign of every margin is the
// sensor's d^2 <= CTO^2.
double Term2(double difference2, double tolerance2, bool zero) {
    if (zero) return difference2 == 0 ? 1.0 : 4.0;
    return difference2 / tolerance2;
}

// The larger term. Beyond a margin of -1 every point is as far out, and so is a point that is not
// a number (either term NaN).
double Reach2Of(double d2, double i2) {
    if (!(d2 <= 4.0) || !(i2 <= 4.0)) return 4.0;
    return d2 > i2 ? d2 : i2;
}

double MarginOf(double reach2) {
    return 1.0 - std::sqrt(reach2);
}

double Square(std::uint16_t tolerance) {
    return static_cast<double>(tolerance) * tolerance;
}

}  // namespace

double TeachRowMargin(const std::array<std::uint16_t, kTeachColumns>& row, double x, double y,
                      double intensity) {
    const double dx = x - row[kColumnX], dy = y - row[kColumnY], di = intensity - row[kColumnInt];
    const double d2 = Term2(dx * dx + dy * dy, Square(row[kColumnCto]), row[kColumnCto] == 0);
    const double i2 = Term2(di * di, Square(row[kColumnIto]), row[kColumnIto] == 0);
    return MarginOf(Reach2Of(d2, i2));
}

MarginTable::MarginTable(const ParameterSet& params) : activeRows_(ActiveTeachRows(params)) {
    for (std::size_t r = 0; r < kTeachRows; ++r) {
        const auto& row = params.ctt[r];
        x_[r] = row[kColumnX];
        y_[r] = row[kColumnY];
        int_[r] = row[kColumnInt];
        cto2_[r] = Square(row[kColumnCto]);
        ito2_[r] = Square(row[kColumnIto]);
        zeroCto_[r] = row[kColumnCto] == 0;
        zeroIto_[r] = row[kColumnIto] == 0;
    }
}

double MarginTable::Reach2(int row, double x, double y, double intensity) const {
    const auto r = static_cast<std::size_t>(row);
    const double dx = x - x_[r], dy = y - y_[r], di = intensity - int_[r];
    const double d2 = Term2(dx * dx + dy * dy, cto2_[r], zeroCto_[r]);
    const double i2 = Term2(di * di, ito2_[r], zeroIto_[r]);
    return Reach2Of(d2, i2);
}

std::optional<RecognitionMargin> MarginTable::Evaluate(double x, double y, double intensity,
                                                       std::int32_t colour) const {
    const bool reported = colour >= 0 && colour < kTeachRows;
    // The active rows' reaches once; the reported row's too when it lies beyond them.
    std::array<double, kTeachRows> reach2{};
    for (int r = 0; r < activeRows_; ++r)
        reach2[static_cast<std::size_t>(r)] = Reach2(r, x, y, intensity);

    RecognitionMargin result;
    result.reported = reported;
    double firstReach2 = 0;
    if (reported) {
        result.first.row = colour;
        firstReach2 = colour < activeRows_ ? reach2[static_cast<std::size_t>(colour)]
                                           : Reach2(colour, x, y, intensity);
    } else {
        if (activeRows_ == 0) return std::nullopt;
        int nearest = 0;
        for (int r = 1; r < activeRows_; ++r)
            if (reach2[static_cast<std::size_t>(r)] < reach2[static_cast<std::size_t>(nearest)])
                nearest = r;
        result.first.row = nearest;
        firstReach2 = reach2[static_cast<std::size_t>(nearest)];
    }
    result.first.margin = MarginOf(firstReach2);

    int other = -1;
    for (int r = 0; r < activeRows_; ++r) {
        if (r == result.first.row) continue;
        if (other < 0 ||
            reach2[static_cast<std::size_t>(r)] < reach2[static_cast<std::size_t>(other)])
            other = r;
    }
    if (other >= 0)
        result.second = RowMargin{other, MarginOf(reach2[static_cast<std::size_t>(other)])};
    return result;
}

std::optional<RecognitionMargin> MarginTable::Evaluate(const LiveValues& live) const {
    return Evaluate(live.dataX, live.dataY, live.dataINT, live.dataCOL);
}

MarginLevel LevelOfMargin(double margin, double warn) {
    if (!(margin >= 0)) return MarginLevel::Alarm;
    return margin < warn ? MarginLevel::Warn : MarginLevel::Clear;
}

MarginLevel LevelOfMargin(const RecognitionMargin& margin, double warn) {
    const MarginLevel level = LevelOfMargin(margin.first.margin, warn);
    return level == MarginLevel::Clear && margin.Ambiguous() ? MarginLevel::Warn : level;
}

namespace {

// The margin to row r of the point of row n's circle nearest to r's centre, at the intensity of
// n's band nearest to r's.
double MarginOfNeighbourEdge(const TeachTable& table, int r, int n) {
    const auto& row = table[static_cast<std::size_t>(r)];
    const auto& neighbour = table[static_cast<std::size_t>(n)];
    const double dx = double(row[kColumnX]) - neighbour[kColumnX];
    const double dy = double(row[kColumnY]) - neighbour[kColumnY];
    const double d = std::hypot(dx, dy);
    const double radius = neighbour[kColumnCto];
    double x = row[kColumnX], y = row[kColumnY];
    if (d > radius) {
        x = neighbour[kColumnX] + dx * radius / d;
        y = neighbour[kColumnY] + dy * radius / d;
    }
    const double intensity =
        std::clamp<double>(row[kColumnInt], double(neighbour[kColumnInt]) - neighbour[kColumnIto],
                           double(neighbour[kColumnInt]) + neighbour[kColumnIto]);
    return TeachRowMargin(row, x, y, intensity);
}

}  // namespace

std::vector<CrowdedRow> CrowdedRows(const ParameterSet& params, double warn) {
    // A gap of exactly warn x CTO leaves exactly the warn level; the edge point's square root
    // must not turn that into a hair less.
    constexpr double kRounding = 1e-9;
    const int rows = ActiveTeachRows(params);
    std::vector<CrowdedRow> crowded;
    for (int r = 0; r < rows; ++r)
        for (int n = 0; n < rows; ++n)
            if (n != r && BandsOverlap(params.ctt, r, n) &&
                MarginOfNeighbourEdge(params.ctt, r, n) > -warn + kRounding)
                crowded.push_back({r, n});
    return crowded;
}

void DistanceCapability::Add(double distance) {
    if (!std::isfinite(distance)) return;
    ++count_;
    const double delta = distance - mean_;
    mean_ += delta / static_cast<double>(count_);
    sumSquares_ += delta * (distance - mean_);
}

double DistanceCapability::Spread() const {
    if (count_ < 2) return 0;
    return std::sqrt(sumSquares_ / static_cast<double>(count_ - 1));
}

std::optional<double> DistanceCapability::Cpu(double radius) const {
    const double spread = Spread();
    if (count_ < 2 || !(spread > 0)) return std::nullopt;
    return (radius - mean_) / (3 * spread);
}

}  // namespace tvx
