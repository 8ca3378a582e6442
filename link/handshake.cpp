#include "handshake.h"

#include <algorithm>
#include <cstring>

namespace tvx {

QString VersionText::Text() const {
    const auto end = std::find(bytes.begin(), bytes.end(), '\0');
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(end - bytes.begin()));
}

bool RunHandshake(Com232& com, const FrameBuffers& buffers, VersionText& version,
                  const HandshakeDisplays& displays) {
    if (!com.CheckComLineExchange()) {
        displays.showMainStatus(QStringLiteral("TIMEOUT"));
        displays.showInterfaceStatus(QStringLiteral("CONNECTION FAILURE"));
        return false;
    }
    version.Clear();
    std::memcpy(version.bytes.data(), buffers.szReadBuf.data(), kFrameBytes);
    const QString text = version.Text();
    displays.showMainStatus(text);
    displays.showInterfaceStatus(text);
    displays.enableAccept();
    return true;
}

}  // namespace tvx
