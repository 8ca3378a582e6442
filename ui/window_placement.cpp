#include "window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace tvx {

namespace {

// The shortest shift that puts [start, start + length) inside [low, high); a span longer than the
// range starts at low.
int ShiftedInto(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

// The window manager's frame around a window's contents, once it has been shown; until then that
// of the window it opens over, as the same window manager will draw a like frame; for a first
// window a title bar's height, so that its frame does not reach past the screen's bottom.
QMargins FrameMargins(const QWidget& panel, const QWidget* over) {
    for (const QWidget* window : {&panel, over}) {
        if (window == nullptr || !window->testAttribute(Qt::WA_WState_Created)) continue;
        const QRect frame = window->frameGeometry(), inside = window->geometry();
        if (frame != inside)
            return {inside.left() - frame.left(), inside.top() - frame.top(),
                    frame.right() - inside.right(), frame.bottom() - inside.bottom()};
    }
    if (over != nullptr || panel.testAttribute(Qt::WA_WState_Created)) return {};
    return {0, panel.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0};
}

}  // namespace

QRect PlaceWindow(const QRect& available, const QRect& wanted, const QRect& over) {
    QRect frame(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    if (!over.isEmpty()) frame.moveCenter(over.center());
    frame.moveTo(ShiftedInto(frame.left(), frame.width(), available.left(), available.right() + 1),
                 ShiftedInto(frame.top(), frame.height(), available.top(), available.bottom() + 1));
    return frame;
}

void ShowPanel(QWidget& panel, const QWidget* over) {
    // A panel has a place of its own once it was moved: by this function when it was first
    // shown, or to a remembered place when the program started.
    const bool placed = panel.testAttribute(Qt::WA_Moved);
    // A hidden window keeps its place: the recorder opens where the main panel was.
    if (over != nullptr && !over->testAttribute(Qt::WA_WState_Created)) over = nullptr;
    const QScreen* screen = over != nullptr ? over->screen() : nullptr;
    if (screen == nullptr)
        screen = QGuiApplication::screenAt(QRect(panel.pos(), panel.size()).center());
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    // The size it will show with: show() would fit a panel never sized to its layout only after
    // it was placed.
    if (!panel.testAttribute(Qt::WA_Resized)) panel.adjustSize();
    if (screen != nullptr) {
        const QRect available = screen->availableGeometry();
        const QMargins margins = FrameMargins(panel, over);
        const QRect wanted(panel.pos(), panel.size().grownBy(margins));
        QRect opensOver;
        if (!placed) opensOver = over != nullptr ? over->frameGeometry() : available;
        const QRect frame = PlaceWindow(available, wanted, opensOver);
        const QSize size = frame.size().shrunkBy(margins);
        if (size != panel.size()) panel.resize(size);
        panel.move(frame.topLeft());
    }
    panel.show();
}

}  // namespace tvx
