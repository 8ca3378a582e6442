#pragma once

#include <array>
#include <cstdint>

namespace tvx {

// The display colours of the teach rows, 0x00RRGGBB: entries 0 ... 14 belong to rows 0 ... 14;
// entries 15 ... 44 are carried along (in memory and in colour-array files) but shown nowhere.
inline constexpr int kRowColourEntries = 45;
using RowColours = std::array<std::int32_t, kRowColourEntries>;

// The built-in colours: the 15 row colours, three times.
constexpr RowColours DefaultRowColours() {
    constexpr std::int32_t rows[15] = {0xFF0000, 0x80FF00, 0x0000FF, 0x000000, 0xFF80C0,
                                       0xFFFF00, 0x808000, 0x800080, 0x80FFFF, 0xFF0080,
                                       0x400080, 0xFF00FF, 0x008000, 0x408080, 0x800000};
    RowColours colours{};
    for (int i = 0; i < kRowColourEntries; ++i) colours[static_cast<std::size_t>(i)] = rows[i % 15];
    return colours;
}

}  // namespace tvx
