#include "request_log.h"

#include <QMutexLocker>

#include "frames.h"

namespace tvx::sim {

std::uint16_t LoggedRequest::Word(int i) const {
    if (i < 0 || 2 * i + 1 >= bytes.size()) return 0;
    return tvx::UnpackWord(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + 2 * i);
}

void RequestLog::Append(LoggedRequest request) {
    QMutexLocker lock(&mutex_);
    requests_.push_back(std::move(request));
}

std::vector<LoggedRequest> RequestLog::All() const {
    QMutexLocker lock(&mutex_);
    return requests_;
}

std::size_t RequestLog::Size() const {
    QMutexLocker lock(&mutex_);
    return requests_.size();
}

void RequestLog::Clear() {
    QMutexLocker lock(&mutex_);
    requests_.clear();
}

}  // namespace tvx::sim
