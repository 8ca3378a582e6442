#pragma once

#include <QApplication>
#include <QTimer>

namespace tvx {

// Closing the main panel asks the application to quit, which every later event loop of this test
// program would obey; running the main loop once takes the request back.
inline void ForgetQuitRequest() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QApplication::exec();
}

}  // namespace tvx
