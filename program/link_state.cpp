#include "link_state.h"

namespace tvx {

SensorAddress LinkAddress(const LinkState& link, std::uint16_t comprotocol) {
    if (comprotocol == kTcpIp) return SensorAddress::Tcp(link.ipBuf.trimmed(), link.portNum);
    return SensorAddress::Serial({link.comport, link.comdevice});
}

}  // namespace tvx
