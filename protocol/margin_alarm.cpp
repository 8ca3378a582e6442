#include "margin_alarm.h"

#include <cmath>

namespace tvx {

QString MarginAlarmSettings::Problem() const {
    if (!(warn >= -1.0 && warn <= 1.0))
        return QStringLiteral("--margin-warn %1: a margin lies within -1 ... 1").arg(warn);
    if (!(delaySeconds >= 0.0) || !std::isfinite(delaySeconds))
        return QStringLiteral("--margin-delay %1: seconds, 0 or more").arg(delaySeconds);
    if (!(deadband >= 0.0 && deadband <= 2.0))
        return QStringLiteral("--margin-deadband %1: a margin difference, 0 ... 2").arg(deadband);
    // A margin is at most 1: above that no frame could ever clear the alarm.
    if (warn + deadband >= 1.0)
        return QStringLiteral(
                   "--margin-warn %1 with --margin-deadband %2: the alarm could never "
                   "clear (warn + deadband must stay below 1)")
            .arg(warn)
            .arg(deadband);
    return {};
}

std::optional<MarginAlarmChange> MarginAlarm::Take(double seconds,
                                                   const std::optional<RecognitionMargin>& margin) {
    if (!margin) {
        runSince_.reset();
        return std::nullopt;
    }
    const double value = margin->first.margin;
    const bool doubtful = !margin->reported || margin->Ambiguous();
    const bool low = doubtful || value < settings_.warn;
    const bool high = !doubtful && value > settings_.warn + settings_.deadband;
    // The frames that would change the state: low ones in the normal state, high ones in alarm.
    if (alarm_ ? !high : !low) {
        runSince_.reset();
        return std::nullopt;
    }
    if (!runSince_) runSince_ = seconds;
    if (seconds - *runSince_ < settings_.delaySeconds) return std::nullopt;
    alarm_ = !alarm_;
    MarginAlarmChange change{alarm_, margin->first, *runSince_};
    runSince_.reset();
    return change;
}

}  // namespace tvx
