#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "measurement.h"

namespace tvx::sim {

// Live frames recorded on a line (the CSV of `tvx watch` or `tvx record --csv`), played back as
// the sensor's measurements at their recorded pace.
//
// Accepted text: a header naming the columns `time`, `R`, `G`, `B`, `C-No`, `GROUP`, `TEMP` and
// either `X`, `Y`, `INT` or (calculation mode 1) `s`, `i`, `M`, each once, in any order; then one
// line per frame with a local ISO 8601 time with milliseconds and offset
// (2026-12-09T01:02:03.456+01:00) and whole numbers 0...65535. Line ends LF or CRLF; blank lines
// are skipped. A time earlier than the frame before (the recording PC's clock set back) counts as
// no pause.
class Replay {
  public:
    struct Entry {
        std::int64_t at = 0;  // ms after the first frame
        Measurement frame;    // raw R, G, B equal to the recorded R, G, B
    };

    // Parses the text of `fileName`; on a refusal returns nothing and sets *error to one line
    // "FILE:LINE: reason".
    static std::optional<Replay> Parse(const QString& text, const QString& fileName,
                                       QString* error);
    // Reads and parses a file; an unreadable one gives "FILE: reason".
    static std::optional<Replay> Load(const QString& path, QString* error);

    const std::vector<Entry>& entries() const { return *entries_; }
    // True when the recording names s, i, M: the sensor was in calculation mode 1.
    bool siMode() const { return siMode_; }
    // After the last frame: stay on it (true) or start again from the first (false, default).
    void SetHold(bool hold) { hold_ = hold; }
    // The length of one pass when looping: the last frame's offset plus the typical gap.
    std::int64_t loopPeriod() const { return entries_->back().at + typicalGapMs_; }

    // The frame shown `ms` after the replay started (a negative time shows the first frame).
    const Measurement& FrameAt(std::int64_t ms) const;

  private:
    // Takes the lines one at a time from `nextLine` (false at the end), so that a long recording
    // is never held as text as a whole.
    static std::optional<Replay> ParseLines(const std::function<bool(QString*)>& nextLine,
                                            const QString& fileName, QString* error);

    // Shared between copies: a thousand simulated sensors replaying one long recording hold it
    // once.
    std::shared_ptr<const std::vector<Entry>> entries_;
    std::int64_t typicalGapMs_ = 0;
    bool siMode_ = false;
    bool hold_ = false;
};

}  // namespace tvx::sim
