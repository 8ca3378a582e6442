#pragma once

#include <algorithm>

namespace tvx::cli {

// The wait before the next attempt on a link that failed: 1 s, then doubling, at most 30 s, and
// 1 s again once an attempt has succeeded. Sensors and brokers are tried again the same way.
class ReconnectBackoff {
  public:
    static constexpr double kFirstSeconds = 1.0;
    static constexpr double kLongestSeconds = 30.0;

    // The wait before the attempt after this failure; the one after it will be twice as long.
    double NextWait() {
        const double wait = wait_;
        wait_ = std::min(wait_ * 2.0, kLongestSeconds);
        return wait;
    }
    // The link is up: a later failure starts again from the first wait.
    void Reset() { wait_ = kFirstSeconds; }

  private:
    double wait_ = kFirstSeconds;
};

}  // namespace tvx::cli
