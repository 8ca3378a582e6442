#pragma once

#include "event_wait.h"

class QWidget;

namespace tvx {

// Shows the window and waits, repainting but serving no user input, until the window system has
// exposed it (at most limitSeconds), so that whatever the program writes on it from then on is
// seen even while a later wait runs. True when the window is exposed.
bool ShowExposed(QWidget& window, double limitSeconds = 5.0);

// Shows the wait cursor for as long as it lives (a blocking connect). Harmless without a GUI.
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool shown_ = false;
};

}  // namespace tvx
