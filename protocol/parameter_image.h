#pragma once

#include <array>
#include <cstdint>

#include "parameter_set.h"

namespace tvx {

// The 106-word parameter image: the sixteen mode words, then each teach row's five columns and
// its colour group. It is what a parameter file (".dat") holds, word k on line k, and what SEND
// puts on the wire.
using ParameterImage = std::array<std::uint16_t, anzpara>;

// The set as an image; wider fields give their low 16 bits.
ParameterImage ImageOf(const ParameterSet& set);
// Takes every word of the image into `set` (what the image does not hold, the unused group
// entry, stays); a MAXCOL-No. above 15 is taken as 15.
void TakeImage(const ParameterImage& image, ParameterSet& set);
// A new set made from the image alone.
ParameterSet ParameterSetOf(const ParameterImage& image);

}  // namespace tvx
