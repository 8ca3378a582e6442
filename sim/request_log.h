#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <cstdint>
#include <vector>

namespace tvx::sim {

// One request frame as the sensor received it.
struct LoggedRequest {
    std::int64_t ms = 0;  // milliseconds since the simulator started
    QByteArray bytes;     // the 36 bytes
    QString endpoint;     // "tcp" or "pty"

    std::uint16_t Word(int i) const;
    std::uint16_t Order() const { return Word(1); }
};

// Every request frame received, in arrival order. Thread-safe.
class RequestLog {
  public:
    void Append(LoggedRequest request);
    std::vector<LoggedRequest> All() const;
    std::size_t Size() const;
    void Clear();

  private:
    mutable QMutex mutex_;
    std::vector<LoggedRequest> requests_;
};

}  // namespace tvx::sim
