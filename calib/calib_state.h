#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "calibration.h"
#include "frames.h"
#include "handshake.h"
#include "link_state.h"
#include "loop_flags.h"
#include "parameter_set.h"

namespace tvx::calib {

// The state of the tool's exchanges.
struct CalibExchange {
    std::uint16_t order = 1;
    std::uint16_t target = RAM;
    std::uint16_t comecho = 0;  // 1 while the current parameter transfer is acknowledged
    VersionText version;        // the sensor's answer to the handshake
};

// Everything the calibration tool holds while it runs, owned by its main module.
struct CalibState {
    LinkState link;
    FrameBuffers buffers;
    LoopFlags flags;
    CalibExchange exchange;
    CalibLiveValues live;
    CalibrationValues calib;

    QString proj_dir;
    QString ipComboBoxFileName;
};

}  // namespace tvx::calib
