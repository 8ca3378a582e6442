#pragma once

#include <QObject>
#include <functional>

namespace tvx::cli {

// SIGHUP calls `reload` in the calling thread (the main thread, whose event loop watches a pipe
// that the signal handler writes one byte to: nothing else runs in the handler). The watch ends
// with `context`; call once.
void ReloadOnHangUp(QObject* context, std::function<void()> reload);

}  // namespace tvx::cli
