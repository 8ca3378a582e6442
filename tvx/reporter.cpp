#include "reporter.h"

#include <cstdio>

namespace tvx::cli {

Reporter::Reporter(Write write) : write_(std::move(write)) {}

void Reporter::Say(const QString& text) const {
    if (write_) return write_(text);
    std::fprintf(stderr, "tvx: %s\n", qPrintable(text));
    std::fflush(stderr);
}

}  // namespace tvx::cli
