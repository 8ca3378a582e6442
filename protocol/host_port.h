#pragma once

#include <QString>
#include <optional>

namespace tvx {

// A TCP address as the command lines take it: HOST:PORT. The last colon separates the port, so a
// host may hold colons itself ("::1:502").
struct HostPort {
    QString host;             // empty when nothing comes before the colon
    std::optional<int> port;  // nothing when missing or not a number from 1 to 65535

    bool ok() const { return !host.isEmpty() && port.has_value(); }
};

// Splits `text` into host and port. Without a colon the whole text is the host and the port is
// `defaultPort` (none: the port is missing).
HostPort ParseHostPort(const QString& text, std::optional<int> defaultPort = std::nullopt);

}  // namespace tvx
