#pragma once

#include <QString>
#include <functional>

namespace tvx::cli {

// How tvx tells whoever watches (a person at a terminal, the journal) what happens: errors,
// sensor and broker events, spool warnings. Each is one line on standard error led by "tvx: ",
// written in one go, so that lines of several threads never mix.
class Reporter {
  public:
    using Write = std::function<void(const QString& text)>;

    // Lines go to standard error, or to `write` when one is given (the text without "tvx: ").
    explicit Reporter(Write write = {});

    void Say(const QString& text) const;

  private:
    Write write_;
};

}  // namespace tvx::cli
