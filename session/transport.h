#pragma once

#include <QByteArray>
#include <QObject>

#include "link_result.h"

namespace tvx {

// Bytes the kernel holds for the descriptor, not yet read by the transport.
int KernelQueuedBytes(qintptr descriptor);

// One open line to one sensor: a serial port or a TCP conversation. It moves bytes and says when
// the line went away; what the bytes mean and how long to wait for them is the session's.
class Transport : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual bool IsOpen() const = 0;
    // Writes all of `frame`, waiting at most timeoutMs for it to leave: the count written, or a
    // negative code of the link's error table. The one call that blocks, and only for a frame.
    virtual int Write(const QByteArray& frame, int timeoutMs) = 0;
    // After a Write that returned a negative code: what the system said of it.
    const SystemCause& WriteCause() const { return writeCause_; }
    // Takes off the line what arrived before a request, that announced or not; the count.
    virtual qint64 DropInput() = 0;
    virtual qint64 BytesAvailable() const = 0;
    virtual QByteArray Read(qint64 most) = 0;
    // Closes from this side; no wentDown follows.
    virtual void Close() = 0;

  protected:
    SystemCause writeCause_;

  signals:
    // Bytes arrived (delivered from the event loop, never from inside a call of this object).
    void dataArrived();
    // The line went away on the other side; the transport is closed by then.
    void wentDown(tvx::LinkDownReason reason);
};

}  // namespace tvx
