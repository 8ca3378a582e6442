#pragma once

#include "record_config.h"
#include "tvx_options.h"

namespace tvx::cli {

// "tvx <version> (Qt <version>)".
QString TvxVersionText();

// The commands; each returns the exit status (0 success, 1 when a sensor, file or broker failed).
// They need a QCoreApplication and run in its thread.
int RunInfo(const TvxOptions& options);
int RunGet(const TvxOptions& options);
int RunSend(const TvxOptions& options);
int RunWatch(const TvxOptions& options);
// With `config` (the file of --config), SIGHUP reads the file again.
int RunRecord(const TvxOptions& options, const RecordConfig* config = nullptr);

// Parses the arguments and runs the command: the whole of tvx but for the application object.
int RunTvx(const QStringList& arguments);

}  // namespace tvx::cli
