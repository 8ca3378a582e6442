#pragma once

#include "scope_texts.h"
#include "scripted_popups.h"

namespace tvx {

// How many failure reports (the box about a sensor that did not answer) were shown.
inline int FailureReports(const ScriptedPopups& popups) {
    return static_cast<int>(popups.Texts().count(QString::fromUtf8(info::InfoTimeoutVer)));
}

}  // namespace tvx
