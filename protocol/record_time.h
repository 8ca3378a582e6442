#pragma once

// The data recorder's bookkeeping: how long a timed recording takes, and how many lines are
// written and still to come.

#include <cstdint>

namespace tvx {

// The duration of a timed recording, split into days, hours, minutes and seconds.
struct RecordTime {
    std::uint32_t days = 0;
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;

    bool operator==(const RecordTime&) const = default;
};

// zeitint seconds between the lines, anzwerte lines: the product always fits 32 bits.
RecordTime CalcRecordTime(std::uint16_t zeitint, std::uint16_t anzwerte);

// The lines of one recording: otcrec counts the lines taken since the recording started, anzwerte
// is how many a timed recording takes (0: no limit, the polling mode's manual lines), lost how
// many of the lines taken could not be written to the record file.
class RecordCounter {
  public:
    // A new recording of `anzwerte` lines; 0 sets no limit.
    void Start(std::uint16_t anzwerte);
    // Counts one written line. True when the recording has now taken all its lines.
    bool LineWritten();
    // Counts one line that could not be written; the recording goes on and still ends at its
    // count. True when the recording has now taken all its lines.
    bool LineLost();

    std::uint16_t lost() const { return lost_; }

    std::uint16_t otcrec() const { return otcrec_; }
    std::uint16_t anzwerte() const { return anzwerte_; }
    // Lines still to come; 0 without a limit.
    std::uint16_t Remaining() const;
    bool Complete() const { return anzwerte_ > 0 && otcrec_ >= anzwerte_; }

  private:
    std::uint16_t anzwerte_ = 0;
    std::uint16_t otcrec_ = 0;
    std::uint16_t lost_ = 0;
};

}  // namespace tvx

namespace tvx {

// The recorder's program state: interval and count of a timed recording, the lines written,
// and the timer readings of the interval wait.
struct RecorderState {
    std::uint16_t zeitint = 1;   // seconds between two lines
    std::uint16_t anzwerte = 1;  // lines of a timed recording
    RecordCounter otcrec;        // lines written since the recording or polling mode started
    double tstart = 0.0;
    double tdiff = 0.0;
};

}  // namespace tvx
