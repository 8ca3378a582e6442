#include "unsent_changes.h"

#include "frames.h"
#include "parameter_image.h"

namespace tvx {

std::vector<int> UnsentWords(const ParameterSet& shown, const ParameterSet& baseline) {
    const ParameterImage now = ImageOf(shown);
    const ParameterImage then = ImageOf(baseline);
    std::vector<int> words;
    for (int word = 0; word < anzpara; ++word)
        if (now[static_cast<std::size_t>(word)] != then[static_cast<std::size_t>(word)])
            words.push_back(word);
    return words;
}

ImageWordPlace PlaceOfImageWord(int word) {
    if (word < TeachRowWord(0, 0)) return {ImageWordPlace::ModeWord, 0, word};
    const int row = (word - TeachRowWord(0, 0)) / 6;
    const int column = (word - TeachRowWord(0, 0)) % 6;
    if (column == kTeachColumns) return {ImageWordPlace::GroupCell, row, 0};
    return {ImageWordPlace::TeachCell, row, column};
}

QString UnsentChangesQuestion(int count) {
    if (count == 1)
        return QStringLiteral(
            "1 value differs from the sensor and has not been sent.\nReplace it with what is "
            "read?");
    return QStringLiteral(
               "%1 values differ from the sensor and have not been sent.\n"
               "Replace them with what is read?")
        .arg(count);
}

QString UnsentChangesCloseQuestion(int count) {
    if (count == 1)
        return QStringLiteral(
            "1 value differs from the sensor and has not been sent.\nClose the program and lose "
            "it?");
    return QStringLiteral(
               "%1 values differ from the sensor and have not been sent.\n"
               "Close the program and lose them?")
        .arg(count);
}

}  // namespace tvx
