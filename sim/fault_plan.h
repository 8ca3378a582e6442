#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tvx::sim {

// One way of misbehaving on the line.
enum class FaultKind {
    NoReply,       // the request is not answered
    ShortReply,    // only the first `a` bytes of the reply are sent (default 35)
    LongReply,     // `a` extra bytes 0xEE follow the reply (default 1), in the same write as
                   // its last byte
    SplitReply,    // the reply goes out in parts of `a` bytes (default 18), `b` ms apart (100)
    DelayedReply,  // the reply starts `a` ms late (default 1000)
    WrongSync,     // word 0 of the reply is `a` (default 0x56)
    WrongOrder,    // word 1 of the reply is `a` (default: the request's order + 1)
    WrongRow,      // a teach-row read (order 4) of row r is answered for row (r + a) mod 15
                   // (a from 1 to 14, default 1): that row's number and data
    Disconnect,    // the conversation is closed after the reply to the `a`-th matching request;
                   // a = 0: closed on the first matching request, which gets no reply
    Unsolicited,   // `a` bytes 0xCC (default 36) are sent `b` ms (default 100) after the reply
    Forget,        // the request is taken and answered as usual, but the sensor's memories stay
                   // as they were: a write that does not stick
};

// A fault and where it applies. Reply faults (all but Disconnect, Unsolicited and Forget) match
// only requests the sensor answers, WrongRow only teach-row reads; Disconnect, Unsolicited and
// Forget match every request of the order.
struct Fault {
    static constexpr int kAllOrders = -1;
    static constexpr int kAlways = -1;
    static constexpr int kDefault = -1;

    FaultKind kind = FaultKind::NoReply;
    int order = kAllOrders;  // the order code it applies to, or kAllOrders
    int times = kAlways;     // how many times it applies (1 = once), or kAlways
    int skip = 0;            // matching requests passed over before it applies
    int a = kDefault;        // first parameter (see FaultKind), kDefault for the default
    int b = kDefault;        // second parameter

    // Parses "KIND[:A[:B]][,order=N][,times=N|always|once][,skip=N]", kinds: noreply, short,
    // long, split, delay, badsync, badorder, badrow, disconnect, unsolicited, forget.
    static std::optional<Fault> Parse(const QString& text, QString* error);
    QString ToString() const;
};

// What to put on the line for one request: parts written one after the other.
struct ReplyStep {
    int waitMs = 0;      // pause before this step
    QByteArray bytes;    // bytes written (paced at the line's baud rate)
    bool close = false;  // close the conversation after the bytes
    int together = 0;    // the last `together` bytes go out in one write with the byte before
                         // them, so a client finds them queued at once even on a paced line
};
using ReplyPlan = std::vector<ReplyStep>;

// The faults in force and their counters. Not thread-safe: the server guards it.
class FaultPlan {
  public:
    void Add(const Fault& fault);
    void Clear();
    std::vector<Fault> Faults() const;  // as added, also those used up
    bool Empty() const;

    // The sensor's reply to a teach-row read of `row`, for WrongRow.
    using RowReply = std::function<QByteArray(std::uint16_t row)>;

    // The plan for `reply` (empty when the order has no reply) to a request of `order`.
    // Every fault that matches is applied and counted. Without `rowReply` WrongRow changes only
    // the row number of the reply. `forget`, when given, is set when a Forget fault applied: the
    // caller then undoes what the request changed in the sensor.
    ReplyPlan Apply(std::uint16_t order, const QByteArray& reply, const RowReply& rowReply = {},
                    bool* forget = nullptr);

  private:
    struct Active {
        Fault fault;
        int seen = 0;      // matching requests so far (skip included)
        int applied = 0;   // times applied
        int sinceArm = 0;  // Disconnect: matching requests since the last close
    };
    std::vector<Active> faults_;
};

}  // namespace tvx::sim
