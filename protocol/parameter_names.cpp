#include "parameter_names.h"

#include <QStringList>
#include <algorithm>

#include "frames.h"

namespace tvx {

namespace {

// "→" between an old and a new value.
const QString& Arrow() {
    static const QString arrow = QStringLiteral(" \u2192 ");
    return arrow;
}

QString Label(int word) {
    return QString::fromLatin1(ModeWordNames()[static_cast<std::size_t>(word)].label);
}

// "PMOD DYN": a word with its value as the panel shows it.
QString Setting(int word, std::uint16_t value) {
    return Label(word) + QLatin1Char(' ') + ModeWordValueText(word, value);
}

bool RingHas(const ModeWordName& name, std::uint16_t value) {
    return std::any_of(name.items.begin(), name.items.end(),
                       [&](const RingItem& item) { return item.code == value; });
}

// Values the panel's controls cannot take. A number beyond its control's range is shown (and
// sent again) at the nearest bound; a code that no item of a ring has leaves the ring showing
// what it showed before, which depends on what the panel held.
void CheckControlRanges(ParameterImage& image, PanelFindings& findings) {
    for (int word = 0; word < anzdata; ++word) {
        const ModeWordName& name = ModeWordNames()[static_cast<std::size_t>(word)];
        std::uint16_t& value = image[static_cast<std::size_t>(word)];
        if (!name.items.empty()) {
            if (RingHas(name, value)) continue;
            QStringList offered;
            for (const RingItem& item : name.items)
                offered << QStringLiteral("%1 = %2").arg(item.code).arg(QLatin1String(item.label));
            findings.adjustments.push_back(
                QStringLiteral("%1 %2 is no setting of the panel (%3); the scope would keep the "
                               "one it showed before")
                    .arg(Label(word))
                    .arg(value)
                    .arg(offered.join(QStringLiteral(", "))));
            continue;
        }
        const std::uint16_t bounded = static_cast<std::uint16_t>(
            std::clamp<std::uint32_t>(value, name.minimum, name.maximum));
        if (bounded == value) continue;
        findings.adjustments.push_back(QStringLiteral("%1 %2%3%4 (the panel takes %5 ... %6)")
                                           .arg(Label(word))
                                           .arg(value)
                                           .arg(Arrow())
                                           .arg(bounded)
                                           .arg(name.minimum)
                                           .arg(name.maximum));
        value = bounded;
    }
}

// The word whose setting forces a control, for saying why.
struct ForcedControl {
    ControlState ControlStates::*control;
    int word;
    int causeWord;
};
constexpr ForcedControl kForcedControls[] = {
    {&ControlStates::intlim, kIntlim, kPmode},
    {&ControlStates::exteach, kExteach, kTrigger},
    {&ControlStates::trigger, kTrigger, kExteach},
    {&ControlStates::pmode, kPmode, kExteach},
    {&ControlStates::colorgroup, kColorgroup, kEvalmode},
    {&ControlStates::maxcolno, kMaxcolno, kEvalmode},
    {&ControlStates::outmode, kOutmode, kEvalmode},
};

}  // namespace

const std::array<ModeWordName, anzdata>& ModeWordNames() {
    const auto number = [](const char* key, const char* label, std::uint32_t minimum = 0,
                           std::uint32_t maximum = 0xFFFF) {
        return ModeWordName{key, label, {}, minimum, maximum};
    };
    const auto ring = [](const char* key, const char* label, std::span<const RingItem> items) {
        return ModeWordName{key, label, items, 0, 0xFFFF};
    };
    static const std::array<ModeWordName, anzdata> names = {
        number("power", "POWER", 0, kPowerMax),
        ring("pmode", "PMOD", kPmodeItems),
        number("average", "AVERAGE"),
        ring("evalmode", "EVAL MODE", kEvalmodeItems),
        number("hold", "HOLD"),
        number("intlim", "INT LIMIT"),
        number("maxcolno", "MAXCOL-No.", 1, kMaxColNoLimit),
        ring("outmode", "OUTMODE", kOutmodeItems),
        ring("trigger", "TRIGGER", kTriggerItems),
        ring("exteach", "EXT. TEACH", kExteachItems),
        ring("calcmode", "CALC MODE", kCalcmodeItems),
        number("dynwinlo", "DYN WIN LO"),
        number("dynwinhi", "DYN WIN HI"),
        ring("colorgroup", "COLOR GROUPS", kColorgroupItems),
        number("frei15", "SPARE 15"),
        number("frei16", "SPARE 16"),
    };
    return names;
}

QString ModeWordValueText(int word, std::uint16_t value) {
    for (const RingItem& item : ModeWordNames()[static_cast<std::size_t>(word)].items)
        if (item.code == value) return QString::fromLatin1(item.label);
    return QString::number(value);
}

QString TeachColumnName(int column, std::uint16_t calcmodeA, std::uint16_t calcmodeB) {
    if (column == kTeachColumns) return QStringLiteral("group");
    const auto name = [&](std::uint16_t calcmode) {
        return QString::fromLatin1(TeachColumnNames(calcmode)[static_cast<std::size_t>(column)]);
    };
    const QString a = name(calcmodeA);
    const QString b = name(calcmodeB);
    return a == b ? a : a + QLatin1Char('/') + b;
}

std::vector<ParameterDifference> NamedDifferences(const ParameterImage& a,
                                                  const ParameterImage& b) {
    std::vector<ParameterDifference> differences;
    for (int word = 0; word < anzdata; ++word) {
        const std::uint16_t from = a[static_cast<std::size_t>(word)];
        const std::uint16_t to = b[static_cast<std::size_t>(word)];
        if (from == to) continue;
        differences.push_back({Label(word), from, to,
                               Label(word) + QLatin1Char(' ') + ModeWordValueText(word, from) +
                                   Arrow() + ModeWordValueText(word, to)});
    }
    // A calculation mode other than 1 names the columns as mode 0 does.
    const auto calcmode = [](const ParameterImage& image) -> std::uint16_t {
        return image[kCalcmode] == 1 ? 1 : 0;
    };
    for (int row = 0; row < kTeachRows; ++row) {
        for (int column = 0; column <= kTeachColumns; ++column) {
            const auto word = static_cast<std::size_t>(TeachRowWord(row, column));
            if (a[word] == b[word]) continue;
            const QString cell = QStringLiteral("row %1 %2")
                                     .arg(row)
                                     .arg(TeachColumnName(column, calcmode(a), calcmode(b)));
            differences.push_back(
                {cell, a[word], b[word],
                 QStringLiteral("%1 %2%3%4").arg(cell).arg(a[word]).arg(Arrow()).arg(b[word])});
        }
    }
    return differences;
}

std::vector<QString> ParameterDifferences(const ParameterImage& a, const ParameterImage& b) {
    std::vector<QString> lines;
    for (const ParameterDifference& difference : NamedDifferences(a, b))
        lines.push_back(difference.line);
    return lines;
}

PanelFindings FindPanelAdjustments(const ParameterImage& image) {
    PanelFindings findings;
    ParameterImage shown = image;
    CheckControlRanges(shown, findings);
    const ParameterSet set = ParameterSetOf(shown);
    const ControlStates states = ApplyModeRules(set);
    for (const ForcedControl& forced : kForcedControls) {
        const std::optional<std::uint16_t> value = (states.*forced.control).forced;
        const std::uint16_t before = shown[static_cast<std::size_t>(forced.word)];
        if (!value || *value == before) continue;
        findings.adjustments.push_back(
            Setting(forced.word, before) + Arrow() + ModeWordValueText(forced.word, *value) +
            QStringLiteral(" (forced by ") +
            Setting(forced.causeWord, shown[static_cast<std::size_t>(forced.causeWord)]) +
            QLatin1Char(')'));
    }
    findings.warnings = states.warnings;
    return findings;
}

QString ModeWarningLine(ModeWarning warning) {
    // The pop-up's lines after its "ATTENTION!", joined into one sentence by sentence.
    QString line;
    for (const QString& part : QString::fromLatin1(ModeWarningText(warning)).split('\n')) {
        const QString text = part.trimmed();
        if (text.isEmpty() || text == QLatin1String("ATTENTION!")) continue;
        if (!line.isEmpty()) line += QString::fromLatin1(line.back().isPunct() ? " " : ". ");
        line += text;
    }
    return line;
}

std::vector<QString> PanelFindings::Lines() const {
    std::vector<QString> lines = adjustments;
    for (ModeWarning warning : warnings) lines.push_back(ModeWarningLine(warning));
    return lines;
}

}  // namespace tvx
