// The programs as a user meets them: asked for their version and options without a display,
// installed into a prefix, started again after a first run; what they remember between starts.
#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>

#include "Tvx3CalibV61.h"
#include "program_process.h"
#include "remembered_settings.h"
#include "tool_fixture.h"
#include "trivex_version.h"

namespace tvx {
namespace {

const std::pair<const char*, const char*> kPrograms[] = {{"Tvx3v61", TVX_SCOPE_EXE},
                                                         {"Tvx3CalibV61", TVX_CALIB_EXE},
                                                         {"Tvx3TempCompV61", TVX_TEMPCOMP_EXE}};

// Runs a program to its end as a command: exit code, standard output and error.
std::tuple<int, QByteArray, QByteArray> RunCommand(const QString& program,
                                                   const QStringList& args) {
    QProcess process;
    StartProgram(process, program, args, false);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(InstalledPrograms, VersionHelpAndBadArgumentsNeedNoDisplay) {
    for (const auto& [name, exe] : kPrograms) {
        SCOPED_TRACE(name);
        const QByteArray version =
            QByteArray(name) + ' ' + kTrivexVersion + " (Qt " + qVersion() + ")\n";
        EXPECT_EQ(RunCommand(exe, {"--version"}), std::tuple(0, version, QByteArray()));
        const auto [helpCode, help, helpErr] = RunCommand(exe, {"--help"});
        EXPECT_EQ(helpCode, 0);
        for (const char* option :
             {"--tcp HOST:PORT", "--serial DEVICE", "--reset-settings", "--version", "--help"})
            EXPECT_TRUE(help.contains(option)) << option;
        const auto [code, out, err] = RunCommand(exe, {"--colour"});
        EXPECT_TRUE(code == 2 && out.isEmpty() && !err.isEmpty()) << code << err.toStdString();
    }
}

TEST(InstalledPrograms, TheScopeStartedAgainReachesTheSameSensorEvenWithoutPerUserFolders) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcessEnvironment unwritable = OffscreenEnvironment();
    // No one may create folders in there, the superuser included.
    unwritable.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/proc/1/no-config"));
    unwritable.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("/proc/1/no-data"));
    const std::pair<QStringList, QProcessEnvironment> starts[] = {
        {TcpArguments(sensor.TcpPort()), OffscreenEnvironment()},
        {{}, OffscreenEnvironment()},  // what the first start took
        {TcpArguments(sensor.TcpPort()), unwritable}};
    for (const auto& [args, env] : starts) {
        sensor.Server().ClearRequests();
        QProcess scope;
        scope.setProcessEnvironment(env);
        scope.start(QStringLiteral(TVX_SCOPE_EXE), args);
        ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
        EXPECT_EQ(sensor.Server().Requests().front().Order(), 7) << "the handshake";
        EXPECT_EQ(Terminate(scope), 0);
    }
}

TEST(InstalledPrograms, InstallHoldsEveryFileWithValidMenuEntriesAndServiceUnit) {
    QTemporaryDir root;  // DESTDIR: /usr and /etc as the package lays them out
    QProcess install;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), root.path());
    install.setProcessEnvironment(env);
    install.start(QStringLiteral(TVX_CMAKE),
                  {"--install", QStringLiteral(TVX_BUILD_DIR), "--prefix", "/usr"});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    const QDir dir(root.filePath("usr"));
    for (const char* file :
         {"bin/tvx-sensor-sim", "share/doc/trivex-pc/README.md", "../etc/trivex/tvx-record.conf",
          "share/doc/trivex-pc/sim/README.md", "share/doc/trivex-pc/docs/guide.md",
          "share/trivex-pc/prometheus/tvx-alerts.yml"})
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(file))) << file;
    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validate.isEmpty()) << "scripts/setup installs desktop-file-utils";
    for (const auto& [name, exe] : kPrograms) {
        SCOPED_TRACE(name);
        const QString id = QString::fromLatin1(name).toLower();
        EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("bin/") + name)).isExecutable());
        EXPECT_TRUE(
            QFileInfo::exists(dir.filePath("share/icons/hicolor/scalable/apps/" + id + ".svg")));
        const auto [code, out, err] =
            RunCommand(validate, {dir.filePath("share/applications/" + id + ".desktop")});
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(out.isEmpty() && err.isEmpty()) << out.toStdString() << err.toStdString();
    }
    // The service's unit, checked as installed but for the binary's place; its example file
    // holds nothing the recorder refuses, and names no sensor yet.
    const QString tvx = dir.filePath("bin/tvx"), conf = root.filePath("etc/trivex/tvx-record.conf");
    QFile unit(dir.filePath("lib/systemd/system/tvx-record.service")),
        copy(root.filePath("x.service"));
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly));
    copy.write(unit.readAll().replace("/usr/bin/tvx", tvx.toUtf8()));
    copy.close();
    const std::tuple<QString, QStringList, int, QByteArray> runs[] = {
        {"systemd-analyze", {"verify", copy.fileName()}, 0, ""},
        {"systemd-analyze",
         {"security", "--offline=yes", "--threshold=30", copy.fileName()},
         0,
         ""},
        {tvx,
         {"record", "--config", conf},
         2,
         "tvx: " + conf.toUtf8() +
             ": no sensor in [sensors] (NAME = tcp://HOST:PORT or serial:DEVICE)\n"}};
    for (const auto& [program, args, status, error] : runs) {
        SCOPED_TRACE(qPrintable(args.join(' ')));
        const auto [code, stdOut, stdErr] = RunCommand(program, args);
        EXPECT_EQ(code, status) << stdOut.toStdString();
        EXPECT_EQ(stdErr.toStdString(), error.toStdString());
    }
}

