#include "pty_endpoint.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tvx::sim {

namespace {

QString SystemError(const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B19200);
    cfsetospeed(&tio, B19200);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

PtyEndpoint::PtyEndpoint(FrameHandler handler, QObject* parent)
    : QObject(parent),
      handler_(std::move(handler)),
      writer_([this](const QByteArray& bytes) { return Write(bytes); },
              [this] {
                  // A fault closes the line: reopen once the current pump has returned.
                  QTimer::singleShot(0, this, [this] { Reopen(nullptr); });
              }) {}

PtyEndpoint::~PtyEndpoint() {
    Close();
    if (linked_) ::unlink(link_.toLocal8Bit().constData());
}

bool PtyEndpoint::Open(const QString& link, QString* error) {
    Close();
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        Close();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) return fail(SystemError(QStringLiteral("posix_openpt")));
    if (::grantpt(master_) != 0) return fail(SystemError(QStringLiteral("grantpt")));
    if (::unlockpt(master_) != 0) return fail(SystemError(QStringLiteral("unlockpt")));
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        return fail(SystemError(QStringLiteral("ptsname_r")));
    }
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave_ < 0) return fail(SystemError(slavePath_));
    if (!MakeRaw(slave_)) return fail(SystemError(QStringLiteral("tcsetattr")));
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave_, F_SETFD, FD_CLOEXEC);

    if (!link.isEmpty()) {
        const QByteArray path = link.toLocal8Bit();
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                return fail(QStringLiteral("%1 exists and is not a symbolic link").arg(link));
            }
            ::unlink(path.constData());
        }
        if (::symlink(name, path.constData()) != 0) return fail(SystemError(link));
        link_ = link;
        linked_ = true;
    }
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &PtyEndpoint::OnReadable);
    return true;
}

bool PtyEndpoint::Reopen(QString* error) {
    const QString link = link_;
    if (!Open(link, error)) return false;
    emit reopened(slavePath_);
    return true;
}

void PtyEndpoint::Close() {
    writer_.Clear();
    collector_.Reset();
    notifier_.reset();
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
}

void PtyEndpoint::OnReadable() {
    QByteArray received;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        break;  // EAGAIN: drained; EIO cannot happen while our own slave end is open
    }
    if (received.isEmpty()) return;
    for (const QByteArray& frame : collector_.Feed(received)) writer_.Enqueue(handler_(frame));
}

qint64 PtyEndpoint::Write(const QByteArray& bytes) {
    if (master_ < 0) return 0;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // the slave's input queue is full: the rest is lost, as on a real line
        }
    }
    return done;
}

void PtyEndpoint::SendUnsolicited(const QByteArray& bytes) {
    if (master_ >= 0 && !bytes.isEmpty()) writer_.Enqueue({ReplyStep{0, bytes, false}});
}

}  // namespace tvx::sim
