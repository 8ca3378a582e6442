#include "link_result.h"

namespace tvx {

QString DescribeLinkDown(LinkDownReason reason) {
    switch (reason) {
        case LinkDownReason::ClosedBySensor:
            return QStringLiteral("the sensor closed the connection");
        case LinkDownReason::LineHungUp:
            return QStringLiteral("the serial line hung up");
        case LinkDownReason::ClosedHere:
            break;
    }
    return QStringLiteral("closed");
}

QString FailureKind(LinkOutcome outcome) {
    switch (outcome) {
        case LinkOutcome::Done:
            return QStringLiteral("none");
        case LinkOutcome::OpenFailed:
            return QStringLiteral("open_failed");
        case LinkOutcome::ConnectFailed:
            return QStringLiteral("connect_failed");
        case LinkOutcome::WriteIncomplete:
            return QStringLiteral("write_incomplete");
        case LinkOutcome::NoReply:
            return QStringLiteral("no_reply");
        case LinkOutcome::ShortReply:
            return QStringLiteral("short_reply");
        case LinkOutcome::LongReply:
            return QStringLiteral("long_reply");
        case LinkOutcome::ClosedBySensor:
            return QStringLiteral("closed_by_sensor");
        case LinkOutcome::LineHungUp:
            return QStringLiteral("line_hung_up");
        case LinkOutcome::Superseded:
            return QStringLiteral("superseded");
    }
    return QStringLiteral("other");
}

QString ExchangeResult::Describe() const {
    switch (outcome) {
        case LinkOutcome::Done:
            return QStringLiteral("done");
        case LinkOutcome::OpenFailed:
        case LinkOutcome::ConnectFailed:
            return QStringLiteral("not connected");
        case LinkOutcome::WriteIncomplete:
            return written < 0
                       ? QStringLiteral("the request could not be written (error %1)").arg(written)
                       : QStringLiteral("the request went out incomplete (%1 of 36 bytes)")
                             .arg(written);
        case LinkOutcome::NoReply:
            return QStringLiteral("no reply within %1 s").arg(limitSeconds, 0, 'f', 1);
        case LinkOutcome::ShortReply:
            return QStringLiteral("short reply: %1 of %2 bytes").arg(arrived).arg(expected);
        case LinkOutcome::LongReply:
            return QStringLiteral("long reply: %1 bytes for %2").arg(arrived).arg(expected);
        case LinkOutcome::ClosedBySensor:
            return DescribeLinkDown(LinkDownReason::ClosedBySensor);
        case LinkOutcome::LineHungUp:
            return DescribeLinkDown(LinkDownReason::LineHungUp);
        case LinkOutcome::Superseded:
            return QStringLiteral("the link was taken by another exchange");
    }
    return {};
}

}  // namespace tvx
