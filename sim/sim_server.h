#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "fault_plan.h"
#include "replay.h"
#include "request_log.h"
#include "scenario.h"
#include "sensor_model.h"

namespace tvx::sim {

class TcpEndpoint;
class PtyEndpoint;

// The simulated sensor on its lines: a TCP server on 127.0.0.1 and/or a pseudo-terminal, both
// served by one SensorModel. Lives in one thread (the one that created it, or SimThread's).
// Endpoint set-up (ListenTcp, OpenPty) must run in that thread; everything else is thread-safe
// and may be called from any thread.
class SimServer : public QObject {
    Q_OBJECT
  public:
    explicit SimServer(QObject* parent = nullptr);
    ~SimServer() override;

    // --- endpoints (ListenTcp and OpenPty in the server's own thread) ---
    // Listens on 127.0.0.1:port (0 = an ephemeral port). One client at a time; a new client
    // replaces the old one.
    bool ListenTcp(quint16 port = 0);
    // Opens a pseudo-terminal in raw mode; when `link` is given, a symlink to the slave is
    // made there (an old symlink is replaced).
    bool OpenPty(const QString& link = {});
    // Replies are written as on a line of this baud rate, 8N1 (10 bits a byte); 0 = at once.
    void SetBaud(int baud);

    quint16 TcpPort() const;  // 0 when not listening
    QString PtyPath() const;  // slave device, empty when none
    int Baud() const;
    QString LastError() const;

    // --- the sensor (thread-safe) ---
    void SetVersion(const QByteArray& text);
    void SetScenario(const Scenario& scenario);
    void SetSample(const Sample& sample);
    void SetReplay(const Replay& replay);
    void SetNoise(int amplitude, std::uint32_t seed = 1);
    void SetAgeing(const Ageing& ageing);
    SensorState State() const;
    void SetState(const SensorState& state);
    // Runs `fn` on the model under the server's lock (for reads and edits in one go).
    void WithModel(const std::function<void(SensorModel&)>& fn);

    // --- faults (thread-safe) ---
    void AddFault(const Fault& fault);
    void SetFaults(const std::vector<Fault>& faults);
    void ClearFaults();
    std::vector<Fault> Faults() const;

    // --- what arrived (thread-safe) ---
    std::vector<LoggedRequest> Requests() const;
    std::size_t RequestCount() const;
    void ClearRequests();
    // Waits (a local event loop in the calling thread) until at least `count` requests are
    // logged since the last ClearRequests, or `timeoutMs` passes. True when they arrived.
    bool WaitForRequests(std::size_t count, int timeoutMs);
    // The time base of the measurements (scenario and replay), by default the milliseconds since
    // the server was made. A test drives it to step through a timeline without waiting for it.
    void SetClock(std::function<std::int64_t()> nowMs);

    // --- the conversation (thread-safe) ---
    // Closes the current client conversation: the TCP client is disconnected; the
    // pseudo-terminal is closed and a fresh one opened at the same link (new slave path).
    void CloseConversation();
    // Puts bytes on every open line now, with no request (after any reply being written).
    void SendUnsolicited(const QByteArray& bytes);
    bool HasTcpClient() const;
    // True when every line has written all it was given (replies and unsolicited bytes).
    bool LinesIdle();
    // Waits (a local event loop in the calling thread) until LinesIdle, at most `timeoutMs`.
    bool WaitForLinesIdle(int timeoutMs);

  signals:
    void requestReceived(quint16 order);
    void clientConnected();
    void clientDisconnected();
    // The pseudo-terminal was closed and opened anew (CloseConversation, a disconnect fault).
    void ptyReopened(const QString& slavePath);
    // A line has written the last byte it was given.
    void linesDrained();

  private:
    ReplyPlan HandleFrame(const QByteArray& frame, const QString& endpoint);
    void RunInOwnThread(const std::function<void()>& fn);

    mutable QMutex mutex_;  // guards model_, faults_
    SensorModel model_;
    FaultPlan faults_;
    RequestLog log_;
    QElapsedTimer clock_;
    std::function<std::int64_t()> measurementClock_;  // guarded by mutex_; empty: clock_
    std::unique_ptr<TcpEndpoint> tcp_;
    std::unique_ptr<PtyEndpoint> pty_;
    int baud_ = 0;
    mutable QMutex infoMutex_;  // guards the copies below, read from other threads
    quint16 tcpPort_ = 0;
    QString ptyPath_;
    QString lastError_;
    bool tcpClient_ = false;
};

}  // namespace tvx::sim
