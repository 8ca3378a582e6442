#include "margin_trend.h"

#include <algorithm>
#include <cmath>

namespace tvx {

namespace {

QString Hours(double hours) {
    if (hours < 1.0) return QStringLiteral("%1 min").arg(std::max(1.0, std::round(hours * 60)));
    if (hours < 48.0) return QStringLiteral("%1 h").arg(std::round(hours));
    return QStringLiteral("%1 days").arg(std::round(hours / 24));
}

QString Number(double value) {
    return QString::number(value, 'f', 2);
}

}  // namespace

QString MarginTrend::Reading::Text() const {
    const QString head = QStringLiteral("margin ") + Number(margin);
    switch (state) {
        case State::Unknown:
            return QStringLiteral("no margin yet");
        case State::Learning:
            return head + QStringLiteral(", its usual level is learnt in the first %1 minutes")
                              .arg(kBaselineMinutes);
        case State::Steady:
            return head + QStringLiteral(", steady");
        case State::Falling: {
            const QString rate = QString::number(-perHour, 'g', 2);
            if (!edgeHours)
                return head + QStringLiteral(", falling %1 per hour: past the edge").arg(rate);
            return head + QStringLiteral(", falling %1 per hour: the edge in about %2")
                              .arg(rate, Hours(*edgeHours));
        }
        case State::LowNotFalling:
            return head +
                   QStringLiteral(", below its usual %1, not falling now").arg(Number(usual));
        case State::Rising:
            return head +
                   QStringLiteral(", rising %1 per hour").arg(QString::number(perHour, 'g', 2));
    }
    return head;
}

bool MarginTrend::Take(double seconds, const std::optional<RecognitionMargin>& margin) {
    bool closed = false;
    if (minuteStart_ && seconds - *minuteStart_ >= kMinuteSeconds) {
        CloseMinute(*minuteStart_);
        closed = true;
    }
    if (!margin) return closed;
    if (!minuteStart_) minuteStart_ = seconds;
    minuteSum_ += margin->first.margin;
    ++minuteFrames_;
    return closed;
}

void MarginTrend::CloseMinute(double startSeconds) {
    const double mean = minuteSum_ / static_cast<double>(minuteFrames_);
    minuteStart_.reset();
    minuteSum_ = 0;
    minuteFrames_ = 0;
    ++minutes_;
    if (minutes_ <= kBaselineMinutes) {
        baselineSum_ += mean;
        baselineSquares_ += mean * mean;
        reading_.state = State::Learning;
        reading_.margin = mean;
        if (minutes_ < kBaselineMinutes) return;
        const double n = kBaselineMinutes;
        reading_.usual = baselineSum_ / n;
        const double variance = (baselineSquares_ - n * reading_.usual * reading_.usual) / (n - 1);
        sigma_ = std::max(kLeastSpread, std::sqrt(std::max(0.0, variance)));
        z_ = reading_.usual;
        reading_.state = State::Steady;
        reading_.margin = z_;
        return;
    }
    z_ = kLambda * mean + (1 - kLambda) * z_;
    recent_.emplace_back(startSeconds, z_);
    if (static_cast<int>(recent_.size()) > kSlopeMinutes) recent_.pop_front();
    const double limit = kLimitWidth * sigma_ * std::sqrt(kLambda / (2 - kLambda));
    reading_.margin = z_;
    reading_.perHour = 0;
    reading_.edgeHours.reset();
    // A slope counts when over its window it moves z by more than the limits' half-width:
    // a level that stepped down and stays has a slope of noise, not a trend.
    double slope = Slope();
    if (std::abs(slope) * kSlopeMinutes / 60.0 <= limit) slope = 0;
    if (z_ < reading_.usual - limit) {
        reading_.state = slope < 0 ? State::Falling : State::LowNotFalling;
        if (slope < 0) {
            reading_.perHour = slope;
            if (z_ > 0) reading_.edgeHours = z_ / -slope;
        }
    } else if (z_ > reading_.usual + limit && slope > 0) {
        reading_.state = State::Rising;
        reading_.perHour = slope;
    } else {
        reading_.state = State::Steady;
    }
}

// Per hour, over the z of the last minutes at the times their minutes began (a gap in the frames
// is time all the same); one minute's z alone has no slope.
double MarginTrend::Slope() const {
    const auto n = static_cast<double>(recent_.size());
    if (n < 2) return 0;
    double meanT = 0, meanZ = 0;
    for (const auto& [t, z] : recent_) {
        meanT += t;
        meanZ += z;
    }
    meanT /= n;
    meanZ /= n;
    double covariance = 0, variance = 0;
    for (const auto& [t, z] : recent_) {
        covariance += (t - meanT) * (z - meanZ);
        variance += (t - meanT) * (t - meanT);
    }
    return variance > 0 ? covariance / variance * 3600.0 : 0.0;  // per second, to per hour
}

}  // namespace tvx
