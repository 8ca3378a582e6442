#pragma once

#include <string>
#include <string_view>

#include "compensation.h"

namespace tvx::tempcomp {

// Reading or writing an equation file: the coefficients, or why the file was refused.
struct EquationFileResult {
    bool ok = false;
    Coefficients coefficients{};
    std::string error;  // a sentence for the user when !ok
};

// Writes the 15 coefficients, one per line, each right-aligned in a 10-character field (a longer
// number overflows it) in the shortest form that reads back to the same double; lines end in
// "\n". Replaces any earlier content.
EquationFileResult WriteEquationFile(const std::string& path, const Coefficients& coefficients);

// Reads an equation file: exactly 15 finite decimal numbers, one per line, blanks around a number
// allowed, "\r\n" line ends too, empty lines only after the last number. Anything else is
// refused, naming the line.
EquationFileResult ReadEquationFile(const std::string& path);
// The same rules on text already read.
EquationFileResult ParseEquationText(const std::string& text);
// The file's text for the coefficients.
std::string FormatEquationText(const Coefficients& coefficients);

// One coefficient as the file and the coefficient boxes write it: the shortest decimal text that
// reads back to the same double ("1000", "-1.25e-07", "1.2345678901234567e-300").
std::string FormatCoefficient(double value);
// One coefficient as the file and the coefficient boxes take it: a finite decimal number in
// plain or exponent notation, an optional sign, blanks around it. False when it is none.
bool ParseCoefficient(std::string_view text, double& value);

}  // namespace tvx::tempcomp
