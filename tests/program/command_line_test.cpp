// The programs' command line: the options that preset the interface panel.
#include <gtest/gtest.h>

#include <vector>

#include "command_line.h"

namespace tvx {
namespace {

TEST(CommandLine, PresetsTheInterfacePanel) {
    const auto parse = [](QStringList arguments) { return ParseStartOptions(arguments); };
    EXPECT_EQ(parse({"--tcp", "127.0.0.1:10001"}).options.address,
              SensorAddress::Tcp("127.0.0.1", 10001));
    EXPECT_EQ(parse({"--tcp", "::1:502"}).options.address->host, "::1");
    EXPECT_EQ(parse({"--serial", "/dev/ttyUSB0"}).options.address,
              SensorAddress::Serial({1, "/dev/ttyUSB0"}));
    EXPECT_FALSE(parse({}).options.address.has_value());
    EXPECT_TRUE(parse({"--help"}).options.showHelp);

    for (const QStringList& bad : std::vector<QStringList>{
             {"--tcp"}, {"--tcp", "host"}, {"--tcp", ":80"}, {"--tcp", "host:"}, {"--serial", ""}})
        EXPECT_FALSE(parse(bad).error.isEmpty()) << bad.join(' ').toStdString();
    EXPECT_TRUE(parse({"--frobnicate"}).error.contains("--frobnicate"));
}

}  // namespace
}  // namespace tvx
