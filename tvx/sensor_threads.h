#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "sensor_link.h"
#include "tvx_options.h"

namespace tvx::cli {

// Runs job(link, index) for every sensor at once, each in a thread of its own with its own link,
// and returns when all have ended; the calling thread serves its events meanwhile. One slow
// sensor never holds up another.
void RunEachSensor(const std::vector<NamedSensor>& sensors,
                   const std::function<void(SensorLink&, std::size_t)>& job);

}  // namespace tvx::cli
