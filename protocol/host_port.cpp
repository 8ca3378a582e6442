#include "host_port.h"

namespace tvx {

HostPort ParseHostPort(const QString& text, std::optional<int> defaultPort) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) return {text, defaultPort};
    HostPort address{text.left(colon), std::nullopt};
    bool number = false;
    const int port = text.mid(colon + 1).toInt(&number, 10);
    if (number && port >= 1 && port <= 65535) address.port = port;
    return address;
}

}  // namespace tvx
