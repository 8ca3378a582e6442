#include "equation_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace tvx::tempcomp {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

bool ParseCoefficient(std::string_view field, double& value) {
    while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
    while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
    // One sign at most: a '+' must be followed by the number itself, not by another sign.
    if (!field.empty() && field.front() == '+') {
        field.remove_prefix(1);
        if (field.empty() || field.front() == '+' || field.front() == '-') return false;
    }
    if (field.empty()) return false;
    double parsed = 0.0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), parsed,
                                           std::chars_format::general);
    if (ec != std::errc{} || end != field.data() + field.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::string FormatCoefficient(double value) {
    char number[64];
    const auto [end, ec] = std::to_chars(number, number + sizeof number, value);
    return std::string(number, ec == std::errc{} ? end : number);
}

std::string FormatEquationText(const Coefficients& coefficients) {
    std::string text;
    for (double value : coefficients) {
        std::string field = FormatCoefficient(value);
        if (field.size() < 10) field.insert(0, 10 - field.size(), ' ');
        text += field;
        text += '\n';
    }
    return text;
}

EquationFileResult ParseEquationText(const std::string& text) {
    EquationFileResult result;
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    // Empty lines at the end (a final line end, an editor's extra line) are no values.
    while (!lines.empty() && lines.back().find_first_not_of(" \t") == std::string::npos)
        lines.pop_back();
    if (lines.size() != kCoefficients) {
        result.error = "The equation file holds " + std::to_string(lines.size()) +
                       " lines instead of 15 coefficients.";
        return result;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!ParseCoefficient(lines[i], result.coefficients[i])) {
            result.error = "Line " + std::to_string(i + 1) +
                           " of the equation file is not a number: \"" + lines[i] + "\".";
            return result;
        }
    }
    result.ok = true;
    return result;
}

EquationFileResult ReadEquationFile(const std::string& path) {
    EquationFileResult result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = "The equation file cannot be opened.";
        return result;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) {
            result.error = "The file is far too long for an equation file.";
            return result;
        }
    }
    if (in.bad()) {
        result.error = "The equation file cannot be read.";
        return result;
    }
    return ParseEquationText(text);
}

EquationFileResult WriteEquationFile(const std::string& path, const Coefficients& coefficients) {
    EquationFileResult result;
    result.coefficients = coefficients;
    const std::string text = FormatEquationText(coefficients);
    // Written beside the file and then renamed over it: a failed write leaves the old file whole.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out << text;
            out.flush();
        }
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            result.error = "The equation file cannot be written.";
            return result;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        result.error = "The equation file cannot be written.";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace tvx::tempcomp
