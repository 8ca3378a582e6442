#pragma once

#include <cstdint>

namespace tvx {

// Contrast of colours (0xRRGGBB) as the WCAG measure it: relative luminance of the sRGB channels,
// and the ratio (L1 + 0.05) / (L2 + 0.05) of the lighter to the darker.
double RelativeLuminance(std::uint32_t rgb);
double ContrastRatio(std::uint32_t a, std::uint32_t b);

// The text colour for a coloured display or button: black or white, whichever contrasts more
// with the background. Either way the contrast is at least 4.58:1.
std::uint32_t ReadableTextColour(std::uint32_t background);

}  // namespace tvx
