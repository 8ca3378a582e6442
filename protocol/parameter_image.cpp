#include "parameter_image.h"

#include "frames.h"

namespace tvx {

ParameterImage ImageOf(const ParameterSet& set) {
    ParameterImage image{};
    const std::uint32_t modeWords[16] = {set.power,    set.pmode,      set.average,  set.evalmode,
                                         set.hold,     set.intlim,     set.maxcolno, set.outmode,
                                         set.trigger,  set.exteach,    set.calcmode, set.dynwinlo,
                                         set.dynwinhi, set.colorgroup, set.frei15,   set.frei16};
    for (std::size_t i = 0; i < 16; ++i) image[i] = static_cast<std::uint16_t>(modeWords[i]);
    for (int r = 0; r < kTeachRows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        for (int c = 0; c < kTeachColumns; ++c)
            image[static_cast<std::size_t>(TeachRowWord(r, c))] =
                set.ctt[row][static_cast<std::size_t>(c)];
        image[static_cast<std::size_t>(TeachRowWord(r, kTeachColumns))] = set.groupbuf[row];
    }
    return image;
}

void TakeImage(const ParameterImage& image, ParameterSet& set) {
    TakeModeWords(image.data(), set);
    for (int r = 0; r < kTeachRows; ++r)
        TakeTeachRow(&image[static_cast<std::size_t>(TeachRowWord(r, 0))],
                     static_cast<std::size_t>(r), set);
}

ParameterSet ParameterSetOf(const ParameterImage& image) {
    ParameterSet set;
    TakeImage(image, set);
    return set;
}

}  // namespace tvx
