#pragma once

#include <QTcpServer>

namespace tvx {

// A loopback port where nothing listens (one the system handed out and took back); 0 if none.
inline quint16 ClosedLocalPort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

}  // namespace tvx
