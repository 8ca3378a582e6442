#pragma once

// Requests as the programs write them, and a client of an in-process simulator over TCP or the
// pseudo-terminal that reads what arrives while this thread serves the simulator.

#include <gtest/gtest.h>

#include <QSerialPort>
#include <QTcpSocket>
#include <initializer_list>
#include <utility>

#include "event_wait.h"
#include "fault_plan.h"
#include "frames.h"
#include "sim_server.h"

namespace tvx::sim::test {

// A 36-byte request: sync, order, then the given payload words, the rest zero.
inline QByteArray Request(std::uint16_t order, std::initializer_list<std::uint16_t> payload = {}) {
    QByteArray frame(kFrameBytes, '\0');
    auto* data = reinterpret_cast<std::uint8_t*>(frame.data());
    PackWord(data, sync);
    PackWord(data + 2, order);
    int i = 2;
    for (std::uint16_t w : payload) PackWord(data + 2 * i++, w);
    return frame;
}

inline std::uint16_t WordAt(const QByteArray& bytes, int i) {
    return UnpackWord(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + 2 * i);
}

inline Fault ParseFault(const QString& text) {
    QString error;
    const auto fault = Fault::Parse(text, &error);
    EXPECT_TRUE(fault) << text.toStdString() << ": " << error.toStdString();
    return fault.value_or(Fault{});
}

// A client of `server` over TCP or its pseudo-terminal.
class Client {
  public:
    Client(SimServer& server, bool tcp) : server_(server), tcp_(tcp) {}

    bool Open() {
        buffer_.clear();
        if (tcp_) {
            socket_.abort();
            socket_.connectToHost(QHostAddress::LocalHost, server_.TcpPort());
            return Wait([&] { return socket_.state() == QAbstractSocket::ConnectedState; });
        }
        serial_.close();
        path_ = server_.PtyPath();
        serial_.setPortName(path_);
        return serial_.open(QIODevice::ReadWrite) && serial_.setBaudRate(19200);
    }
    QIODevice& Device() { return tcp_ ? static_cast<QIODevice&>(socket_) : serial_; }
    void Send(const QByteArray& bytes) { Device().write(bytes); }
    // Waits until n bytes arrived; returns at most n of them.
    QByteArray Read(qsizetype n) {
        Wait([&] { return Take().size() >= n; });
        const QByteArray out = buffer_.left(n);
        buffer_.remove(0, out.size());
        return out;
    }
    QByteArray Exchange(const QByteArray& request, qsizetype n = kFrameBytes) {
        Send(request);
        return Read(n);
    }
    // Everything that arrives within `seconds`, to show that nothing (more) comes.
    QByteArray ReadFor(double seconds) {
        Pause(seconds, WaitMode::ServeUserInput);
        return std::exchange(Take(), {});
    }
    // Waits for the simulator to end the conversation: the socket closed, or a fresh terminal.
    bool Ended() {
        return Wait([&] {
            return tcp_ ? socket_.state() == QAbstractSocket::UnconnectedState
                        : server_.PtyPath() != path_;
        });
    }

  private:
    QByteArray& Take() { return buffer_ += Device().readAll(); }
    bool Wait(const std::function<bool()>& done) {
        return WaitUntil(done, 10.0, WaitMode::ServeUserInput,
                         {WakeSource(&Device(), &QIODevice::readyRead),
                          WakeSource(&socket_, &QTcpSocket::stateChanged),
                          WakeSource(&server_, &SimServer::ptyReopened)})
            .done;
    }

    SimServer& server_;
    bool tcp_;
    QTcpSocket socket_;
    QSerialPort serial_;
    QString path_;
    QByteArray buffer_;
};

}  // namespace tvx::sim::test
