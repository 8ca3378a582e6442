#include "parameter_file.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace tvx {
namespace {

constexpr std::uint32_t kMaxWord = 0xFFFF;
// No sensible line of a parameter file comes near this; it keeps a wrongly chosen binary file
// from being read whole into memory.
constexpr qint64 kMaxLineBytes = 4096;

QString WriteFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The parameter file could not be written:\n%1\n%2").arg(path, reason);
}

ParameterFileRead Rejected(const QString& path, const QString& reason) {
    return {std::nullopt,
            QStringLiteral("The parameter file could not be loaded:\n%1\n%2").arg(path, reason)};
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The line without its line end and without the blanks around its content.
QByteArray TrimLine(QByteArray line) {
    if (line.endsWith('\n')) line.chop(1);
    if (line.endsWith('\r')) line.chop(1);
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && IsBlank(line[begin])) ++begin;
    while (end > begin && IsBlank(line[end - 1])) --end;
    return line.mid(begin, end - begin);
}

// A short, printable rendering of a rejected line for the message.
QString Excerpt(const QByteArray& text) {
    constexpr qsizetype kShown = 20;
    QString shown = QString::fromLatin1(text.left(kShown));
    for (QChar& c : shown) {
        if (!c.isPrint()) c = QLatin1Char('?');
    }
    if (text.size() > kShown) shown += QStringLiteral("...");
    return shown;
}

enum class Parsed { kValue, kNotANumber, kTooLarge };

Parsed ParseWord(const QByteArray& text, std::uint16_t& value) {
    if (text.isEmpty()) return Parsed::kNotANumber;
    std::uint32_t accumulated = 0;
    bool tooLarge = false;
    for (char c : text) {
        if (c < '0' || c > '9') return Parsed::kNotANumber;
        // Leading zeros are harmless; stop accumulating once the value cannot fit.
        if (!tooLarge) {
            accumulated = accumulated * 10 + static_cast<std::uint32_t>(c - '0');
            tooLarge = accumulated > kMaxWord;
        }
    }
    if (tooLarge) return Parsed::kTooLarge;
    value = static_cast<std::uint16_t>(accumulated);
    return Parsed::kValue;
}

}  // namespace

ParameterFileResult WriteParameterFile(const QString& path, const ParameterImage& image) {
    QByteArray text;
    text.reserve(static_cast<qsizetype>(image.size()) * (kParameterFieldWidth + 1));
    for (std::uint16_t word : image) {
        text += QByteArray::number(word).rightJustified(kParameterFieldWidth, ' ');
        text += '\n';
    }

    // Unbuffered, so that a write the file system cannot take fails here: a buffered one would
    // fail only while commit() flushes, and Qt 6.4's commit() puts the file in place even then.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, WriteFailure(path, file.errorString())};
    if (file.write(text) != text.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, WriteFailure(path, reason)};
    }
    if (!file.commit()) return {false, WriteFailure(path, file.errorString())};
    return {};
}

ParameterFileRead ReadParameterFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Rejected(path, file.errorString());

    ParameterImage image{};
    std::size_t values = 0;
    int firstEmptyLine = 0;  // an empty line met before the 106th value, 0 while none
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine(kMaxLineBytes + 1);
        if (raw.isEmpty()) break;  // a read error, reported below
        ++lineNumber;
        if (!raw.endsWith('\n') && !file.atEnd())
            return Rejected(path, QStringLiteral("Line %1 is too long.").arg(lineNumber));

        const QByteArray text = TrimLine(raw);
        if (text.isEmpty()) {
            if (values < image.size() && firstEmptyLine == 0) firstEmptyLine = lineNumber;
            continue;
        }
        if (values == image.size()) {
            return Rejected(path, QStringLiteral("The file goes on after its %1th value (line %2); "
                                                 "a parameter file holds exactly %1 values.")
                                      .arg(QString::number(anzpara), QString::number(lineNumber)));
        }
        if (firstEmptyLine != 0) {
            return Rejected(path,
                            QStringLiteral("Line %1 is empty; each of the %2 lines of a "
                                           "parameter file holds one value.")
                                .arg(QString::number(firstEmptyLine), QString::number(anzpara)));
        }
        switch (ParseWord(text, image[values])) {
            case Parsed::kValue:
                ++values;
                break;
            case Parsed::kNotANumber:
                return Rejected(path,
                                QStringLiteral("Line %1 is not an unsigned decimal number: \"%2\"")
                                    .arg(QString::number(lineNumber), Excerpt(text)));
            case Parsed::kTooLarge:
                return Rejected(path, QStringLiteral("Line %1 holds %2, which is larger than %3.")
                                          .arg(QString::number(lineNumber), Excerpt(text),
                                               QString::number(kMaxWord)));
        }
    }
    if (file.error() != QFileDevice::NoError) return Rejected(path, file.errorString());
    if (values == 0) return Rejected(path, QStringLiteral("The file holds no values."));
    if (values < image.size()) {
        return Rejected(path, QStringLiteral("The file holds only %1 values; a parameter file "
                                             "holds %2.")
                                  .arg(QString::number(values), QString::number(anzpara)));
    }
    return {image, QString()};
}

ParameterImage TakeImageFromPp(const FrameBuffers& buffers) {
    ParameterImage image{};
    std::copy_n(buffers.pp.begin(), image.size(), image.begin());
    return image;
}

void PutImageIntoPp(const ParameterImage& image, FrameBuffers& buffers) {
    std::copy(image.begin(), image.end(), buffers.pp.begin());
}

}  // namespace tvx
