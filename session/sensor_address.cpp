#include "sensor_address.h"

#include "host_port.h"

namespace tvx {

namespace {

const QString kTcpScheme = QStringLiteral("tcp://");
const QString kSerialScheme = QStringLiteral("serial:");

}  // namespace

SensorAddress SensorAddress::Tcp(const QString& host, int port) {
    SensorAddress address;
    address.tcp = true;
    address.host = host;
    address.port = port;
    return address;
}

SensorAddress SensorAddress::Serial(const SerialChoice& serial) {
    SensorAddress address;
    address.serial = serial;
    return address;
}

std::optional<SensorAddress> SensorAddress::Parse(const QString& text, QString& error) {
    if (text.startsWith(kTcpScheme)) {
        const HostPort hostPort = ParseHostPort(text.mid(kTcpScheme.size()));
        if (hostPort.ok()) return Tcp(hostPort.host, *hostPort.port);
        error = QStringLiteral("expected tcp://HOST:PORT");
        return std::nullopt;
    }
    if (text.startsWith(kSerialScheme)) {
        if (const auto serial = ParseSerialArgument(text.mid(kSerialScheme.size())))
            return Serial(*serial);
        error = QStringLiteral("expected serial:DEVICE (a port number or a device path)");
        return std::nullopt;
    }
    error = QStringLiteral("\"%1\" is not tcp://HOST:PORT or serial:DEVICE").arg(text);
    return std::nullopt;
}

QString SensorAddress::Format() const {
    if (tcp) return kTcpScheme + Describe();
    return kSerialScheme + SerialText();
}

QString SensorAddress::Describe() const {
    if (tcp) return QStringLiteral("%1:%2").arg(host).arg(port);
    const QString device = SerialDeviceName();
    return device.isEmpty() ? QStringLiteral("(no serial port)") : device;
}

QString SensorAddress::SerialDeviceName() const {
    return serial.device.isEmpty() ? SerialPortName(serial.comport) : serial.device;
}

QString SensorAddress::SerialText() const {
    return serial.device.isEmpty() ? QString::number(serial.comport) : serial.device;
}

bool SensorAddress::operator==(const SensorAddress& other) const {
    if (tcp != other.tcp) return false;
    if (tcp) return host == other.host && port == other.port;
    return serial.comport == other.serial.comport && serial.device == other.serial.device;
}

}  // namespace tvx
