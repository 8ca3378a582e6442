#include "teach_table.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tvx {

namespace {

int Value(const TeachTable& table, int row, int column) {
    return table[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool Within(int value, int low, int high) {
    return value >= low && value <= high;
}

}  // namespace

int ActiveTeachRows(const ParameterSet& params) {
    return static_cast<int>(std::min<std::uint32_t>(params.maxcolno, kTeachRows));
}

std::array<std::uint16_t, kTeachColumns> TaughtRow(std::uint16_t x, std::uint16_t y,
                                                   std::uint16_t intensity, std::uint16_t evalmode,
                                                   std::uint16_t pmode) {
    return {x, y, static_cast<std::uint16_t>(evalmode == 2 ? 40 : 100), intensity,
            static_cast<std::uint16_t>(pmode == 0 ? 100 : 20)};
}

int RowDistance(const TeachTable& table, int k, int i) {
    const double dx = std::abs(Value(table, k, kColumnX) - Value(table, i, kColumnX));
    const double dy = std::abs(Value(table, k, kColumnY) - Value(table, i, kColumnY));
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

bool BandsOverlap(const TeachTable& table, int k, int i) {
    const int lowK = Value(table, k, kColumnInt) - Value(table, k, kColumnIto);
    const int highK = Value(table, k, kColumnInt) + Value(table, k, kColumnIto);
    const int lowI = Value(table, i, kColumnInt) - Value(table, i, kColumnIto);
    const int highI = Value(table, i, kColumnInt) + Value(table, i, kColumnIto);
    return Within(lowI, lowK, highK) || Within(lowK, lowI, highI);
}

bool RowBlocks(const TeachTable& table, int k, int i) {
    const int radii = Value(table, k, kColumnCto) + Value(table, i, kColumnCto);
    return RowDistance(table, k, i) <= radii && BandsOverlap(table, k, i);
}

void AutoAdjustRadii(TeachTable& table, int activeRows) {
    const int rows = std::clamp(activeRows, 0, kTeachRows);
    for (int k = 0; k < rows; ++k) table[static_cast<std::size_t>(k)][kColumnCto] = 1;
    for (int step = 2; step <= kAutoAdjustMaxRadius; ++step) {
        for (int k = 0; k < rows; ++k) {
            bool blocked = false;
            for (int i = 0; i < rows && !blocked; ++i) blocked = i != k && RowBlocks(table, k, i);
            if (!blocked)
                table[static_cast<std::size_t>(k)][kColumnCto] = static_cast<std::uint16_t>(step);
        }
    }
}

CircleBounds CircleOfRow(const TeachTable& table, int row) {
    const int x = Value(table, row, kColumnX);
    const int y = Value(table, row, kColumnY);
    const int r = Value(table, row, kColumnCto);
    return {static_cast<double>(x - r), static_cast<double>(y - r), static_cast<double>(x + r),
            static_cast<double>(y + r)};
}

bool RowInOriginCorner(const TeachTable& table, int row) {
    return Value(table, row, kColumnX) <= 10 && Value(table, row, kColumnY) <= 10;
}

std::array<CircleBounds, 3> CircleOutlines(const CircleBounds& c) {
    return {c, CircleBounds{c.x1 + 0.025, c.y1 + 0.025, c.x2 + 0.025, c.y2 + 0.025},
            CircleBounds{c.x1 + 0.05, c.y1 + 0.05, c.x2 + 0.005, c.y2 + 0.005}};
}

ZoomBox ZoomBoxOfTable(const TeachTable& table) {
    ZoomBox box{10000, 0, 10000, 0};
    for (int row = 0; row < kTeachRows; ++row) {
        const int x = Value(table, row, kColumnX);
        const int y = Value(table, row, kColumnY);
        if (RowInOriginCorner(table, row)) continue;  // reset rows
        const int r = Value(table, row, kColumnCto);
        box.minX = std::min(box.minX, x - r);
        box.maxX = std::max(box.maxX, x + r);
        box.minY = std::min(box.minY, y - r);
        box.maxY = std::max(box.maxY, y + r);
    }
    if (box.maxX < box.minX) std::swap(box.minX, box.maxX);
    if (box.maxY < box.minY) std::swap(box.minY, box.maxY);
    return box;
}

namespace {

// The span and centre along one axis that keep the box and the measured value in view.
std::pair<int, int> SpanAndCentre(int low, int high, int value) {
    if (value > high) {
        const int span = value - low;
        return {span, low + span / 2};
    }
    if (value < low) {
        const int span = high - value;
        return {span, value + span / 2};
    }
    const int span = high - low;
    return {span, low + span / 2};
}

}  // namespace

ZoomWindow ZoomWindowFor(const ZoomBox& box, int x, int y) {
    constexpr int kMargin = 25;
    const auto [spanX, centreX] = SpanAndCentre(box.minX, box.maxX, x);
    const auto [spanY, centreY] = SpanAndCentre(box.minY, box.maxY, y);
    const int half = std::max(spanX, spanY) / 2;
    return {centreX - half - kMargin, centreX + half + kMargin, centreY - half - kMargin,
            centreY + half + kMargin};
}

}  // namespace tvx
