#include "sim_thread.h"

#include <QThread>

namespace tvx::sim {

SimThread::SimThread() = default;

SimThread::~SimThread() {
    Stop();
}

bool SimThread::Start(const SimConfig& config) {
    Stop();
    error_.clear();
    thread_ = new QThread;
    thread_->setObjectName(QStringLiteral("tvx-sensor-sim"));
    // An object living in the new thread to run the set-up there.
    anchor_ = new QObject;
    anchor_->moveToThread(thread_);
    QObject::connect(thread_, &QThread::finished, anchor_, &QObject::deleteLater);
    thread_->start();

    bool ok = false;
    QMetaObject::invokeMethod(
        anchor_,
        [this, &config, &ok] {
            server_ = new SimServer;  // created here, so it lives in the simulator's thread
            if (!config.version.isEmpty()) server_->SetVersion(config.version);
            if (config.scenario) server_->SetScenario(*config.scenario);
            if (config.replay) server_->SetReplay(*config.replay);
            server_->SetFaults(config.faults);
            server_->SetBaud(config.baud);
            ok = true;
            if (config.tcp && !server_->ListenTcp(config.tcpPort)) ok = false;
            if (ok && config.pty && !server_->OpenPty(config.ptyLink)) ok = false;
            if (!ok) error_ = server_->LastError();
        },
        Qt::BlockingQueuedConnection);
    if (!ok) Stop();
    return ok;
}

void SimThread::Stop() {
    if (!thread_) return;
    if (server_) {
        SimServer* server = server_;
        // The server and its sockets are destroyed in their own thread.
        QMetaObject::invokeMethod(
            anchor_, [server] { delete server; }, Qt::BlockingQueuedConnection);
        server_ = nullptr;
    }
    thread_->quit();
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    anchor_ = nullptr;  // deleted when the thread finished
}

bool SimThread::Running() const {
    return thread_ != nullptr && server_ != nullptr;
}

quint16 SimThread::TcpPort() const {
    return server_ ? server_->TcpPort() : 0;
}

QString SimThread::PtyPath() const {
    return server_ ? server_->PtyPath() : QString();
}

QString SimThread::Error() const {
    return error_;
}

SimServer& SimThread::Server() {
    return *server_;
}

}  // namespace tvx::sim
