#pragma once

#include <QByteArray>
#include <vector>

namespace tvx::sim {

// Cuts the received byte stream into 36-byte request frames. A frame starts with the sync
// word 0x00 0x55; bytes before one are dropped, so the sensor finds its step again after a
// broken frame.
class FrameCollector {
  public:
    std::vector<QByteArray> Feed(const QByteArray& bytes);
    void Reset();
    qsizetype Pending() const { return buffer_.size(); }
    qint64 Dropped() const { return dropped_; }

  private:
    QByteArray buffer_;
    qint64 dropped_ = 0;
};

}  // namespace tvx::sim
