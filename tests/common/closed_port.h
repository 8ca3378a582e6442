#pragma once

#include <QTcpServer>

namespace tvx {

// A loopback port where nothing listens: one the system just handed out and took back. Zero when
// no port could be had.
inline quint16 ClosedLocalPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

}  // namespace tvx
