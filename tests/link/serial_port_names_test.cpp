#include "serial_port_names.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(SerialPortNames, PortNumbersMapOntoThePlatformsNames) {
#ifdef Q_OS_WIN
    EXPECT_EQ(SerialPortName(1), "COM1");
    EXPECT_EQ(SerialPortName(12), "COM12");
#else
    EXPECT_EQ(SerialPortName(1), "/dev/ttyS0");
    EXPECT_EQ(SerialPortName(12), "/dev/ttyS11");
#endif
    EXPECT_FALSE(SerialPortName(kLastComPort).isEmpty());
    // Numbers outside the range name no device: opening them is "Invalid port number".
    EXPECT_TRUE(SerialPortName(0).isEmpty());
    EXPECT_TRUE(SerialPortName(-3).isEmpty());
    EXPECT_TRUE(SerialPortName(kLastComPort + 1).isEmpty());
}

TEST(SerialPortNames, TheCommandLineTakesANumberOrADevice) {
    const auto number = ParseSerialArgument(" 3 ");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->comport, 3);
    EXPECT_TRUE(number->device.isEmpty());

    const auto path = ParseSerialArgument("/dev/ttyUSB0");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(path->device, "/dev/ttyUSB0");

    const auto name = ParseSerialArgument("COM7");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->device, "COM7");

    EXPECT_FALSE(ParseSerialArgument("").has_value());
    EXPECT_FALSE(ParseSerialArgument("   ").has_value());
    EXPECT_FALSE(ParseSerialArgument("0").has_value());
    EXPECT_FALSE(ParseSerialArgument("1001").has_value());
}

TEST(SerialPortNames, DetectedPortsAreSortedAndNamed) {
    const auto ports = DetectedSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_FALSE(ports[i].device.isEmpty());
        if (i > 0) {
            EXPECT_LE(ports[i - 1].device, ports[i].device);
        }
    }
}

}  // namespace
}  // namespace tvx
