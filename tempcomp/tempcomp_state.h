#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "compensation.h"
#include "frames.h"
#include "handshake.h"
#include "link_state.h"
#include "loop_flags.h"

namespace tvx::tempcomp {

// The state of the tool's exchanges.
struct TempCompExchange {
    std::uint16_t sync = 85;
    std::uint16_t order = 1;
    VersionText version;  // the sensor's answer to the handshake
};

// Everything the temperature-compensation tool holds while it runs, owned by its main module.
struct TempCompState {
    LinkState link;
    FrameBuffers buffers;
    LoopFlags flags;
    TempCompExchange exchange;
    CompensationTables tables;
    std::array<std::uint16_t, kPpWords> pp{};  // staging area of the read-back replies

    QString proj_dir;
    QString ipComboBoxFileName;
    QString file_name;  // the last equation file chosen
};

}  // namespace tvx::tempcomp
