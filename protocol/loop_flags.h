#pragma once

#include <cstdint>

namespace tvx {

// The program-wide flags that keep the long loops going; any callback may clear them, and each loop
// reads its flag once per pass.
struct LoopFlags {
    std::uint16_t poll = 0;        // live data, zoom and calibration loops
    std::uint16_t pollrecord = 0;  // recorder loops
};

}  // namespace tvx
