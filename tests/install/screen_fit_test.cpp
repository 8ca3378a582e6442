// Where windows open: the placement rule, and every window of the three programs on a small
// 1280x720 screen and on 1920x1080 and 2560x1440 at 150 % and 200 % (the same room in logical
// pixels), each case this binary run again under Xvfb with the scale factor.
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
#include "state_line.h"
#include "wait.h"
#include "window_placement.h"

namespace tvx {
namespace {

TEST(WindowPlacement, OverTheMainWindowAndWhollyOnTheScreen) {
    const QRect laptop(0, 0, 1366, 740), second(1366, 100, 1280, 720), none;
    const struct {
        const char* what;
        QRect available, wanted, over, placed;
    } cases[] = {
        {"over its main window", laptop, QRect(0, 0, 400, 300), QRect(100, 50, 1200, 680),
         QRect(500, 240, 400, 300)},
        {"over a main window at the edge", laptop, QRect(0, 0, 400, 300),
         QRect(1000, 600, 300, 200), QRect(950, 440, 400, 300)},
        {"its own place", laptop, QRect(30, 40, 400, 300), none, QRect(30, 40, 400, 300)},
        {"on a screen that is gone", laptop, QRect(4000, 900, 400, 300), none,
         QRect(966, 440, 400, 300)},
        {"above and left of the screen", second, QRect(1000, -50, 400, 300), none,
         QRect(1366, 100, 400, 300)},
        {"bigger than the screen", laptop, QRect(-20, -20, 1860, 1080), none, laptop},
        {"a main window in the middle", laptop, QRect(0, 0, 1240, 720), laptop,
         QRect(63, 10, 1240, 720)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceWindow(c.available, c.wanted, c.over), c.placed) << c.what;
}

constexpr const char* kOnThisScreen = "TVX_SCREEN_FIT_CASE";
// Xvfb has no desktop: the height a desktop's panel and a window's title bar take from it.
constexpr int kPanelAndTitleBar = 64;
// Nor a window manager: the title bar a main window leaves room for until one frames it.
constexpr int kTitleBar = 32;

TEST(ScreenFit, EveryWindowFitsTheScreenAtEachScale) {
    for (const auto& [screen, scale] :
         {std::pair{"1280x720", "1"}, {"1920x1080", "1.5"}, {"2560x1440", "2"}}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QLatin1String(scale));
        env.insert(QLatin1String(kOnThisScreen), QLatin1String(screen));
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("xvfb-run"),
                    {"-a", "-s", QStringLiteral("-screen 0 %1x24").arg(screen),
                     QCoreApplication::applicationFilePath(), "--gtest_filter=*OnThisScreen.*"});
        ASSERT_TRUE(child.waitForFinished(180000));
        const std::string output = child.readAll().toStdString();
        EXPECT_EQ(child.exitCode(), 0) << screen << " at " << scale << ":\n" << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
    }
}

// A state line shows an endpoint of 21 characters whole.
void ExpectWholeEndpoint(StateLine* line) {
    const QString endpoint = QStringLiteral("192.168.100.200:50010");
    line->SetTexts({endpoint, QStringLiteral("connected"), QStringLiteral("idle"), {}, {}});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(line->endpoint->ShownText(), endpoint) << line->window()->windowTitle().toStdString();
}

// Run by the test above, once per screen.
TEST(ScreenFitOnThisScreen, EveryWindowOpensWhollyOnScreenOverItsMainWindow) {
    if (qEnvironmentVariableIsEmpty(kOnThisScreen)) GTEST_SKIP() << "run under Xvfb by ScreenFit";
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    {  // a remembered place on a screen that is gone, bigger than any screen
        QSettings remembered(SettingsFilePath("Tvx3TempCompV61"), QSettings::IniFormat);
        remembered.setValue("format", 1);
        remembered.setValue("panels/main", QRect(9000, 9000, 4000, 3000));
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
    for (StateLine* line :
         {scope.Main().stateLine, calib.Main().stateLine, tempcomp.Main().stateLine})
        ExpectWholeEndpoint(line);
    scope.State().flags.poll = 1;  // as if GO ran: mean-value teach then only opens its panel
    for (QAbstractButton* opens : std::initializer_list<QAbstractButton*>{
             scope.MeanTeach().buttonTeachMeanVal, scope.Controls().buttonColorGroups,
             scope.RowColourOps().buttonColor, scope.SignalGraphOps().buttonShowGraph,
             scope.Main().buttonConnect, scope.Recording().buttonOpenRecorder,
             calib.Main().buttonConnect, tempcomp.Main().buttonConnect})
        opens->click();
    const std::tuple<const char*, QWidget*, const QWidget*> windows[] = {
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
    for (const auto& [name, window, over] : windows) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
        const QRect frame = window->frameGeometry();
        const QSize least = window->minimumSizeHint();
        std::printf("%s: %dx%d at %d,%d, least %dx%d, screen %dx%d\n", name, frame.width(),
                    frame.height(), frame.x(), frame.y(), least.width(), least.height(),
                    available.width(), available.height());
        EXPECT_TRUE(available.contains(frame)) << name;
        EXPECT_LE(least.width(), available.width()) << name;
        EXPECT_LE(least.height() + kPanelAndTitleBar, available.height()) << name;
        EXPECT_TRUE(over == nullptr || frame.intersects(over->frameGeometry())) << name;
        if (over == nullptr) {
            EXPECT_LE(frame.height() + kTitleBar, available.height()) << name;
        }
    }
    ExpectWholeEndpoint(scope.Recorder().stateLine);
    for (Com232* link : {&scope.Link(), &calib.Link(), &tempcomp.Link()}) link->CloseCom();
}

}  // namespace
}  // namespace tvx
