#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "com232.h"
#include "frames.h"
#include "loop_flags.h"
#include "parameter_set.h"
#include "popups.h"

namespace tvx {

// The sensor's answer to the handshake: 36 bytes of text and two zero bytes that always end it.
struct VersionText {
    std::array<char, 38> bytes{};

    // The text up to its first zero byte.
    QString Text() const;
    void Clear() { bytes.fill(0); }
};

// The state of the scope's exchanges.
struct ExchangeState {
    std::uint16_t order = 1;  // order code of the exchange being built
    std::uint16_t target = RAM;
    std::uint16_t comecho = 0;  // 1 while a parameter read is still good
    VersionText version;
};

// What the exchanges show on the panels.
struct ExchangePanelHooks {
    std::function<void(const QString&)> showMainStatus;
    std::function<void(const QString&)> showInterfaceStatus;
    std::function<void()> enableAccept;                // the interface panel's Accept button
    std::function<void(bool dimmed)> setButtonsDimmed;  // the main panel's command buttons
};

// The scope's command exchanges with the sensor.
class ScopeCommands {
public:
    ScopeCommands(Com232& com, ExchangeState& exchange, FrameBuffers& buffers, LoopFlags& flags,
                  Popups& popups, ExchangePanelHooks hooks);

    // The handshake after every connection attempt: order 7, whose 36-byte reply is the
    // sensor's version text, shown in both status displays.
    void CheckComLine();

    // The report of an exchange the sensor did not answer: "TIMEOUT" in the status display and a
    // message box titled with the version text.
    void FailureReport();

private:
    Com232& com_;
    ExchangeState& exchange_;
    FrameBuffers& buffers_;
    LoopFlags& flags_;
    Popups& popups_;
    ExchangePanelHooks hooks_;
};

}  // namespace tvx
