// The text colour chosen for a coloured control.
#include <gtest/gtest.h>

#include <tuple>

#include "readable_colour.h"

namespace tvx {
namespace {

TEST(ReadableColour, TextReadsOnEveryBackgroundByTheWcagMeasure) {
    const std::tuple<std::uint32_t, std::uint32_t, double> cases[] = {
        {0x000000, 0xFFFFFF, 21.0}, {0xFFFFFF, 0x000000, 21.0}, {0x777777, 0xFFFFFF, 4.48},
        {0xE0E0E0, 0x00FF00, 1.04}, {0xFF0000, 0x000000, 5.25}, {0x123456, 0x123456, 1.0},
    };
    for (const auto& [a, b, ratio] : cases)
        EXPECT_NEAR(ContrastRatio(a, b), ratio, 0.01) << std::hex << a << " " << b;
    // Every colour of a 4-bit-per-channel grid, the light and dark ends included.
    for (std::uint32_t background = 0; background <= 0xFFFFFF; background += 0x11)
        if ((background & 0xF0F0F0) >> 4 == (background & 0x0F0F0F)) {
            const std::uint32_t text = ReadableTextColour(background);
            ASSERT_TRUE(text == 0x000000 || text == 0xFFFFFF);
            ASSERT_GE(ContrastRatio(text, background), 4.5) << std::hex << background;
            ASSERT_GE(ContrastRatio(text, background), ContrastRatio(text ^ 0xFFFFFF, background));
        }
}

}  // namespace
}  // namespace tvx
