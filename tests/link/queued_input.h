#pragma once

#include <QEvent>
#include <QString>
#include <QWindow>

// Qt keeps user input from the platform in its window-system queue, which an event loop run with
// QEventLoop::ExcludeUserInputEvents leaves alone; QTest and QCoreApplication::postEvent deliver
// around that queue. To test what a wait lets through, a key press is queued the way a platform
// plugin queues it, through QtGui's window-system interface (exported by QtGui, header not
// shipped with the public development files).
class QWindowSystemInterface {
  public:
    struct AsynchronousDelivery {};
    template <typename Delivery>
    static bool handleKeyEvent(QWindow* window, QEvent::Type type, int key,
                               Qt::KeyboardModifiers modifiers, const QString& text,
                               bool autorepeat, ushort count);
};

namespace tvx::test {

// Queues a key press for `window` as if the user had typed it; delivered by the next event
// processing that serves user input.
inline void QueueUserKeyPress(QWindow* window, Qt::Key key) {
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, QEvent::KeyPress, key, Qt::NoModifier, QString(), false, 1);
}

}  // namespace tvx::test
