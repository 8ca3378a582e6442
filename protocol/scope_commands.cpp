#include "scope_commands.h"

#include <algorithm>
#include <cstring>

#include "info_texts.h"

namespace tvx {

QString VersionText::Text() const {
    const auto end = std::find(bytes.begin(), bytes.end(), '\0');
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(end - bytes.begin()));
}

ScopeCommands::ScopeCommands(Com232& com, ExchangeState& exchange, FrameBuffers& buffers,
                             LoopFlags& flags, Popups& popups, ExchangePanelHooks hooks)
    : com_(com),
      exchange_(exchange),
      buffers_(buffers),
      flags_(flags),
      popups_(popups),
      hooks_(std::move(hooks)) {}

void ScopeCommands::CheckComLine() {
    exchange_.order = 7;
    if (!com_.CheckComLineExchange()) {
        hooks_.showMainStatus(QStringLiteral("TIMEOUT"));
        hooks_.showInterfaceStatus(QStringLiteral("CONNECTION FAILURE"));
        return;
    }
    exchange_.version.Clear();
    std::memcpy(exchange_.version.bytes.data(), buffers_.szReadBuf.data(), kFrameBytes);
    const QString version = exchange_.version.Text();
    hooks_.showMainStatus(version);
    hooks_.showInterfaceStatus(version);
    hooks_.enableAccept();
}

void ScopeCommands::FailureReport() {
    hooks_.showMainStatus(QStringLiteral("TIMEOUT"));
    popups_.MessagePopup(exchange_.version.Text(), QString::fromUtf8(info::InfoTimeoutVer));
}

}  // namespace tvx
