#pragma once

#include <QString>
#include <optional>

#include "row_colours.h"

namespace tvx {

// Colour-array files (".car"): the 45 row-colour entries as decimal integers, one per line, each
// right-aligned in a 10-character field. The start-up pointer file names the colour-array file
// the scope loads when it starts: exactly 260 bytes, the path as 8-bit characters followed by
// zero bytes.

inline constexpr int kColourFieldWidth = 10;
inline constexpr int kPointerFileBytes = 260;

struct ColourFileResult {
    bool ok = true;
    QString message;  // for the user when ok is false: names the file and the reason
};

// Writes all 45 entries. The previous file is replaced only once the new one is complete.
ColourFileResult WriteColourArrayFile(const QString& path, const RowColours& colours);

struct ColourArrayRead {
    int entriesRead = 0;  // entries taken from the file, from entry 0 on
    QString message;      // for the user when the file could not be read whole
    bool ok() const { return entriesRead == kRowColourEntries && message.isEmpty(); }
};

// Reads decimal integers separated by white space into the entries, from entry 0 on. Reading
// stops at the first thing that is not a 32-bit integer or after 45 entries; the entries not read
// keep their values.
ColourArrayRead ReadColourArrayFile(const QString& path, RowColours& colours);

// Writes the pointer file naming `colourArrayPath`. A path that does not fit into 259 bytes is
// refused (it could not be read back whole).
ColourFileResult WriteStartupPointerFile(const QString& pointerPath,
                                         const QString& colourArrayPath);

// The path named by the pointer file, or nothing when the file is missing or not 260 bytes.
std::optional<QString> ReadStartupPointerFile(const QString& pointerPath);

}  // namespace tvx
