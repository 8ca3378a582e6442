#include "line_writer.h"

#include <algorithm>

namespace tvx::sim {

namespace {
constexpr qint64 kNsPerMs = 1000000;
constexpr qint64 kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
}  // namespace

LineWriter::LineWriter(WriteFn write, CloseFn close, QObject* parent)
    : QObject(parent), write_(std::move(write)), close_(std::move(close)) {
    clock_.start();
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &LineWriter::Pump);
}

void LineWriter::SetBaud(int baud) {
    baud_ = std::max(0, baud);
}

void LineWriter::Enqueue(const ReplyPlan& plan) {
    if (plan.empty()) return;
    const bool wasIdle = queue_.empty();
    queue_.insert(queue_.end(), plan.begin(), plan.end());
    if (wasIdle) Pump();
}

void LineWriter::Clear() {
    queue_.clear();
    started_ = sending_ = false;
    written_ = 0;
    timer_.stop();
}

void LineWriter::ScheduleAt(qint64 ns) {
    const qint64 remaining = ns - clock_.nsecsElapsed();
    const int ms = remaining <= 0 ? 0 : static_cast<int>((remaining + kNsPerMs - 1) / kNsPerMs);
    timer_.start(ms);
}

void LineWriter::Pump() {
    while (!queue_.empty()) {
        ReplyStep& step = queue_.front();
        const qint64 now = clock_.nsecsElapsed();
        if (!started_) {
            started_ = true;
            startNs_ = now;
        }
        if (!sending_) {
            const qint64 due = startNs_ + qint64{step.waitMs} * kNsPerMs;
            if (now < due) {
                ScheduleAt(due);
                return;
            }
            sending_ = true;
            bytesStartNs_ = now;
            written_ = 0;
        }
        if (written_ < step.bytes.size()) {
            qsizetype due = step.bytes.size();
            if (baud_ > 0) {
                const qint64 byteNs = kBitsPerByte * 1000000000LL / baud_;
                due = std::min<qsizetype>(due, (now - bytesStartNs_) / byteNs);
                // Bytes that travel together leave with the byte before them.
                if (due >= step.bytes.size() - step.together) due = step.bytes.size();
                if (due <= written_) {
                    ScheduleAt(bytesStartNs_ + (written_ + 1) * byteNs);
                    return;
                }
            }
            write_(step.bytes.mid(written_, due - written_));
            written_ = due;
            if (written_ < step.bytes.size()) {
                const qint64 byteNs = kBitsPerByte * 1000000000LL / baud_;
                ScheduleAt(bytesStartNs_ + (written_ + 1) * byteNs);
                return;
            }
        }
        const bool close = step.close;
        queue_.pop_front();
        started_ = sending_ = false;
        written_ = 0;
        if (close) {
            Clear();  // the conversation ends here; nothing queued behind it goes out
            if (close_) close_();
            emit drained();
            return;
        }
    }
    emit drained();
}

}  // namespace tvx::sim
