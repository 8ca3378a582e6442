#pragma once

#include <cstdint>

#include "sensor_state.h"

namespace tvx::sim {

// What the sensor looks at: the reflected red, green and blue signal (0..4095 before
// calibration) and its own temperature in °C.
struct Sample {
    double r = 2000;
    double g = 1200;
    double b = 800;
    double temp = 25;

    bool operator==(const Sample&) const = default;
};

// One evaluated measurement: the contents of a data frame.
struct Measurement {
    std::uint16_t rawR = 0, rawG = 0, rawB = 0;  // before calibration
    std::uint16_t calR = 0, calG = 0, calB = 0;  // calibrated and temperature compensated
    std::uint16_t x = 0;                         // X, or s in calculation mode 1
    std::uint16_t y = 0;                         // Y, or i
    std::uint16_t intensity = 0;                 // INT, or M
    std::uint16_t colour = 255;                  // C-No: teach row 0..14, 255 = none / error
    std::uint16_t temp = 0;
    std::uint16_t group = 0;
};

inline constexpr std::uint16_t kNoColour = 255;

// The colour-plane point and intensity of calibrated R, G, B.
struct PlanePoint {
    std::uint16_t x = 0, y = 0, intensity = 0;
};
PlanePoint ComputePlanePoint(std::uint16_t r, std::uint16_t g, std::uint16_t b, int calcmode,
                             const std::array<std::uint16_t, kRootTableSize>& rootTable);

// The teach-table evaluation of a point: colour number and group.
struct Evaluation {
    std::uint16_t colour = kNoColour;
    std::uint16_t group = 0;
};
Evaluation EvaluatePoint(const ParameterImage& image, const PlanePoint& point);

// The whole measurement chain on the working parameters: raw signal (clamped, with the given
// noise offsets added), calibration, temperature compensation, plane point, evaluation.
Measurement Measure(const SensorState& state, const Sample& sample, int noiseR = 0, int noiseG = 0,
                    int noiseB = 0);

// Packs a measurement as the data frame reply (words 0-1: sync, order).
void PackDataFrame(const Measurement& m, std::uint16_t order, std::uint8_t* frame36);

}  // namespace tvx::sim
