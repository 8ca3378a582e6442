#pragma once

// The texts of the temperature-compensation tool (Tvx3TempCompV61), kept as the product has them
// (see ui/info_texts.h, which holds the texts its interface panel shares with the other programs).
// Its main panel has no help texts.

#include "info_texts.h"

// clang-format off
namespace tvx::info::tempcomp {

// Failure report of a failed write or a timed-out exchange (27 blanks after "SENSOR.").
inline constexpr const char* InfoTimeoutVer =
    " ATTENTION! \n"
    " \n"
    " TIMEOUT \n"
    " NO SERIAL CONNECTION TO SENSOR.                           \n"
    " The version of the sensor is displayed as the name of this dialog box.";

// The interface settings panel is the same in every program.
using info::InfoButtonConnect;
using info::InfoEditCommunicationProtocol;
using info::InfoEditConnect;
using info::InfoStringIpAdress;
using info::InfoStringPortNumber;
using info::InfoButtonTryToConnect;
using info::InfoButtonAccept;
using info::InfoButtonDiscard;

}  // namespace tvx::info::tempcomp
// clang-format on
