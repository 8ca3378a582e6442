#include "command_line.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

TEST(StartOptions, TcpAndSerialPresetTheInterfacePanel) {
    auto tcp = ParseStartOptions({QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:10001")});
    ASSERT_TRUE(tcp.error.isEmpty());
    EXPECT_EQ(tcp.options.comprotocol, 1);
    EXPECT_EQ(tcp.options.tcpHost, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(tcp.options.tcpPort, QStringLiteral("10001"));

    auto ipv6 = ParseStartOptions({QStringLiteral("--tcp"), QStringLiteral("::1:502")});
    EXPECT_EQ(ipv6.options.tcpHost, QStringLiteral("::1"));
    EXPECT_EQ(ipv6.options.tcpPort, QStringLiteral("502"));

    auto serial = ParseStartOptions({QStringLiteral("--serial"), QStringLiteral("/dev/ttyUSB0")});
    ASSERT_TRUE(serial.error.isEmpty());
    EXPECT_EQ(serial.options.comprotocol, 0);
    EXPECT_EQ(serial.options.serialDevice, QStringLiteral("/dev/ttyUSB0"));

    auto none = ParseStartOptions({});
    EXPECT_TRUE(none.error.isEmpty());
    EXPECT_FALSE(none.options.comprotocol.has_value());
}

TEST(StartOptions, BadArgumentsAreNamed) {
    EXPECT_FALSE(ParseStartOptions({QStringLiteral("--tcp")}).error.isEmpty());
    EXPECT_FALSE(
        ParseStartOptions({QStringLiteral("--tcp"), QStringLiteral("host")}).error.isEmpty());
    EXPECT_FALSE(
        ParseStartOptions({QStringLiteral("--tcp"), QStringLiteral(":80")}).error.isEmpty());
    EXPECT_FALSE(
        ParseStartOptions({QStringLiteral("--tcp"), QStringLiteral("host:")}).error.isEmpty());
    EXPECT_FALSE(ParseStartOptions({QStringLiteral("--serial"), QString()}).error.isEmpty());
    EXPECT_TRUE(ParseStartOptions({QStringLiteral("--frobnicate")})
                    .error.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(ParseStartOptions({QStringLiteral("--help")}).options.showHelp);
}

}  // namespace
}  // namespace tvx
