#pragma once

#include <algorithm>

namespace tvx::cli {

// The wait before the next attempt on a link that failed: 1 s, then doubling up to a longest
// wait, and 1 s again once an attempt has succeeded. A sensor waits at most 30 s: a fleet of
// dead ones must not flood the network. A broker waits at most 5 s: it is one connection, and
// every second it is away the frames pile up in the spool.
class ReconnectBackoff {
  public:
    static constexpr double kFirstSeconds = 1.0;
    static constexpr double kLongestSeconds = 30.0;
    static constexpr double kBrokerLongestSeconds = 5.0;

    explicit ReconnectBackoff(double longestSeconds = kLongestSeconds)
        : longest_(std::max(longestSeconds, kFirstSeconds)) {}

    // The wait before the attempt after this failure; the one after it will be twice as long.
    double NextWait() {
        const double wait = wait_;
        wait_ = std::min(wait_ * 2.0, longest_);
        return wait;
    }
    // The link is up: a later failure starts again from the first wait.
    void Reset() { wait_ = kFirstSeconds; }

  private:
    double longest_;
    double wait_ = kFirstSeconds;
};

}  // namespace tvx::cli
