#include "state_line_model.h"

#include "link_errors.h"
#include "state_line.h"

namespace tvx {

namespace {

// The frame rate is taken over this many frames: steady enough to read, quick to follow a change.
constexpr std::size_t kRateFrames = 10;

const char* NameOf(Activity activity) {
    switch (activity) {
        case Activity::Live:
            return "LIVE";
        case Activity::Zoom:
            return "ZOOM";
        case Activity::Recording:
            return "RECORDING";
        case Activity::Polling:
            return "POLLING";
        case Activity::Sending:
            return "SENDING";
        case Activity::Reading:
            return "READING";
        case Activity::Transfer:
            return "TRANSFER";
        case Activity::Calibrating:
            return "CALIBRATING";
    }
    return "";
}

// What the user started, as a failure names it: "... during GO".
const char* CommandOf(Activity activity) {
    switch (activity) {
        case Activity::Live:
            return "GO";
        case Activity::Zoom:
            return "ZOOM";
        case Activity::Recording:
            return "RECORD";
        case Activity::Polling:
            return "POLLING";
        case Activity::Sending:
            return "SEND";
        case Activity::Reading:
            return "GET";
        case Activity::Transfer:
            return "the table transfer";
        case Activity::Calibrating:
            return "the calibration run";
    }
    return "";
}

// The connect failures a user can act on, in words; the others by the error table's text.
QString ConnectCause(const OpenResult& result) {
    switch (result.code) {
        case kTcpUnableToEstablishConnection:
            return QStringLiteral("connection refused");
        case kTcpTimeOutError:
            return QStringLiteral("no connection within 5 s");
        case kTcpInvalidParameter:
            return QStringLiteral("no such address");
        default:
            return result.text.trimmed();
    }
}

}  // namespace

void StateLineModel::AttemptStarted(const QString& endpoint) {
    if (!endpoint_.isEmpty() && endpoint != endpoint_) {
        lastTransfer_.clear();
        stale_ = true;
    }
    endpoint_ = endpoint;
    phase_ = Phase::Connecting;
    cause_.clear();
    emit changed();
}

void StateLineModel::OpenFailed(const OpenResult& result, bool tcp) {
    const QString cause = tcp ? ConnectCause(result) : result.text.trimmed();
    Record(QStringLiteral("%1: %2").arg(cause, endpoint_), {}, true);
}

void StateLineModel::HandshakeEnded(bool answered, const ExchangeResult& result) {
    if (answered) {
        phase_ = Phase::Up;
        cause_.clear();
        emit changed();
        return;
    }
    if (result.outcome == LinkOutcome::NoReply)
        Record(QStringLiteral("no answer to the handshake"), {}, true);
    else
        Record(QStringLiteral("handshake: %1").arg(result.Describe()), {}, true);
}

void StateLineModel::ExchangeFailed(const ExchangeResult& result) {
    if (result.ok() || result.outcome == LinkOutcome::Superseded) return;
    const bool down =
        result.outcome == LinkOutcome::ClosedBySensor || result.outcome == LinkOutcome::LineHungUp;
    Record(result.Describe(), During(), down);
}

void StateLineModel::LinkLost(LinkDownReason reason) {
    if (reason == LinkDownReason::ClosedHere) return;
    Record(DescribeLinkDown(reason), During(), true);
}

void StateLineModel::Failure(const QString& cause) {
    Record(cause, During(), false);
}

void StateLineModel::Record(const QString& cause, const QString& during, bool linkDown) {
    ++failures_;
    lastCause_ = cause;
    stale_ = true;
    // The frames stopped coming: no rate until they come again.
    if (!running_.empty()) running_.back().frameTimes.clear();
    // The first cause is the real one; what follows from it (the handshake on a port that did
    // not open, the exchanges on a closed conversation) only repeats it.
    if (cause_.isEmpty()) cause_ = cause + during;
    if (linkDown || phase_ != Phase::Up) phase_ = Phase::Down;
    emit changed();
}

QString StateLineModel::During() const {
    if (running_.empty()) return {};
    return QStringLiteral(" during %1").arg(QLatin1String(CommandOf(running_.back().activity)));
}

void StateLineModel::BeginActivity(Activity activity, const QString& detail) {
    running_.push_back({activity, detail, {}});
    emit changed();
}

void StateLineModel::SetActivityDetail(const QString& detail) {
    if (running_.empty() || running_.back().detail == detail) return;
    running_.back().detail = detail;
    emit changed();
}

void StateLineModel::EndActivity() {
    if (running_.empty()) return;
    running_.pop_back();
    emit changed();
}

void StateLineModel::FrameShown(double seconds) {
    stale_ = false;
    cursorReadout_ = false;
    if (!running_.empty()) {
        std::deque<double>& times = running_.back().frameTimes;
        times.push_back(seconds);
        if (times.size() > kRateFrames) times.pop_front();
    }
    emit changed();
}

void StateLineModel::SetCursorReadout(bool readout) {
    if (cursorReadout_ == readout) return;
    cursorReadout_ = readout;
    emit changed();
}

void StateLineModel::SetLastTransfer(const QString& result, const QTime& at) {
    lastTransfer_ = QStringLiteral("%1 %2").arg(result, at.toString(QStringLiteral("HH:mm:ss")));
    emit changed();
}

void StateLineModel::EndTransfer(int failuresBefore, const QString& done, const QString& notDone) {
    SetLastTransfer(
        failures_ == failuresBefore ? done : QStringLiteral("%1: %2").arg(notDone, lastCause_));
}

void StateLineModel::SetUnsentChanges(int count) {
    if (unsent_ == count) return;
    unsent_ = count;
    emit changed();
}

QString StateLineModel::LinkText() const {
    switch (phase_) {
        case Phase::None:
            break;
        case Phase::Connecting:
            return QStringLiteral("connecting to %1").arg(endpoint_);
        case Phase::Up:
            return cause_.isEmpty() ? QStringLiteral("connected")
                                    : QStringLiteral("connected, last failure: %1").arg(cause_);
        case Phase::Down:
            return cause_.isEmpty() ? QStringLiteral("not connected")
                                    : QStringLiteral("not connected: %1").arg(cause_);
    }
    return QStringLiteral("not connected");
}

QString StateLineModel::ActivityText() const {
    if (cursorReadout_) return QStringLiteral("ZOOM: X/Y show the cursor");
    if (running_.empty()) return QStringLiteral("idle");
    const Entry& now = running_.back();
    QString text = QLatin1String(NameOf(now.activity));
    if (!now.detail.isEmpty()) text += QLatin1Char(' ') + now.detail;
    const std::deque<double>& times = now.frameTimes;
    if (times.size() >= 2 && times.back() > times.front()) {
        const double rate = static_cast<double>(times.size() - 1) / (times.back() - times.front());
        text += QStringLiteral(" %1 frames/s").arg(rate, 0, 'f', 1);
    }
    return text;
}

QString StateLineModel::UnsentText() const {
    if (unsent_ <= 0) return {};
    return unsent_ == 1 ? QStringLiteral("1 unsent change")
                        : QStringLiteral("%1 unsent changes").arg(unsent_);
}

bool StateLineModel::Running(Activity activity) const {
    return !running_.empty() && running_.back().activity == activity;
}

void ShowStateLine(StateLineModel& model, StateLine& line) {
    auto show = [&model, &line] {
        line.SetTexts({model.EndpointText(), model.LinkText(), model.ActivityText(),
                       model.LastTransferText(), model.UnsentText()});
    };
    QObject::connect(&model, &StateLineModel::changed, &line, show);
    show();
}

}  // namespace tvx
