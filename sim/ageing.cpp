#include "ageing.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tvx::sim {

namespace {

constexpr double kPlaneScale = 4095.0;  // X + Y <= 4095, as the sensor computes them

// How far the point (x, y) may go along the unit vector (ux, uy) before it leaves the plane's
// triangle x >= 0, y >= 0, x + y <= 4095.
double RoomAlong(double x, double y, double ux, double uy) {
    double room = std::numeric_limits<double>::infinity();
    if (ux < 0) room = std::min(room, x / -ux);
    if (uy < 0) room = std::min(room, y / -uy);
    if (ux + uy > 0) room = std::min(room, (kPlaneScale - x - y) / (ux + uy));
    return std::max(room, 0.0);
}

}  // namespace

Sample Ageing::Apply(const Sample& sample, std::int64_t ms) const {
    const double minutes = static_cast<double>(ms) * timeScale / 60000.0;
    if (!(minutes > 0)) return sample;
    Sample out = sample;
    const double sum = out.r + out.g + out.b;
    if (driftPerMinute > 0 && sum > 0) {
        // Moving X and Y at the same sum moves R and G; B takes up the rest.
        const double x = kPlaneScale * out.r / sum, y = kPlaneScale * out.g / sum;
        const double way = std::min(driftPerMinute * minutes, RoomAlong(x, y, driftX, driftY));
        out.r = std::max(0.0, (x + way * driftX) * sum / kPlaneScale);
        out.g = std::max(0.0, (y + way * driftY) * sum / kPlaneScale);
        out.b = std::max(0.0, sum - out.r - out.g);
    }
    if (decayPercentPerMinute > 0) {
        const double left = std::pow(1.0 - decayPercentPerMinute / 100.0, minutes);
        out.r *= left;
        out.g *= left;
        out.b *= left;
    }
    out.temp += tempPerMinute * minutes;
    return out;
}

bool Ageing::ParseDrift(const QString& text, QString* error) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok[3] = {false, false, false};
    const double dx = parts.size() == 3 ? parts[0].toDouble(&ok[0]) : 0;
    const double dy = parts.size() == 3 ? parts[1].toDouble(&ok[1]) : 0;
    const double rate = parts.size() == 3 ? parts[2].toDouble(&ok[2]) : 0;
    const double length = std::hypot(dx, dy);
    if (!ok[0] || !ok[1] || !ok[2] || !(length > 0) || !std::isfinite(length) || !(rate >= 0) ||
        !std::isfinite(rate)) {
        if (error)
            *error = QStringLiteral(
                         "bad drift \"%1\": expected \"DX DY PER_MINUTE\", a direction and a "
                         "rate >= 0")
                         .arg(text);
        return false;
    }
    driftX = dx / length;
    driftY = dy / length;
    driftPerMinute = rate;
    return true;
}

}  // namespace tvx::sim
