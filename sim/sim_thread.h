#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "fault_plan.h"
#include "replay.h"
#include "scenario.h"
#include "sim_server.h"

class QThread;

namespace tvx::sim {

// How a simulator starts.
struct SimConfig {
    bool tcp = true;
    quint16 tcpPort = 0;  // 0 = ephemeral
    bool pty = false;
    QString ptyLink;     // empty: no symlink
    int baud = 0;        // 0 = no pacing
    QByteArray version;  // empty = kDefaultVersion
    std::optional<Scenario> scenario;
    std::optional<Replay> replay;  // instead of a scenario
    std::vector<Fault> faults;
};

// A SimServer running in a thread of its own, so that a client that blocks its own thread
// while it waits is still answered. Start returns once the endpoints listen.
class SimThread {
  public:
    SimThread();
    ~SimThread();  // stops
    SimThread(const SimThread&) = delete;
    SimThread& operator=(const SimThread&) = delete;

    bool Start(const SimConfig& config = {});
    void Stop();
    bool Running() const;

    quint16 TcpPort() const;
    QString PtyPath() const;
    QString Error() const;
    // The server; only its thread-safe members may be used from outside.
    SimServer& Server();

  private:
    QThread* thread_ = nullptr;
    QObject* anchor_ = nullptr;    // lives in thread_; runs set-up and tear-down there
    SimServer* server_ = nullptr;  // lives in thread_
    QString error_;
};

}  // namespace tvx::sim
