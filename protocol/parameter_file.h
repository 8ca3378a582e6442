#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "frames.h"
#include "parameter_image.h"

namespace tvx {

// Width of the field each value is written in, right-aligned.
inline constexpr int kParameterFieldWidth = 10;

struct ParameterFileResult {
    bool ok = true;
    QString message;  // for the user when ok is false: names the file and the reason
};

struct ParameterFileRead {
    std::optional<ParameterImage> image;  // only when the whole file was accepted
    QString message;                      // for the user when image is empty

    bool ok() const { return image.has_value(); }
};

// Writes the image as 106 lines, each value right-aligned in a 10-character field and ended by a
// line feed. The previous content is replaced only once the new file is complete, so a failed
// write leaves the old file as it was.
ParameterFileResult WriteParameterFile(const QString& path, const ParameterImage& image);

// Reads a parameter file strictly: exactly 106 unsigned decimal values up to 65535, one per line;
// blanks around a value, CRLF line ends and empty lines after the last value are accepted. Any
// other content rejects the whole file, so that a caller never applies a partial image.
ParameterFileRead ReadParameterFile(const QString& path);

// The image is the first 106 words of pp (CopyVarsToPP builds it there, CopyFileParatoVars
// takes it from there).
ParameterImage TakeImageFromPp(const FrameBuffers& buffers);
void PutImageIntoPp(const ParameterImage& image, FrameBuffers& buffers);

}  // namespace tvx
