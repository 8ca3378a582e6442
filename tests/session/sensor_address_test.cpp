// A sensor's address as users write it: read, written back, and refused with the reason.
#include <gtest/gtest.h>

#include "sensor_address.h"

namespace tvx {
namespace {

TEST(SensorAddress, ReadsWhatItWritesAndSaysWhyItRefuses) {
    const struct {
        QString text;
        QString format;    // empty: refused
        QString describe;  // or the reason of a refusal
    } cases[] = {
        {"tcp://10.0.0.21:5000", "tcp://10.0.0.21:5000", "10.0.0.21:5000"},
        {"tcp://::1:502", "tcp://::1:502", "::1:502"},
        {"tcp://sensor.plant:65535", "tcp://sensor.plant:65535", "sensor.plant:65535"},
        {"serial:/dev/ttyUSB0", "serial:/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"serial:3", "serial:3", "/dev/ttyS2"},
        {"serial:1000", "serial:1000", "/dev/ttyS999"},
        {"tcp://host", "", "expected tcp://HOST:PORT"},
        {"tcp://host:0", "", "expected tcp://HOST:PORT"},
        {"tcp://:5000", "", "expected tcp://HOST:PORT"},
        {"tcp://host:65536", "", "expected tcp://HOST:PORT"},
        {"serial:", "", "expected serial:DEVICE (a port number or a device path)"},
        {"serial:0", "", "expected serial:DEVICE (a port number or a device path)"},
        {"serial:1001", "", "expected serial:DEVICE (a port number or a device path)"},
        {"host:5000", "", "\"host:5000\" is not tcp://HOST:PORT or serial:DEVICE"},
        {"", "", "\"\" is not tcp://HOST:PORT or serial:DEVICE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QString error;
        const auto address = SensorAddress::Parse(c.text, error);
        if (c.format.isEmpty()) {
            EXPECT_FALSE(address);
            EXPECT_EQ(error, c.describe);
            continue;
        }
        ASSERT_TRUE(address) << error.toStdString();
        EXPECT_EQ(address->Format(), c.format);
        EXPECT_EQ(address->Describe(), c.describe);
        const auto again = SensorAddress::Parse(address->Format(), error);
        EXPECT_TRUE(again && *again == *address);
    }
    // What the programs' link fields make of a port number that names no port.
    EXPECT_EQ(SensorAddress::Serial({0, {}}).Describe(), "(no serial port)");
    EXPECT_FALSE(SensorAddress::Tcp("h", 1) == SensorAddress::Serial({1, {}}));
}

}  // namespace
}  // namespace tvx
