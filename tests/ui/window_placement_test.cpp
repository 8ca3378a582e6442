// Where windows open: over their main window, never off the screen, remembered places that are
// gone or too big brought back.
#include <gtest/gtest.h>

#include "window_placement.h"

namespace tvx {
namespace {

TEST(WindowPlacement, OverTheMainWindowAndWhollyOnTheScreen) {
    const QRect laptop(0, 0, 1366, 740);       // below a 28-pixel panel
    const QRect second(1366, 100, 1280, 720);  // a screen to the right, lower down
    const QRect main(100, 50, 1200, 680);
    const struct {
        const char* what;
        QRect available, wanted, over, placed;
    } cases[] = {
        {"over the middle of its main window", laptop, QRect(0, 0, 400, 300), main,
         QRect(500, 240, 400, 300)},
        {"over a main window at the edge: shifted onto the screen", laptop, QRect(0, 0, 400, 300),
         QRect(1000, 600, 300, 200), QRect(950, 440, 400, 300)},
        {"keeps its own place", laptop, QRect(30, 40, 400, 300), QRect(), QRect(30, 40, 400, 300)},
        {"its place on a screen that is gone", laptop, QRect(4000, 900, 400, 300), QRect(),
         QRect(966, 440, 400, 300)},
        {"above and left of the screen", second, QRect(1000, -50, 400, 300), QRect(),
         QRect(1366, 100, 400, 300)},
        {"bigger than the screen: the screen's size", laptop, QRect(-20, -20, 1860, 1080), QRect(),
         QRect(0, 0, 1366, 740)},
        {"too wide only", second, QRect(1400, 200, 1600, 300), QRect(),
         QRect(1366, 200, 1280, 300)},
        {"a main window in the middle of the screen", laptop, QRect(0, 0, 1240, 720), laptop,
         QRect(63, 10, 1240, 720)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceWindow(c.available, c.wanted, c.over), c.placed) << c.what;
}

}  // namespace
}  // namespace tvx
