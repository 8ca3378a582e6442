#pragma once

#include <QString>
#include <functional>

#include "com232.h"
#include "frames.h"
#include "version_text.h"

namespace tvx {

// Where the handshake's outcome is shown.
struct HandshakeDisplays {
    std::function<void(const QString&)> showMainStatus;
    std::function<void(const QString&)> showInterfaceStatus;
    std::function<void()> enableAccept;  // the interface panel's Accept button
};

// The handshake after every connection attempt, on the order-7 frame the caller built: the
// 36-byte reply becomes `version`, shown in both status displays, and Accept is enabled. Without
// a complete reply both displays say so ("TIMEOUT", "CONNECTION FAILURE") and `version` keeps
// its text. True when the version arrived.
bool RunHandshake(Com232& com, const FrameBuffers& buffers, VersionText& version,
                  const HandshakeDisplays& displays);

}  // namespace tvx
