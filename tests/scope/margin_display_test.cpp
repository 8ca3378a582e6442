// The MARGIN display of the running scope, against the simulated sensor placing the point.
#include <gtest/gtest.h>

#include <QAccessible>

#include "display_checks.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

// How the display reads at a glance: its background red, yellow, or its own.
std::string LevelShown(QLineEdit* display) {
    const QColor background(BackgroundOf(display));
    if (background.red() > 200 && background.green() < 100) return "alarm";
    if (background.red() > 200 && background.green() > 150 && background.blue() < 100)
        return "warn";
    return "clear";
}

using MarginDisplayTest = ScopeWithSensor;

TEST_F(MarginDisplayTest, ShowsTheMarginOfEachFrameInTheTableInForce) {
    // The sensor's row 0 lies at X 2047, Y 1228 with CTO 100, INT 1333, ITO 100; its default
    // sample is there. 88 more red moves the point 90 units along X, 117 more 120 units.
    struct Case {
        const char* what;
        sim::Sample sample;
        bool sendOverlappingRow1;  // a row over row 0's edge, sent from the teach table
        const char* shown;
        const char* level;
    };
    const sim::Sample centre{2000, 1200, 800, 25};
    const Case cases[] = {
        {"centre of row 0", centre, false, "100 % row 0", "clear"},
        {"near the edge", {2088, 1200, 712, 25}, false, "10 % row 0", "warn"},
        {"no match", {2117, 1200, 683, 25}, false, "-20 % near row 0", "alarm"},
        {"in two rows", centre, true, "100 % row 0 | 10 % row 1", "warn"},
    };
    QLineEdit* display = Main().dispMargin;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sensor().SetSample(c.sample);
        if (c.sendOverlappingRow1) {
            const std::array<std::uint16_t, kTeachColumns> row1 = {2137, 1228, 100, 1333, 100};
            for (int column = 0; column < kTeachColumns; ++column)
                Controls().gridTeach->SetValue(1, column, row1[std::size_t(column)]);
            Click(Main().buttonSend);
        }
        Sensor().ClearRequests();
        RunLoop(Main().buttonGo, [&] {
            if (Sensor().RequestCount() < 2) return false;
            Click(Main().buttonStop);
            return true;
        });
        EXPECT_EQ(display->text(), c.shown);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(display)->text(QAccessible::Value),
                  c.shown);
        EXPECT_EQ(LevelShown(display), c.level);
        EXPECT_GE(TextContrast(display), kReadableContrast);
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(display)->text(QAccessible::Name), "MARGIN");
    ExpectHelp(popups, display, info::InfoDispMargin);
}

using MarginDisplayPanel = ScopePanels;

TEST_F(MarginDisplayPanel, IsEmptyAndGreyWithoutAMargin) {
    ShowFrame(2000, 1200, 800, 2047, 1228, 1333, 255);  // no teach table in force yet
    EXPECT_EQ(panel->dispMargin->text(), "");
    EXPECT_FALSE(panel->dispMargin->isEnabled());
}

}  // namespace
}  // namespace tvx
