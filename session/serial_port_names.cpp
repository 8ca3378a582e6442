#include "serial_port_names.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace tvx {

bool IsValidComPort(int comport) {
    return comport >= kFirstComPort && comport <= kLastComPort;
}

QString SerialPortName(int comport) {
    if (!IsValidComPort(comport)) return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(comport);
#else
    return QStringLiteral("/dev/ttyS%1").arg(comport - 1);
#endif
}

std::optional<SerialChoice> ParseSerialArgument(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    bool isNumber = false;
    const int number = trimmed.toInt(&isNumber, 10);
    if (isNumber) {
        if (!IsValidComPort(number)) return std::nullopt;
        return SerialChoice{static_cast<std::uint16_t>(number), {}};
    }
    return SerialChoice{1, trimmed};
}

std::vector<DetectedSerialPort> DetectedSerialPorts() {
    std::vector<DetectedSerialPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        ports.push_back({info.portName(), info.description()});
#else
        ports.push_back({info.systemLocation(), info.description()});
#endif
    }
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.device < b.device; });
    return ports;
}

}  // namespace tvx
