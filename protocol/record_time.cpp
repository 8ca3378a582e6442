#include "record_time.h"

namespace tvx {

RecordTime CalcRecordTime(std::uint16_t zeitint, std::uint16_t anzwerte) {
    constexpr std::uint32_t kDay = 86400, kHour = 3600, kMinute = 60;
    const std::uint32_t reczeit = std::uint32_t{zeitint} * std::uint32_t{anzwerte};
    RecordTime t;
    t.days = reczeit / kDay;
    std::uint32_t rest = reczeit - t.days * kDay;
    t.hours = rest / kHour;
    rest -= t.hours * kHour;
    t.minutes = rest / kMinute;
    t.seconds = rest - t.minutes * kMinute;
    return t;
}

void RecordCounter::Start(std::uint16_t anzwerte) {
    anzwerte_ = anzwerte;
    otcrec_ = 0;
    lost_ = 0;
}

bool RecordCounter::LineWritten() {
    // The counter stops at its top rather than wrapping: a wrapped count would show a recording
    // of 65536 lines as empty.
    if (otcrec_ < 0xFFFF) ++otcrec_;
    return Complete();
}

bool RecordCounter::LineLost() {
    if (lost_ < 0xFFFF) ++lost_;
    return LineWritten();
}

std::uint16_t RecordCounter::Remaining() const {
    if (anzwerte_ == 0 || otcrec_ >= anzwerte_) return 0;
    return static_cast<std::uint16_t>(anzwerte_ - otcrec_);
}

}  // namespace tvx
