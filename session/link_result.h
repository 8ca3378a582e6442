#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMetaType>
#include <QSerialPort>
#include <QString>
#include <optional>

namespace tvx {

// How opening a link, a transfer or an exchange ended. Every failure the link can meet arrives
// as exactly one of these.
enum class LinkOutcome {
    Done,             // opened; written whole; the reply came complete
    OpenFailed,       // the serial port did not open (the serial error table's code and text)
    ConnectFailed,    // the TCP connect failed (the TCP error table's code and text)
    WriteIncomplete,  // the request did not go out whole
    NoReply,          // nothing came within the limit
    ShortReply,       // fewer bytes than the reply's length came within the limit
    LongReply,        // more bytes than the reply's length were queued at once (serial line)
    ClosedBySensor,   // the sensor closed the TCP conversation
    LineHungUp,       // the serial line went away (adapter unplugged, other end closed)
    Superseded,       // the link was closed from this side, or a newer exchange took it
};

// An outcome as one word, as the metrics label a failure and the session log shows it:
// "no_reply", "short_reply" ... ("none" for Done).
QString FailureKind(LinkOutcome outcome);

// Why an open link went down.
enum class LinkDownReason { ClosedBySensor, LineHungUp, ClosedHere };

// One line for a log or an error message: "the sensor closed the connection".
QString DescribeLinkDown(LinkDownReason reason);

// What the system said beneath an error table's code. The window programs show the table's text;
// the command-line tool says the cause in its own words from this, since a table code such as
// "InvalidParameter" stands for several causes a user must tell apart.
struct SystemCause {
    std::optional<QAbstractSocket::SocketError> socket;
    std::optional<QSerialPort::SerialPortError> serial;
    int errnum = 0;  // errno where it tells more than the error above; 0 when not known
    QString text;    // the socket's or port's own error text, or strerror's
};

struct OpenResult {
    LinkOutcome outcome = LinkOutcome::Done;
    int code = 0;  // 0, or the negative code of the serial or TCP error table
    QString text;  // that table's text for the code
    SystemCause cause;
    bool ok() const { return outcome == LinkOutcome::Done; }
};

struct ExchangeResult {
    LinkOutcome outcome = LinkOutcome::Done;
    int written = 0;   // bytes written, or the write's negative code
    int expected = 0;  // length of the awaited reply; 0 for a send-only transfer
    // Bytes that came. Over TCP at most `expected` (what follows a complete reply is dropped);
    // on the serial line everything queued when the wait ended, which may be more.
    int arrived = 0;
    QByteArray reply;             // the bytes read, at most the receive buffer's size
    double startSeconds = 0.0;    // SecondsTimer when the wait for the reply began
    double elapsedSeconds = 0.0;  // from then until the exchange ended
    double limitSeconds = 0.0;    // how long the reply was waited for; 0 for a send-only transfer
    SystemCause writeCause;       // for a write that failed (`written` < 0), what the system said

    bool ok() const { return outcome == LinkOutcome::Done; }
    // Exactly the awaited number of bytes came, whatever else went wrong (a write reported
    // incomplete may still have reached the sensor).
    bool ReplyComplete() const { return arrived == expected; }
    // The failure as one line: "no reply within 3.0 s", "short reply: 20 of 36 bytes".
    QString Describe() const;
};

}  // namespace tvx

Q_DECLARE_METATYPE(tvx::OpenResult)
Q_DECLARE_METATYPE(tvx::LinkDownReason)
