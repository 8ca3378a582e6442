#pragma once

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>

#include "calibration.h"
#include "frames.h"
#include "link_state.h"
#include "loop_flags.h"
#include "parameter_set.h"

namespace tvx::calib {

// The state of the tool's exchanges.
struct CalibExchange {
    std::uint16_t order = 1;
    std::uint16_t target = RAM;
    std::uint16_t comecho = 0;  // 1 while the current parameter transfer is acknowledged
    // The sensor's answer to the handshake; the last two bytes always end the text.
    std::array<char, 38> version{};

    QString VersionText() const {
        const auto end = std::find(version.begin(), version.end(), '\0');
        return QString::fromLatin1(version.data(), static_cast<qsizetype>(end - version.begin()));
    }
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
