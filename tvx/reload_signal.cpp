#include "reload_signal.h"

#include <csignal>

#include "fleet.h"

namespace tvx::cli {

void ReloadOnHangUp(QObject* context, std::function<void()> reload) {
    CallOnSignals({SIGHUP}, context, std::move(reload));
}

}  // namespace tvx::cli
