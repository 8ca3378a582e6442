#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "measurement.h"

namespace tvx::sim {

// A sensor that ages while it runs, so that a drift estimate or a margin alarm can be watched
// at work: the measured point wanders off, the light fades, the sensor warms. The time is the
// measurement clock (milliseconds since the simulator started, or the test's clock) times
// `timeScale`, counted in minutes; at time scale 600 one second is ten minutes.
struct Ageing {
    // The point (X, Y, as the sample's R, G, B give it before calibration) moves toward the
    // direction (driftX, driftY), a unit vector, by driftPerMinute colour-plane units a minute
    // at the same R + G + B, and stops on the edge of the plane (X, Y >= 0, X + Y <= 4095).
    double driftX = 0, driftY = 0;
    double driftPerMinute = 0;
    // R, G and B each fall by this share a minute, compounded: (1 - P / 100)^minutes.
    double decayPercentPerMinute = 0;
    // The temperature rises (falls, when negative) by this many °C a minute.
    double tempPerMinute = 0;
    double timeScale = 1;

    bool operator==(const Ageing&) const = default;

    // The sample as the aged sensor sees it `ms` after the start.
    Sample Apply(const Sample& sample, std::int64_t ms) const;

    // "DX DY PER_MINUTE": a direction not (0, 0) and a rate >= 0. On failure returns false and
    // sets *error.
    bool ParseDrift(const QString& text, QString* error);
};

}  // namespace tvx::sim
