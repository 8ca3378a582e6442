#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace tvx {

// Serial port numbers the program accepts, as the COM port selector offers them.
inline constexpr int kFirstComPort = 1;
inline constexpr int kLastComPort = 1000;

bool IsValidComPort(int comport);

// The platform's name of serial port number `comport`: "COMn" on Windows, "/dev/ttyS{n-1}"
// elsewhere. Empty for a number outside kFirstComPort..kLastComPort.
QString SerialPortName(int comport);

// What --serial DEVICE names: a port number, or a device by its name or path.
struct SerialChoice {
    std::uint16_t comport = 1;  // the number; the port to show when a device is named
    QString device;             // a device path ("/dev/ttyUSB0", "COM7"); empty: use comport
};

// Reads a --serial argument: a number within the valid range, or a device name or path.
// Nothing for an empty text or a number out of range.
std::optional<SerialChoice> ParseSerialArgument(const QString& text);

// A serial port the system reports (USB adapters included), for the COM port selector.
struct DetectedSerialPort {
    QString device;       // what to open: "/dev/ttyUSB0", "COM3"
    QString description;  // the system's description, may be empty
};

// The serial ports present now, sorted by device name.
std::vector<DetectedSerialPort> DetectedSerialPorts();

}  // namespace tvx
