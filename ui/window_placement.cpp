#include "window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tvx {

namespace {

// The shortest shift that puts [start, start + length) inside [low, high); a span longer than the
// range starts at low.
int ShiftedInto(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

// Until a window manager has framed a window, its title bar is taken as this tall: enough for
// the common desktops at any scale, so that a first window's bottom is not cut off.
constexpr int kAssumedTitleBar = 32;

QMargins FrameOf(const QWidget& window) {
    const QRect frame = window.frameGeometry(), inside = window.geometry();
    return {inside.left() - frame.left(), inside.top() - frame.top(),
            frame.right() - inside.right(), frame.bottom() - inside.bottom()};
}

bool Framed(const QWidget& window) {
    return window.testAttribute(Qt::WA_WState_Created) &&
           window.frameGeometry() != window.geometry();
}

// The window manager's frame around a window's contents, once it has framed it; until then that
// of the window it opens over, as the same window manager will draw a like frame; for a window of
// its own an assumed title bar.
QMargins FrameMargins(const QWidget& panel, const QWidget* over) {
    for (const QWidget* window : {&panel, over})
        if (window != nullptr && Framed(*window)) return FrameOf(*window);
    return {0, kAssumedTitleBar, 0, 0};
}

// Once the window manager has framed a window shown with an assumed frame, the window is brought
// wholly onto the screen again if its real frame is taller; then the watch ends.
class FrameWatch : public QObject {
  public:
    static void Start(QWidget& panel) {
        if (panel.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly) == nullptr)
            new FrameWatch(panel);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) {
            End();
        } else if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
                   Framed(panel_)) {
            End();
            Refit();
        }
        return false;
    }

  private:
    static constexpr const char* kName = "frameWatch";

    explicit FrameWatch(QWidget& panel) : QObject(&panel), panel_(panel) {
        setObjectName(QLatin1String(kName));
        panel_.installEventFilter(this);
    }
    void End() {
        panel_.removeEventFilter(this);
        setObjectName({});
        deleteLater();
    }
    void Refit() {
        const QScreen* screen = panel_.screen();
        if (screen == nullptr) return;
        const QRect available = screen->availableGeometry();
        if (available.contains(panel_.frameGeometry())) return;
        const QMargins margins = FrameOf(panel_);
        const QRect frame = PlaceWindow(available, panel_.frameGeometry(), QRect());
        panel_.resize(frame.size().shrunkBy(margins));
        panel_.move(frame.topLeft());
    }

    QWidget& panel_;
};

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
        if (!Framed(panel)) FrameWatch::Start(panel);
    }
    panel.show();
}

}  // namespace tvx
