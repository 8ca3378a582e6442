#include "transport.h"

#include <sys/ioctl.h>

namespace tvx {

int KernelQueuedBytes(qintptr descriptor) {
    int queued = 0;
    if (descriptor < 0 || ::ioctl(static_cast<int>(descriptor), FIONREAD, &queued) != 0) return 0;
    return queued;
}

}  // namespace tvx
