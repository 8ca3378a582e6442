#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QTimer>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "fault_plan.h"
#include "frames.h"
#include "sim_server.h"

namespace tvx::sim::test {

// A 36-byte request: sync, order, then the given payload words, the rest zero.
inline QByteArray Request(std::uint16_t order, std::initializer_list<std::uint16_t> payload = {}) {
    QByteArray frame(tvx::kFrameBytes, '\0');
    auto* data = reinterpret_cast<std::uint8_t*>(frame.data());
    tvx::PackWord(data, tvx::sync);
    tvx::PackWord(data + 2, order);
    int i = 2;
    for (std::uint16_t w : payload) tvx::PackWord(data + 2 * i++, w);
    return frame;
}

inline std::vector<std::uint16_t> Words(const QByteArray& bytes) {
    std::vector<std::uint16_t> words;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) words.push_back(tvx::UnpackWord(data + i));
    return words;
}

inline std::uint16_t WordAt(const QByteArray& bytes, int i) {
    return tvx::UnpackWord(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + 2 * i);
}

// Reads from a device with local event loops (no spinning): the test thread serves its
// events, so an in-process simulator in the same thread keeps answering.
class DeviceReader {
  public:
    explicit DeviceReader(QIODevice* device) : device_(device) {}

    // Waits until n bytes arrived or the time is up; returns what arrived (at most n).
    QByteArray Read(qsizetype n, int timeoutMs = 3000) {
        QElapsedTimer clock;
        clock.start();
        while (buffer_.size() < n) {
            Take();
            if (buffer_.size() >= n) break;
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0) break;
            WaitForData(static_cast<int>(left));
        }
        Take();
        const QByteArray out = buffer_.left(n);
        buffer_.remove(0, out.size());
        return out;
    }

    // Everything that arrives within ms (a fixed wait, to check that nothing more comes).
    QByteArray ReadFor(int ms) {
        QElapsedTimer clock;
        clock.start();
        for (qint64 left = ms; left > 0; left = ms - clock.elapsed()) {
            Take();
            WaitForData(static_cast<int>(left));
        }
        Take();
        QByteArray out;
        out.swap(buffer_);
        return out;
    }

    void Discard() {
        Take();
        buffer_.clear();
    }

  private:
    void Take() { buffer_.append(device_->readAll()); }

    void WaitForData(int ms) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(device_, &QIODevice::readyRead, &loop, &QEventLoop::quit);
        QObject::connect(device_, &QIODevice::aboutToClose, &loop, &QEventLoop::quit);
        timer.start(ms);
        if (device_->bytesAvailable() == 0) loop.exec();
    }

    QIODevice* device_;
    QByteArray buffer_;
};

// Serves events for ms without spinning.
inline void ServeEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Adds the fault written as on the command line (e.g. "short:20,order=5") to `server`.
inline void AddFault(SimServer& server, const char* text) {
    QString error;
    auto fault = Fault::Parse(QString::fromLatin1(text), &error);
    ASSERT_TRUE(fault) << error.toStdString();
    server.AddFault(*fault);
}

}  // namespace tvx::sim::test
