#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "fault_plan.h"
#include "frame_collector.h"
#include "line_writer.h"

namespace tvx::sim {

// The sensor's serial line as a pseudo-terminal: the client opens the slave device (or the
// symlink made for it) like a serial port. The simulator keeps a slave descriptor of its own
// open, so the master never sees a hang-up while no client is attached.
class PtyEndpoint : public QObject {
    Q_OBJECT
  public:
    using FrameHandler = std::function<ReplyPlan(const QByteArray& frame)>;

    explicit PtyEndpoint(FrameHandler handler, QObject* parent = nullptr);
    ~PtyEndpoint() override;

    bool Open(const QString& link, QString* error);
    // Closes the pseudo-terminal (a client sees the line go dead) and opens a fresh one at
    // the same link.
    bool Reopen(QString* error);
    QString SlavePath() const { return slavePath_; }
    void SetBaud(int baud) { writer_.SetBaud(baud); }
    LineWriter& Writer() { return writer_; }
    void SendUnsolicited(const QByteArray& bytes);

  signals:
    void reopened(const QString& slavePath);

  private:
    void Close();
    void OnReadable();
    qint64 Write(const QByteArray& bytes);

    FrameHandler handler_;
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString link_;
    bool linked_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    FrameCollector collector_;
    LineWriter writer_;
};

}  // namespace tvx::sim
