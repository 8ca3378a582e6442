#pragma once

#include <QString>
#include <algorithm>
#include <array>

namespace tvx {

// The sensor's answer to the handshake: 36 bytes of text and two zero bytes that always end it.
struct VersionText {
    std::array<char, 38> bytes{};

    // The text up to its first zero byte.
    QString Text() const {
        const auto end = std::find(bytes.begin(), bytes.end(), '\0');
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(end - bytes.begin()));
    }
    void Clear() { bytes.fill(0); }
};

}  // namespace tvx
