#pragma once

// Helpers shared by the benchmark programs: timing runs, summarising them, and the bare round
// trips (a raw socket or file descriptor, without the com232 layer) the layers are measured
// against.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QTcpSocket>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "frames.h"
#include "wait.h"

namespace tvx::bench {

struct Figures {
    double median = 0.0;
    double p10 = 0.0;
    double p90 = 0.0;
};

inline Figures Summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1) + 0.5)];
    };
    return {at(0.5), at(0.1), at(0.9)};
}

inline double Median(std::vector<double> samples) {
    return Summarise(std::move(samples)).median;
}

// Times `runs` calls of `once` (seconds each); a failed call ends the benchmark.
inline std::vector<double> TimeRuns(int runs, const std::function<bool()>& once) {
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        const double start = SecondsTimer();
        if (!once()) {
            std::fprintf(stderr, "run %d failed\n", i);
            std::exit(1);
        }
        samples.push_back(SecondsTimer() - start);
    }
    return samples;
}

inline bool RawTcpRoundTrip(QTcpSocket& socket, const QByteArray& request) {
    socket.write(request);
    if (!socket.waitForBytesWritten(2000)) return false;
    while (socket.bytesAvailable() < kFrameBytes) {
        if (!socket.waitForReadyRead(3000)) return false;
    }
    return socket.read(kFrameBytes).size() == kFrameBytes;
}

inline bool RawFdRoundTrip(int fd, const QByteArray& request) {
    if (::write(fd, request.constData(), kFrameBytes) != kFrameBytes) return false;
    char reply[kBufferBytes];
    int got = 0;
    while (got < kFrameBytes) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 3000) <= 0) return false;
        const ssize_t n = ::read(fd, reply + got, sizeof reply - static_cast<std::size_t>(got));
        if (n <= 0) return false;
        got += static_cast<int>(n);
    }
    return got == kFrameBytes;
}

inline int OpenRawPty(const QString& path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B19200);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

}  // namespace tvx::bench
