#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "frames.h"
#include "link_state.h"
#include "loop_flags.h"
#include "parameter_set.h"
#include "scope_commands.h"

namespace tvx {

inline constexpr int kRampPoints = 4096;

// Everything the scope holds while it runs, owned by its main module.
struct ScopeState {
    LinkState link;
    FrameBuffers buffers;
    ParameterSet params;
    LiveValues live;
    LoopFlags flags;
    ExchangeState exchange;

    ProgramFiles files;  // proj_dir and the last selected file
    QString ipComboBoxFileName;
    QString colorArrayStartupFileName;

    // The line X + Y = 4095, the border of the X/Y colour plane.
    std::array<std::uint16_t, kRampPoints> xramp{};
    std::array<std::uint16_t, kRampPoints> yramp{};
};

}  // namespace tvx
