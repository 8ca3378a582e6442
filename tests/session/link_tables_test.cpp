// The link's tables: the error texts and the serial port names.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "link_errors.h"
#include "serial_port_names.h"

namespace tvx {
namespace {

TEST(LinkTables, ErrorCodesReadAsTheUserSeesThem) {
    // Whatever Qt reports, the user reads a text of the tables.
    for (int e = QSerialPort::DeviceNotFoundError; e <= QSerialPort::NotOpenError; ++e) {
        const int code = SerialErrorCode(static_cast<QSerialPort::SerialPortError>(e));
        EXPECT_NE(SerialErrorText(code), "RS-232 error!") << e;
    }
    EXPECT_EQ(SerialErrorCode(QSerialPort::NoError), 0);
    for (int e = QAbstractSocket::UnknownSocketError; e <= QAbstractSocket::OperationError; ++e) {
        const int code = TcpErrorCode(static_cast<QAbstractSocket::SocketError>(e));
        EXPECT_TRUE(code < 0 && code >= -20) << e;
    }
}

TEST(LinkTables, SerialPortsByNumberOrDevice) {
    EXPECT_EQ(SerialPortName(1), "/dev/ttyS0");
    EXPECT_EQ(SerialPortName(12), "/dev/ttyS11");
    EXPECT_FALSE(SerialPortName(kLastComPort).isEmpty());
    // Numbers outside the range name no device: opening them is "Invalid port number".
    for (int outside : {0, -3, kLastComPort + 1}) EXPECT_TRUE(SerialPortName(outside).isEmpty());

    const std::vector<std::tuple<QString, int, QString>> arguments = {
        {" 3 ", 3, ""}, {"/dev/ttyUSB0", 0, "/dev/ttyUSB0"}, {"COM7", 0, "COM7"}};
    for (const auto& [text, comport, device] : arguments) {
        const auto choice = ParseSerialArgument(text);
        ASSERT_TRUE(choice.has_value()) << text.toStdString();
        if (comport > 0) {
            EXPECT_EQ(choice->comport, comport);
        }
        EXPECT_EQ(choice->device, device);
    }
    for (const char* bad : {"", "   ", "0", "1001"}) EXPECT_FALSE(ParseSerialArgument(bad));
}

}  // namespace
}  // namespace tvx