// Each start is given the sensor's TCP address on the command line, so no serial port is opened;
// what the file held shows in the COM port selector and the interface panel's place.
using RememberedSettingsTest = ToolWithSensor<calib::Tvx3CalibV61>;

TEST_F(RememberedSettingsTest, WhatAStartTakesFromTheFile) {
    const QByteArray valid =
        "[General]\nformat=1\n[interface]\nprotocol=0\nserial=/dev/null\naddress=10.9.8.7\n"
        "port=4242\n[panels]\ninterface=@Rect(25 15 500 300)\n";
    const struct {
        const char* what;
        QByteArray file;
        bool reset;
        QString serial;  // the COM port selector after the start
        bool placed;     // the interface panel at (25, 15)
    } cases[] = {
        {"remembered", valid, false, "/dev/null", true},
        {"--reset-settings", valid, true, "1", false},
        {"device gone", QByteArray(valid).replace("/dev/null", "/dev/ttyGone9"), false, "1", true},
        {"place on no screen", QByteArray(valid).replace("25 15", "9000 9000"), false, "/dev/null",
         false},
        {"another format", QByteArray(valid).replace("format=1", "format=7"), false, "1", false},
        {"damaged", QByteArray("\x00\xff[interface\n=\x01protocol=0\nserial=/dev/null\n", 40),
         false, "1", false},
        {"unusable values",
         "[General]\nformat=1\n[interface]\nprotocol=7\nserial=\nport="
         "123456789012345678901234567890123\n[panels]\ninterface=banana\n",
         false, "1", false},
    };
    ASSERT_TRUE(sensor.Start());
    const QString path = SettingsFilePath(QStringLiteral("Tvx3CalibV61"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.file);
        file.close();
        const QStringList reset = c.reset ? QStringList{"--reset-settings"} : QStringList{};
        StartTool(ParseStartOptions(TcpArguments(sensor.TcpPort()) + reset).options);
        // The command line wins over what was remembered.
        EXPECT_EQ(tool->Interface().editCommunicationProtocol->currentIndex(), 1);
        EXPECT_EQ(tool->State().link.portNum, sensor.TcpPort());
        EXPECT_EQ(tool->Interface().editSelectComPort->currentText(), c.serial);
        EXPECT_EQ(tool->Interface().pos() == QPoint(25, 15), c.placed);
        EXPECT_TRUE(popups.Records().empty()) << "a bad file is dropped without a word";
        TearDown();  // ends the tool as the end of the program does
        tool.reset();
        // What this start took is what the next one finds.
        EXPECT_EQ(QSettings(path, QSettings::IniFormat).value("interface/port").toInt(),
                  sensor.TcpPort());
    }
}

TEST(ProgramFolder, FilesInTheProgramsOwnFolderWhereItMayWrite) {
    // The per-user folder exactly when the program's own cannot be used.
    QTemporaryDir root;
    const QDir base(root.path());
    const QString build = base.filePath("build/calib"), bin = base.filePath("usr/bin");
    for (const QString& folder : {build, bin, base.filePath("usr/share/applications")})
        ASSERT_TRUE(QDir().mkpath(folder));
    QFile(base.filePath("usr/share/applications/tvx3calibv61.desktop")).open(QIODevice::WriteOnly);
    const QString user = base.filePath("home/.local/share/trivex/Tvx3CalibV61");
    const QString calib = QStringLiteral("Tvx3CalibV61");
    EXPECT_EQ(ProgramDirectoryFor(build, calib, user), build);
    EXPECT_FALSE(QFileInfo::exists(user)) << "made only when it is used";
    EXPECT_EQ(ProgramDirectoryFor(bin, calib, user), user);
    EXPECT_TRUE(QFileInfo(user).isDir());
    EXPECT_EQ(ProgramDirectoryFor("/proc/1", calib, user), user) << "where no one may write";
    EXPECT_EQ(ProgramDirectoryFor(bin, "Tvx3v61", user), bin) << "another program's menu entry";
}

}  // namespace
}  // namespace tvx
