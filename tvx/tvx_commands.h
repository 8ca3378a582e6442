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
// A parameter set by name (status 1 when it cannot be read); the differences of two (0 equal,
// 1 different, 2 when a set cannot be read); sensors against their golden copies (0 no drift,
// 1 drift, restored or not, 2 when a golden file is missing or malformed, 3 when a sensor is not
// checked, a restore does not read back equal or a working set cannot be put back).
int RunShow(const TvxOptions& options);
int RunDiff(const TvxOptions& options);
int RunCheck(const TvxOptions& options);
// The margin report of recordings: 0 reported, 1 when a file cannot be read or the page cannot
// be written, 2 when the recordings need a parameter file that is not given or does not fit.
int RunReport(const TvxOptions& options);
// With `config` (the file of --config), SIGHUP reads the file again.
int RunRecord(const TvxOptions& options, const RecordConfig* config = nullptr);

// Parses the arguments and runs the command: the whole of tvx but for the application object.
int RunTvx(const QStringList& arguments);

}  // namespace tvx::cli
