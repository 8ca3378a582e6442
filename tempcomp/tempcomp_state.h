#pragma once

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>

#include "compensation.h"
#include "frames.h"
#include "link_state.h"
#include "loop_flags.h"

namespace tvx::tempcomp {

// The state of the tool's exchanges.
struct TempCompExchange {
    std::uint16_t anzframe = 18;  // words per request frame
    std::uint16_t anzdata = 16;
    std::uint16_t sync = 85;
    std::uint16_t order = 1;
    // The sensor's answer to the handshake; the last two bytes always end the text.
    std::array<char, 38> version{};

    QString VersionText() const {
        const auto end = std::find(version.begin(), version.end(), '\0');
        return QString::fromLatin1(version.data(), static_cast<qsizetype>(end - version.begin()));
    }
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
