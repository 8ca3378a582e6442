#pragma once

#include <QString>

#include "info_texts.h"
#include "scripted_popups.h"

namespace tvx {

// How many failure reports (the box about a sensor that did not answer) were shown.
inline int FailureReports(const ScriptedPopups& popups) {
    int n = 0;
    for (const auto& r : popups.Records()) n += r.text == QString::fromUtf8(info::InfoTimeoutVer);
    return n;
}

}  // namespace tvx
