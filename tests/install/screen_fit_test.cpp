// Every window of the three programs on small and scaled screens: a laptop's 1366x768, and
// 1920x1080 and 2560x1440 at 150 % and 200 %. Each case runs this binary again under Xvfb with
// the scale factor, where the windows open as a user opens them.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "Tvx3v61.h"
#include "remembered_settings.h"
#include "scripted_popups.h"
#include "wait.h"

namespace tvx {
namespace {

constexpr const char* kOnThisScreen = "TVX_SCREEN_FIT_CASE";
// Xvfb has no desktop: the height a desktop's panel and a window's title bar take from it.
constexpr int kPanelAndTitleBar = 64;

TEST(ScreenFit, EveryWindowFitsTheScreenAtEachScale) {
    const std::pair<const char*, const char*> cases[] = {
        {"1366x768", "1"}, {"1920x1080", "1.5"}, {"2560x1440", "2"}};
    for (const auto& [screen, scale] : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(scale));
        env.insert(QLatin1String(kOnThisScreen), QStringLiteral("%1 at %2").arg(screen, scale));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(
            QStringLiteral("xvfb-run"),
            {"-a", "-s", QStringLiteral("-screen 0 %1x24").arg(screen),
             QCoreApplication::applicationFilePath(), "--gtest_filter=ScreenFitOnThisScreen.*"});
        ASSERT_TRUE(child.waitForFinished(180000));
        const QByteArray output = child.readAll();
        EXPECT_EQ(child.exitCode(), 0) << screen << " at " << scale << ":\n"
                                       << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    }
}

struct Window {
    const char* name;
    QWidget* window;
    const QWidget* over;  // the main window it opens over
};

// Run by the test above, once per screen.
TEST(ScreenFitOnThisScreen, EveryWindowOpensWhollyOnScreenOverItsMainWindow) {
    if (qEnvironmentVariableIsEmpty(kOnThisScreen)) GTEST_SKIP() << "run under Xvfb by ScreenFit";
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // A remembered place on a screen that is gone, bigger than any screen.
    {
        QSettings remembered(SettingsFilePath(QStringLiteral("Tvx3TempCompV61")),
                             QSettings::IniFormat);
        remembered.setValue(QStringLiteral("format"), 1);
        remembered.setValue(QStringLiteral("panels/main"), QRect(9000, 9000, 4000, 3000));
    }

    ScriptedPopups popups;
    QTemporaryDir folder;
    StartOptions options;
    options.programDirectory = folder.path();
    Tvx3v61 scope(popups, options);
    calib::Tvx3CalibV61 calib(popups, options);
    tempcomp::Tvx3TempCompV61 tempcomp(popups, options);
    scope.LoadPanels();
    calib.LoadPanels();
    tempcomp.LoadPanels();
    for (QWidget* main :
         std::initializer_list<QWidget*>{&scope.Main(), &calib.Main(), &tempcomp.Main()})
        ASSERT_TRUE(ShowExposed(*main));
    scope.State().flags.poll = 1;  // as if GO ran: mean-value teach then only opens its panel
    for (QAbstractButton* opens : std::initializer_list<QAbstractButton*>{
             scope.MeanTeach().buttonTeachMeanVal, scope.Controls().buttonColorGroups,
             scope.RowColourOps().buttonColor, scope.SignalGraphOps().buttonShowGraph,
             scope.Main().buttonConnect, scope.Recording().buttonOpenRecorder,
             calib.Main().buttonConnect, tempcomp.Main().buttonConnect})
        opens->click();
    const Window windows[] = {
        {"scope", &scope.Main(), nullptr},
        {"mean-value teach", &scope.MeanValueTeach(), &scope.Main()},
        {"colour groups", &scope.ColourGroups(), &scope.Main()},
        {"row colours", &scope.RowColours(), &scope.Main()},
        {"signal graph", &scope.SignalGraph(), &scope.Main()},
        {"scope interface", &scope.Interface(), &scope.Main()},
        {"recorder", &scope.Recorder(), &scope.Main()},
        {"calibration tool", &calib.Main(), nullptr},
        {"calibration interface", &calib.Interface(), &calib.Main()},
        {"compensation tool", &tempcomp.Main(), nullptr},
        {"compensation interface", &tempcomp.Interface(), &tempcomp.Main()},
    };
    for (const Window& w : windows) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window)) << w.name;
        const QRect frame = w.window->frameGeometry();
        const QSize least = w.window->minimumSizeHint();
        std::printf("%s: %dx%d at %d,%d, least %dx%d, screen %dx%d\n", w.name, frame.width(),
                    frame.height(), frame.x(), frame.y(), least.width(), least.height(),
                    available.width(), available.height());
        EXPECT_TRUE(available.contains(frame)) << w.name;
        EXPECT_LE(least.width(), available.width()) << w.name;
        EXPECT_LE(least.height() + kPanelAndTitleBar, available.height()) << w.name;
        if (w.over != nullptr) {
            EXPECT_TRUE(frame.intersects(w.over->frameGeometry())) << w.name;
        }
    }
    for (Com232* link : {&scope.Link(), &calib.Link(), &tempcomp.Link()}) link->CloseCom();
}

}  // namespace
}  // namespace tvx
