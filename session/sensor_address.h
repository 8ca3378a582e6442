#pragma once

#include <QString>
#include <optional>

#include "serial_port_names.h"

namespace tvx {

// Where a sensor is: a TCP endpoint (host and port), or a serial port by its number or its
// device path. Written tcp://HOST:PORT or serial:DEVICE wherever a user names one.
struct SensorAddress {
    bool tcp = false;
    QString host;
    int port = 0;
    SerialChoice serial;  // the port number, or the device path when one is named

    static SensorAddress Tcp(const QString& host, int port);
    static SensorAddress Serial(const SerialChoice& serial);

    // Reads tcp://HOST:PORT (PORT from 1 to 65535) or serial:DEVICE (a port number or a device
    // path); nothing and the reason in `error` when the text is neither.
    static std::optional<SensorAddress> Parse(const QString& text, QString& error);
    // tcp://HOST:PORT or serial:DEVICE, as Parse reads it.
    QString Format() const;
    // The short form a link's messages use: "127.0.0.1:5000" or "/dev/ttyUSB0".
    QString Describe() const;
    // The serial device to open: the one named, else the platform's name of the port number
    // (empty for a number that names none).
    QString SerialDeviceName() const;
    // What follows "serial:": the port number, or the device path when one is named.
    QString SerialText() const;

    bool operator==(const SensorAddress& other) const;
};

}  // namespace tvx
