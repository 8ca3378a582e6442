#pragma once

#include <QString>
#include <cstdint>

#include "sensor_address.h"

namespace tvx {

// Values of comprotocol.
inline constexpr std::uint16_t kRs232 = 0;
inline constexpr std::uint16_t kTcpIp = 1;

// The program's link state: which link is chosen, where it goes, and the bookkeeping of the
// transfer in progress. Plain data owned by the program; the transport works on it.
struct LinkState {
    std::uint16_t comprotocol = kRs232;  // 0 = RS232, 1 = TCP/IP
    std::uint16_t comport = 1;           // serial port number
    // A serial device chosen by name or path (--serial /dev/ttyUSB0, a detected adapter); when
    // set it is opened instead of the platform's name of comport.
    QString comdevice;
    QString ipBuf;             // sensor address for TCP (up to 255 characters)
    QString portNumStr;        // TCP port as typed (up to 31 characters)
    int portNum = 0;           // decimal value of portNumStr
    int g_hconversation = 0;   // handle of the open TCP conversation; 0 after the server closed it
    std::uint16_t tcpcon = 0;  // 1 while a TCP conversation is open
    int dataSize = 0;  // serial: bytes queued when the wait ended; TCP: the expected reply length
    int bytesToRead = 0;   // reply bytes still missing; 0 means a complete reply
    double tstart = 0.0;   // start of the current wait, seconds
    double tdiff = 0.0;    // elapsed time of the current wait, seconds
    QString szStatus;      // last open or connect error text
    std::int16_t ret = 0;  // result of the last open or connect call
    int nBytesW = 0;       // result of the last write: bytes written, or a negative error
};

// Where the link's fields say the sensor is over `comprotocol` (the routines open either link,
// whatever the panel has chosen): comdevice or comport, or ipBuf and portNum. The one place where
// the routines' fields become an address.
SensorAddress LinkAddress(const LinkState& link, std::uint16_t comprotocol);

// Where the three programs' links differ.
struct LinkVariant {
    bool initRs232StopsPoll = true;        // InitRS232 clears poll
    bool initRs232StopsPollrecord = true;  // InitRS232 clears pollrecord

    static constexpr LinkVariant Scope() { return {true, true}; }
    static constexpr LinkVariant Calibration() { return {true, false}; }
    static constexpr LinkVariant TempComp() { return {false, false}; }
};

}  // namespace tvx
