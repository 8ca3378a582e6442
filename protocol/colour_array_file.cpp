#include "colour_array_file.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <limits>

namespace tvx {
namespace {

// No colour-array file comes near this; a wrongly chosen large file is not read whole.
constexpr qint64 kMaxColourFileBytes = 64 * 1024;

ColourFileResult WriteWhole(const QString& path, const QByteArray& bytes, const QString& what) {
    // Unbuffered, as the parameter file: a write that does not fit fails here and not inside
    // commit(), which would put the short file in place.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size();
    if (!written || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false,
                QStringLiteral("The %1 could not be written:\n%2\n%3").arg(what, path, reason)};
    }
    return {};
}

}  // namespace

ColourFileResult WriteColourArrayFile(const QString& path, const RowColours& colours) {
    QByteArray text;
    text.reserve(kRowColourEntries * (kColourFieldWidth + 1));
    for (std::int32_t colour : colours) {
        text += QByteArray::number(colour).rightJustified(kColourFieldWidth, ' ');
        text += '\n';
    }
    return WriteWhole(path, text, QStringLiteral("colour-array file"));
}

ColourArrayRead ReadColourArrayFile(const QString& path, RowColours& colours) {
    ColourArrayRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.message = QStringLiteral("The colour-array file could not be read:\n%1\n%2")
                             .arg(path, file.errorString());
        return result;
    }
    const QByteArray text = file.read(kMaxColourFileBytes + 1);
    const QList<QByteArray> fields = text.simplified().split(' ');
    for (const QByteArray& field : fields) {
        if (field.isEmpty() || result.entriesRead == kRowColourEntries) break;
        // Digits with an optional sign and nothing else: a NUL or any other byte inside the field
        // makes it no number, rather than cutting it short.
        const qsizetype digitsFrom = (field.front() == '+' || field.front() == '-') ? 1 : 0;
        const bool digitsOnly =
            field.size() > digitsFrom && std::all_of(field.begin() + digitsFrom, field.end(),
                                                     [](char c) { return c >= '0' && c <= '9'; });
        bool ok = false;
        const long long value = digitsOnly ? field.toLongLong(&ok) : 0;
        if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max())
            break;
        colours[static_cast<std::size_t>(result.entriesRead++)] = static_cast<std::int32_t>(value);
    }
    if (result.entriesRead < kRowColourEntries) {
        result.message = QStringLiteral(
                             "The colour-array file holds %1 of the 45 colours:\n%2\nThe "
                             "colours after them are kept.")
                             .arg(result.entriesRead)
                             .arg(path);
    }
    return result;
}

ColourFileResult WriteStartupPointerFile(const QString& pointerPath,
                                         const QString& colourArrayPath) {
    QByteArray bytes = QFile::encodeName(colourArrayPath);
    if (bytes.size() >= kPointerFileBytes || bytes.contains('\0')) {
        return {false, QStringLiteral("The path is too long for the start-up file (at most %1 "
                                      "bytes):\n%2")
                           .arg(kPointerFileBytes - 1)
                           .arg(colourArrayPath)};
    }
    bytes.resize(kPointerFileBytes, '\0');
    return WriteWhole(pointerPath, bytes, QStringLiteral("start-up file"));
}

std::optional<QString> ReadStartupPointerFile(const QString& pointerPath) {
    QFile file(pointerPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() != kPointerFileBytes) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (bytes.size() != kPointerFileBytes) return std::nullopt;
    const qsizetype end = bytes.indexOf('\0');
    if (end <= 0) return std::nullopt;
    bytes.truncate(end);
    return QFile::decodeName(bytes);
}

}  // namespace tvx
