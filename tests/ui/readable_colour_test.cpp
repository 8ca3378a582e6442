// Contrast by the WCAG measure, and the text colour chosen for a coloured control.
#include <gtest/gtest.h>

#include "readable_colour.h"

namespace tvx {
namespace {

TEST(ReadableColour, ContrastFollowsTheWcagMeasure) {
    struct Case {
        std::uint32_t a, b;
        double ratio;
    };
    const Case cases[] = {
        {0x000000, 0xFFFFFF, 21.0}, {0xFFFFFF, 0x000000, 21.0}, {0x777777, 0xFFFFFF, 4.48},
        {0xE0E0E0, 0x00FF00, 1.04}, {0xFF0000, 0x000000, 5.25}, {0xFF0000, 0xFFFFFF, 4.0},
        {0x123456, 0x123456, 1.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(ContrastRatio(c.a, c.b), c.ratio, 0.01) << std::hex << c.a << " " << c.b;
}

TEST(ReadableColour, TextReadsOnEveryBackground) {
    // Every colour of a 4-bit-per-channel grid, the light and dark ends included.
    for (std::uint32_t r = 0; r < 256; r += 17)
        for (std::uint32_t g = 0; g < 256; g += 17)
            for (std::uint32_t b = 0; b < 256; b += 17) {
                const std::uint32_t background = r << 16 | g << 8 | b;
                const std::uint32_t text = ReadableTextColour(background);
                ASSERT_TRUE(text == 0x000000 || text == 0xFFFFFF);
                ASSERT_GE(ContrastRatio(text, background), 4.5) << std::hex << background;
                ASSERT_GE(ContrastRatio(text, background),
                          ContrastRatio(text ^ 0xFFFFFF, background));
            }
}

}  // namespace
}  // namespace tvx
