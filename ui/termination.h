#pragma once

class QWidget;

namespace tvx {

// On SIGTERM, SIGINT or SIGHUP the window is closed as if the user closed it, so the program
// ends through its normal path (loops stopped, link closed, exit code 0); message boxes open at
// that moment are closed too, and boxes shown afterwards no longer wait for an answer. Call once
// per program.
void CloseOnTerminationSignal(QWidget* window);

// True once a termination signal came: the window closes without asking the user anything.
bool TerminationRequested();

}  // namespace tvx
