#pragma once

#include <QString>

#include "tvx_options.h"

namespace tvx::cli {

// The --help text of tvx, or of one command when `command` is not None.
QString TvxHelp(Command command);

}  // namespace tvx::cli
