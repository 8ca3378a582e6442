// The programs as a user meets them: asked for their version and options on a machine without a
// display, installed into a prefix, and started again after a first run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "program_process.h"
#include "sim_thread.h"
#include "trivex_version.h"

namespace tvx {
namespace {

struct Program {
    const char* name;
    const char* executable;
};
const Program kPrograms[] = {{"Tvx3v61", TVX_SCOPE_EXE},
                             {"Tvx3CalibV61", TVX_CALIB_EXE},
                             {"Tvx3TempCompV61", TVX_TEMPCOMP_EXE}};

struct Outcome {
    int exitCode = -100;
    QByteArray out;
    QByteArray err;
};

Outcome RunWithoutDisplay(const QString& executable, const QStringList& arguments) {
    QProcess process;
    StartProgram(process, executable, arguments, false);
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(InstalledPrograms, VersionHelpAndBadArgumentsNeedNoDisplay) {
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const QString exe = QString::fromLatin1(program.executable);

        const Outcome version = RunWithoutDisplay(exe, {QStringLiteral("--version")});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out.count('\n'), 1) << version.out.toStdString();
        EXPECT_TRUE(version.out.startsWith(QByteArray(program.name) + ' '));
        EXPECT_TRUE(version.out.contains(kTrivexVersion));
        EXPECT_TRUE(version.out.contains(QByteArray("Qt ") + qVersion()));

        const Outcome help = RunWithoutDisplay(exe, {QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0);
        for (const char* option :
             {"--tcp HOST:PORT", "--serial DEVICE", "--reset-settings", "--version", "--help"})
            EXPECT_TRUE(help.out.contains(option)) << option;

        for (const QStringList& bad :
             {QStringList{QStringLiteral("--tcp"), QStringLiteral("localhost")},
              QStringList{QStringLiteral("--serial")}, QStringList{QStringLiteral("--colour")}}) {
            const Outcome refused = RunWithoutDisplay(exe, bad);
            EXPECT_EQ(refused.exitCode, 2) << bad.join(' ').toStdString();
            EXPECT_FALSE(refused.err.isEmpty());
        }
    }
}

TEST(InstalledPrograms, ScopeStartedAgainWithoutOptionsReachesTheSameSensor) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcess first;
    StartProgram(first, QStringLiteral(TVX_SCOPE_EXE), TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(Terminate(first), 0);
    sensor.Server().ClearRequests();

    QProcess again;
    StartProgram(again, QStringLiteral(TVX_SCOPE_EXE), {});
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(sensor.Server().Requests().front().Order(), 7);  // the handshake
    EXPECT_EQ(Terminate(again), 0);
}

TEST(InstalledPrograms, StartsWhenItsPerUserFoldersCannotBeMade) {
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QProcessEnvironment env = OffscreenEnvironment();
    // No one may create folders in there, the superuser included.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("/proc/1/no-config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("/proc/1/no-data"));
    QProcess scope;
    scope.setProcessEnvironment(env);
    scope.start(QStringLiteral(TVX_SCOPE_EXE), TcpArguments(sensor.TcpPort()));
    ASSERT_TRUE(scope.waitForStarted(10000));
    ASSERT_TRUE(sensor.Server().WaitForRequests(1, 20000));
    EXPECT_EQ(Terminate(scope), 0);
}

TEST(InstalledPrograms, InstallIntoAPrefixHoldsEveryFileWithValidMenuEntries) {
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral(TVX_CMAKE),
                  {QStringLiteral("--install"), QStringLiteral(TVX_BUILD_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();

    const QDir dir(prefix.path());
    QStringList expected = {QStringLiteral("bin/tvx-sensor-sim"),
                            QStringLiteral("share/doc/trivex-pc/README.md"),
                            QStringLiteral("share/doc/trivex-pc/sim/README.md"),
                            QStringLiteral("share/doc/trivex-pc/docs/guide.md")};
    for (const Program& program : kPrograms) {
        const QString id = QString::fromLatin1(program.name).toLower();
        expected << QStringLiteral("bin/") + QLatin1String(program.name)
                 << QStringLiteral("share/applications/%1.desktop").arg(id)
                 << QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(id);
    }
    for (const QString& file : expected)
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(file))) << file.toStdString();
    for (const Program& program : kPrograms)
        EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("bin/") + QLatin1String(program.name)))
                        .isExecutable());

    const QString validate =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validate.isEmpty()) << "scripts/setup installs desktop-file-utils";
    for (const Program& program : kPrograms) {
        QProcess check;
        check.start(validate,
                    {dir.filePath(QStringLiteral("share/applications/%1.desktop")
                                      .arg(QString::fromLatin1(program.name).toLower()))});
        ASSERT_TRUE(check.waitForFinished(20000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
        EXPECT_TRUE(check.readAll().isEmpty()) << program.name;  // no warnings either
    }
}

}  // namespace
}  // namespace tvx
