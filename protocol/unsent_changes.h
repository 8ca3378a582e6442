#pragma once

#include <QString>
#include <vector>

#include "parameter_set.h"

namespace tvx {

// Unsent work: the values on the panels that differ from the last parameter set the program and
// the sensor (or a parameter file) agreed on, by sending, reading, saving or loading it. A read
// that would replace such values asks first, so that taught rows are not lost unnoticed.

// Words of the parameter image (numbered as in a parameter file) whose value in `shown` differs
// from `baseline`, ascending.
std::vector<int> UnsentWords(const ParameterSet& shown, const ParameterSet& baseline);

// Where an image word is edited: a mode word's control, a teach-table cell or a group cell.
struct ImageWordPlace {
    enum Kind { ModeWord, TeachCell, GroupCell } kind = ModeWord;
    int row = 0;     // teach row, for teach and group cells
    int column = 0;  // teach column 0 ... 4 of a teach cell; the word itself for a mode word
};
ImageWordPlace PlaceOfImageWord(int word);

inline constexpr const char* kUnsentChangesTitle = "UNSENT CHANGES";

// The question asked before a read replaces `count` unsent values.
QString UnsentChangesQuestion(int count);
// The question asked before the program ends with `count` unsent values.
QString UnsentChangesCloseQuestion(int count);

}  // namespace tvx
