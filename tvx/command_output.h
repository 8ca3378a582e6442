#pragma once

#include <unistd.h>
#include <QString>
#include <cstdio>

#include "reporter.h"
#include "tvx_options.h"

namespace tvx::cli {

// Results on standard output, one line at a time, flushed so that a pipe sees each at once.
inline void Out(const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

// Errors and events on standard error, one line each, led by "tvx: ".
inline void Error(const QString& text) {
    Reporter().Say(text);
}

inline bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// What a sensor is doing, for a person watching a terminal only.
inline void Progress(const NamedSensor& sensor, const char* what) {
    if (StderrIsTerminal())
        Reporter().Say(sensor.name + QStringLiteral(": ") + QLatin1String(what));
}

}  // namespace tvx::cli
