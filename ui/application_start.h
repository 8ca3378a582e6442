#pragma once

#include <QApplication>
#include <memory>

namespace tvx {

// The exit code of a program that cannot start (no window system, a panel that cannot be made).
inline constexpr int kStartFailureExitCode = -1;

// Creates the program's application object. When no window system can be used (no display, a
// display that does not answer, a platform plugin that is missing) Qt would abort; instead the
// program ends at once with kStartFailureExitCode and one line on standard error that names the
// program and the reason. Qt's other messages of the start are passed on as usual.
std::unique_ptr<QApplication> StartApplication(int& argc, char** argv, const char* programName);

}  // namespace tvx
