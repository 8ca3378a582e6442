#include "handshake.h"

#include <cstring>

namespace tvx {

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
