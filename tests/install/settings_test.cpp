// What a program remembers between starts, and where it keeps its files: run with the
// calibration tool in-process against the simulated sensor; the scope and the temperature-
// compensation tool share the same code.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Tvx3CalibV61.h"
#include "command_line.h"
#include "remembered_settings.h"
#include "tool_fixture.h"

namespace tvx::calib {
namespace {

const QString kProgram = QStringLiteral("Tvx3CalibV61");

class RememberedSettingsTest : public ToolWithSensor<Tvx3CalibV61> {
  protected:
    // Ends the tool as the end of the program does.
    void EndTool() {
        tool->Link().CloseCom();
        if (tool->State().link.tcpcon) tool->Link().DisconnectTCP();
        tool.reset();
    }
    static void WriteSettingsFile(const QByteArray& bytes) {
        const QString path = SettingsFilePath(kProgram);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

TEST_F(RememberedSettingsTest, TheNextStartWithoutOptionsReachesTheSameSensorWherePanelsWere) {
    StartOverTcp();
    InterfacePanel& panel = tool->Interface();
    panel.show();
    panel.move(40, 30);
    panel.hide();
    EndTool();

    StartTool({});
    EXPECT_EQ(tool->State().link.comprotocol, kTcpIp);
    EXPECT_EQ(tool->State().link.portNum, sensor.TcpPort());
    EXPECT_EQ(tool->State().link.tcpcon, 1);
    EXPECT_TRUE(tool->Interface().buttonAccept->isEnabled()) << "the handshake was answered";
    EXPECT_EQ(tool->Interface().pos(), QPoint(40, 30));
    EXPECT_TRUE(popups.Records().empty());
}

// Each start is given the sensor's TCP address on the command line, so no serial port is opened;
// what the file held shows in the COM port selector and the interface panel's place.
TEST_F(RememberedSettingsTest, WhatAStartTakesFromTheFile) {
    const QByteArray valid =
        "[General]\nformat=1\n[interface]\nprotocol=0\nserial=/dev/null\naddress=10.9.8.7\n"
        "port=4242\n[panels]\ninterface=@Rect(25 15 500 300)\n";
    struct Case {
        const char* what;
        QByteArray file;
        bool reset;
        QString serial;  // the COM port selector after the start
        bool placed;     // the interface panel at (25, 15)
    };
    const Case cases[] = {
        {"remembered", valid, false, QStringLiteral("/dev/null"), true},
        {"--reset-settings", valid, true, QStringLiteral("1"), false},
        {"device gone", QByteArray(valid).replace("/dev/null", "/dev/ttyGone9"), false,
         QStringLiteral("1"), true},
        {"place on no screen", QByteArray(valid).replace("25 15", "9000 9000"), false,
         QStringLiteral("/dev/null"), false},
        {"another format", QByteArray(valid).replace("format=1", "format=7"), false,
         QStringLiteral("1"), false},
        {"damaged", QByteArray("\x00\xff[interface\n=\x01protocol=0\nserial=/dev/null\n", 40),
         false, QStringLiteral("1"), false},
        {"unusable values",
         "[General]\nformat=1\n[interface]\nprotocol=7\nserial=\nport="
         "123456789012345678901234567890123\n"
         "[panels]\ninterface=banana\n",
         false, QStringLiteral("1"), false},
    };
    ASSERT_TRUE(sensor.Start());
    const quint16 port = sensor.TcpPort();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSettingsFile(c.file);
        StartOptions options;
        options.comprotocol = 1;
        options.tcpHost = QStringLiteral("127.0.0.1");
        options.tcpPort = QString::number(port);
        options.resetSettings = c.reset;
        StartTool(options);
        // The command line wins over what was remembered.
        EXPECT_EQ(tool->Interface().editCommunicationProtocol->currentIndex(), 1);
        EXPECT_EQ(tool->State().link.ipBuf, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(tool->State().link.portNum, port);
        EXPECT_EQ(tool->Interface().editSelectComPort->currentText(), c.serial);
        EXPECT_EQ(tool->Interface().pos() == QPoint(25, 15), c.placed);
        EXPECT_TRUE(popups.Records().empty()) << "a bad file is dropped without a word";
        EndTool();
        // What this start took is what the next one finds.
        QSettings after(SettingsFilePath(kProgram), QSettings::IniFormat);
        EXPECT_EQ(after.value(QStringLiteral("interface/port")).toString(), QString::number(port));
    }
}

TEST(PanelPlacement, OnlyWhereItFitsTheScreens) {
    const std::vector<QRect> screens = {QRect(0, 0, 1366, 768), QRect(1366, 0, 1920, 1080)};
    struct Case {
        QRect saved;
        bool move;
        bool resize;
    };
    const Case cases[] = {
        {QRect(100, 50, 800, 600), true, true},     // first screen
        {QRect(1500, 100, 1600, 900), true, true},  // second screen, larger than the first
        {QRect(1300, 50, 200, 100), false, true},   // across both: the size alone
        {QRect(4000, 50, 800, 600), false, true},   // a screen that is gone
        {QRect(0, 0, 2500, 1200), false, false},    // larger than any screen
        {QRect(10, 10, 0, 300), false, false},      // no size
    };
    for (const Case& c : cases) {
        const Placement p = PlacementOnScreens(c.saved, screens);
        EXPECT_EQ(p.move, c.move) << c.saved.x() << "," << c.saved.y();
        EXPECT_EQ(p.resize, c.resize) << c.saved.x() << "," << c.saved.y();
    }
    EXPECT_FALSE(PlacementOnScreens(QRect(0, 0, 10, 10), {}).resize);
}

TEST(ProgramDirectory, PerUserFolderExactlyWhenTheProgramsOwnCannotBeUsed) {
    QTemporaryDir root;
    const QDir base(root.path());
    const QString build = base.filePath(QStringLiteral("build/calib"));
    const QString installedBin = base.filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(build));
    ASSERT_TRUE(QDir().mkpath(installedBin));
    ASSERT_TRUE(QDir().mkpath(base.filePath(QStringLiteral("usr/share/applications"))));
    QFile entry(base.filePath(QStringLiteral("usr/share/applications/tvx3calibv61.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.close();
    const QString user = base.filePath(QStringLiteral("home/.local/share/trivex/Tvx3CalibV61"));

    EXPECT_EQ(ProgramDirectoryFor(build, kProgram, user), build);
    EXPECT_FALSE(QFileInfo::exists(user)) << "made only when it is used";
    EXPECT_EQ(ProgramDirectoryFor(installedBin, kProgram, user), user);
    EXPECT_TRUE(QFileInfo(user).isDir());
    // A folder no one may write in, the superuser included.
    EXPECT_EQ(ProgramDirectoryFor(QStringLiteral("/proc/1"), kProgram, user), user);
    // Another program's menu entry does not make this one installed.
    EXPECT_EQ(ProgramDirectoryFor(installedBin, QStringLiteral("Tvx3v61"), user), installedBin);
}

}  // namespace
}  // namespace tvx::calib
