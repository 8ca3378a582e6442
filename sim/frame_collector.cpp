#include "frame_collector.h"

#include "frames.h"

namespace tvx::sim {

std::vector<QByteArray> FrameCollector::Feed(const QByteArray& bytes) {
    buffer_.append(bytes);
    std::vector<QByteArray> frames;
    for (;;) {
        // Hunt for the sync word 0x00 0x55.
        qsizetype start = 0;
        while (start < buffer_.size()) {
            if (buffer_[start] == '\0' &&
                (start + 1 == buffer_.size() ||
                 static_cast<std::uint8_t>(buffer_[start + 1]) == tvx::sync)) {
                break;
            }
            ++start;
        }
        if (start > 0) {
            dropped_ += start;
            buffer_.remove(0, start);
        }
        if (buffer_.size() < tvx::kFrameBytes) break;
        frames.push_back(buffer_.left(tvx::kFrameBytes));
        buffer_.remove(0, tvx::kFrameBytes);
    }
    return frames;
}

void FrameCollector::Reset() {
    buffer_.clear();
}

}  // namespace tvx::sim
