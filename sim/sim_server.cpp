#include "sim_server.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <optional>

#include "pty_endpoint.h"
#include "tcp_endpoint.h"

namespace tvx::sim {

namespace {

// tvx.sim: every request the sensor takes and what it puts on the line for it.
Q_LOGGING_CATEGORY(lcSim, "tvx.sim", QtWarningMsg)

// "36 bytes", "20 bytes, 16 bytes after 50 ms, close": the reply as the line gets it.
QString DescribePlan(const ReplyPlan& plan) {
    QStringList steps;
    for (const ReplyStep& step : plan) {
        QString text = QStringLiteral("%1 bytes").arg(step.bytes.size());
        if (step.waitMs > 0) text += QStringLiteral(" after %1 ms").arg(step.waitMs);
        if (step.close) text += QStringLiteral(", close");
        steps << text;
    }
    return steps.isEmpty() ? QStringLiteral("no reply") : steps.join(QStringLiteral(", "));
}

}  // namespace

SimServer::SimServer(QObject* parent) : QObject(parent) {
    clock_.start();
    model_.SetVersion(kDefaultVersion);
}

SimServer::~SimServer() = default;

bool SimServer::ListenTcp(quint16 port) {
    if (!tcp_) {
        tcp_ = std::make_unique<TcpEndpoint>(
            [this](const QByteArray& frame) { return HandleFrame(frame, QStringLiteral("tcp")); });
        tcp_->SetBaud(baud_);
        connect(&tcp_->Writer(), &LineWriter::drained, this, &SimServer::linesDrained);
        connect(tcp_.get(), &TcpEndpoint::clientConnected, this, [this] {
            {
                QMutexLocker lock(&infoMutex_);
                tcpClient_ = true;
            }
            emit clientConnected();
        });
        connect(tcp_.get(), &TcpEndpoint::clientDisconnected, this, [this] {
            {
                QMutexLocker lock(&infoMutex_);
                tcpClient_ = false;
            }
            emit clientDisconnected();
        });
    }
    QString error;
    const bool ok = tcp_->Listen(port, &error);
    QMutexLocker lock(&infoMutex_);
    if (ok) {
        tcpPort_ = tcp_->Port();
    } else {
        lastError_ = error;
    }
    return ok;
}

bool SimServer::OpenPty(const QString& link) {
    if (!pty_) {
        pty_ = std::make_unique<PtyEndpoint>(
            [this](const QByteArray& frame) { return HandleFrame(frame, QStringLiteral("pty")); });
        pty_->SetBaud(baud_);
        connect(&pty_->Writer(), &LineWriter::drained, this, &SimServer::linesDrained);
        connect(pty_.get(), &PtyEndpoint::reopened, this, [this](const QString& path) {
            {
                QMutexLocker lock(&infoMutex_);
                ptyPath_ = path;
            }
            emit ptyReopened(path);
        });
    }
    QString error;
    const bool ok = pty_->Open(link, &error);
    QMutexLocker lock(&infoMutex_);
    if (ok) {
        ptyPath_ = pty_->SlavePath();
    } else {
        lastError_ = error;
    }
    return ok;
}

void SimServer::SetBaud(int baud) {
    RunInOwnThread([this, baud] {
        {
            QMutexLocker lock(&infoMutex_);
            baud_ = baud;
        }
        if (tcp_) tcp_->SetBaud(baud);
        if (pty_) pty_->SetBaud(baud);
    });
}

quint16 SimServer::TcpPort() const {
    QMutexLocker lock(&infoMutex_);
    return tcpPort_;
}

QString SimServer::PtyPath() const {
    QMutexLocker lock(&infoMutex_);
    return ptyPath_;
}

int SimServer::Baud() const {
    QMutexLocker lock(&infoMutex_);
    return baud_;
}

QString SimServer::LastError() const {
    QMutexLocker lock(&infoMutex_);
    return lastError_;
}

bool SimServer::HasTcpClient() const {
    QMutexLocker lock(&infoMutex_);
    return tcpClient_;
}

void SimServer::SetVersion(const QByteArray& text) {
    QMutexLocker lock(&mutex_);
    model_.SetVersion(text);
}

void SimServer::SetScenario(const Scenario& scenario) {
    QMutexLocker lock(&mutex_);
    model_.SetScenario(scenario);
}

void SimServer::SetSample(const Sample& sample) {
    QMutexLocker lock(&mutex_);
    model_.SetSample(sample);
}

void SimServer::SetReplay(const Replay& replay) {
    QMutexLocker lock(&mutex_);
    model_.SetReplay(replay);
}

void SimServer::SetAgeing(const Ageing& ageing) {
    QMutexLocker lock(&mutex_);
    model_.SetAgeing(ageing);
}

void SimServer::SetNoise(int amplitude, std::uint32_t seed) {
    QMutexLocker lock(&mutex_);
    model_.SetNoise(amplitude, seed);
}

SensorState SimServer::State() const {
    QMutexLocker lock(&mutex_);
    return model_.state();
}

void SimServer::SetState(const SensorState& state) {
    QMutexLocker lock(&mutex_);
    model_.state() = state;
}

void SimServer::WithModel(const std::function<void(SensorModel&)>& fn) {
    QMutexLocker lock(&mutex_);
    fn(model_);
}

void SimServer::AddFault(const Fault& fault) {
    QMutexLocker lock(&mutex_);
    faults_.Add(fault);
}

void SimServer::SetFaults(const std::vector<Fault>& faults) {
    QMutexLocker lock(&mutex_);
    faults_.Clear();
    for (const Fault& f : faults) faults_.Add(f);
}

void SimServer::ClearFaults() {
    QMutexLocker lock(&mutex_);
    faults_.Clear();
}

std::vector<Fault> SimServer::Faults() const {
    QMutexLocker lock(&mutex_);
    return faults_.Faults();
}

std::vector<LoggedRequest> SimServer::Requests() const {
    return log_.All();
}

std::size_t SimServer::RequestCount() const {
    return log_.Size();
}

void SimServer::ClearRequests() {
    log_.Clear();
}

void SimServer::SetClock(std::function<std::int64_t()> nowMs) {
    QMutexLocker lock(&mutex_);
    measurementClock_ = std::move(nowMs);
}

bool SimServer::WaitForRequests(std::size_t count, int timeoutMs) {
    if (log_.Size() >= count) return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The loop lives in the calling thread, so the signal reaches it queued when the server
    // runs in a thread of its own.
    QObject::connect(this, &SimServer::requestReceived, &loop, [&] {
        if (log_.Size() >= count) loop.quit();
    });
    if (log_.Size() >= count) return true;  // arrived while connecting
    timer.start(timeoutMs);
    loop.exec();
    return log_.Size() >= count;
}

bool SimServer::LinesIdle() {
    bool idle = true;
    RunInOwnThread([this, &idle] {
        idle = (!tcp_ || tcp_->Writer().Idle()) && (!pty_ || pty_->Writer().Idle());
    });
    return idle;
}

bool SimServer::WaitForLinesIdle(int timeoutMs) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(this, &SimServer::linesDrained, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    while (!LinesIdle() && timer.isActive()) loop.exec();
    return LinesIdle();
}

void SimServer::CloseConversation() {
    RunInOwnThread([this] {
        if (tcp_) tcp_->CloseConversation();
        if (pty_) pty_->Reopen(nullptr);
    });
}

void SimServer::SendUnsolicited(const QByteArray& bytes) {
    RunInOwnThread([this, bytes] {
        if (tcp_) tcp_->SendUnsolicited(bytes);
        if (pty_) pty_->SendUnsolicited(bytes);
    });
}

ReplyPlan SimServer::HandleFrame(const QByteArray& frame, const QString& endpoint) {
    ReplyPlan plan;
    LoggedRequest logged;
    {
        QMutexLocker lock(&mutex_);
        const std::int64_t now = clock_.elapsed();
        logged.ms = now;
        logged.bytes = frame;
        logged.endpoint = endpoint;
        // Kept only while faults are in force: a Forget fault puts it back after the request.
        const std::optional<SensorState> before =
            faults_.Empty() ? std::nullopt : std::optional<SensorState>(model_.state());
        const QByteArray reply =
            model_.HandleRequest(frame, measurementClock_ ? measurementClock_() : now);
        bool forget = false;
        plan = faults_.Apply(
            logged.Order(), reply, [this](std::uint16_t row) { return model_.RowReply(row); },
            &forget);
        if (forget && before) model_.state() = *before;
    }
    const quint16 order = logged.Order();
    qCDebug(lcSim).noquote() << QStringLiteral("%1 order %2: %3 bytes, reply %4")
                                    .arg(endpoint)
                                    .arg(order)
                                    .arg(frame.size())
                                    .arg(DescribePlan(plan));
    log_.Append(std::move(logged));
    emit requestReceived(order);
    return plan;
}

void SimServer::RunInOwnThread(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread()) {
        fn();
    } else {
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
    }
}

}  // namespace tvx::sim
