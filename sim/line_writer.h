#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

#include "fault_plan.h"

namespace tvx::sim {

// Puts reply plans on a line one after the other: pauses are kept, bytes go out paced as on a
// serial line of the set baud rate (8N1, 10 bits a byte), byte i being written when it would
// have arrived completely. Timers only; the event loop is never blocked.
class LineWriter : public QObject {
    Q_OBJECT
  public:
    // Writes bytes; returns how many the line took (fewer are dropped, as on a line nobody
    // drains).
    using WriteFn = std::function<qint64(const QByteArray&)>;
    using CloseFn = std::function<void()>;

    LineWriter(WriteFn write, CloseFn close, QObject* parent = nullptr);

    void SetBaud(int baud);
    int Baud() const { return baud_; }
    void Enqueue(const ReplyPlan& plan);
    void Clear();  // drops everything not yet written
    bool Idle() const { return queue_.empty(); }

  signals:
    // The last queued byte has been written (or dropped with the conversation).
    void drained();

  private:
    void Pump();
    void ScheduleAt(qint64 ns);

    WriteFn write_;
    CloseFn close_;
    int baud_ = 0;
    std::deque<ReplyStep> queue_;
    bool started_ = false;     // the front step's pause has begun
    bool sending_ = false;     // the front step's pause is over
    qint64 startNs_ = 0;       // when the pause began
    qint64 bytesStartNs_ = 0;  // when the first byte began
    qsizetype written_ = 0;    // bytes of the front step written
    QElapsedTimer clock_;
    QTimer timer_;
};

}  // namespace tvx::sim
