#pragma once

// The texts of the temperature-compensation tool (Tvx3TempCompV61), kept as the product has them
// (its interface panel's help is the one every program shares: program/interface_panel.h). Its
// main panel has no help texts.

// clang-format off
namespace tvx::info::tempcomp {

// Failure report of a failed write or a timed-out exchange (27 blanks after "SENSOR.").
inline constexpr const char* InfoTimeoutVer =
    " ATTENTION! \n"
    " \n"
    " TIMEOUT \n"
    " NO SERIAL CONNECTION TO SENSOR.                           \n"
    " The version of the sensor is displayed as the name of this dialog box.";

}  // namespace tvx::info::tempcomp
// clang-format on
