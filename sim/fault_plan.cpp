#include "fault_plan.h"

#include <QStringList>
#include <algorithm>

#include "frames.h"
#include "sensor_state.h"

namespace tvx::sim {

namespace {

// Bounds of the parameters: a byte count never asks for more than a line could carry in a
// minute, a time never for more than an hour, a word value fits 16 bits.
constexpr int kMaxBytes = 65536;
constexpr int kMaxMs = 3600 * 1000;
constexpr int kMaxWord = 0xFFFF;
constexpr int kMaxCount = 1000000;

struct KindName {
    FaultKind kind;
    const char* name;
    int params;  // how many of a, b it takes
    int maxA;    // the largest a (and b) it accepts
    int maxB;
    int minA = 0;  // the smallest a it accepts
};

constexpr KindName kKinds[] = {
    {FaultKind::NoReply, "noreply", 0, 0, 0},
    {FaultKind::ShortReply, "short", 1, kMaxBytes, 0},
    {FaultKind::LongReply, "long", 1, kMaxBytes, 0},
    {FaultKind::SplitReply, "split", 2, kMaxBytes, kMaxMs},
    {FaultKind::DelayedReply, "delay", 1, kMaxMs, 0},
    {FaultKind::WrongSync, "badsync", 1, kMaxWord, 0},
    {FaultKind::WrongOrder, "badorder", 1, kMaxWord, 0},
    {FaultKind::WrongRow, "badrow", 1, kRows - 1, 0, 1},
    {FaultKind::Disconnect, "disconnect", 1, kMaxCount, 0},
    {FaultKind::Unsolicited, "unsolicited", 2, kMaxBytes, kMaxMs},
    {FaultKind::Forget, "forget", 0, 0, 0},
};

// The teach-row read, the only order WrongRow applies to.
constexpr std::uint16_t kRowRead = 4;

constexpr std::uint8_t kLongFiller = 0xEE;
constexpr std::uint8_t kUnsolicitedFiller = 0xCC;

bool IsReplyFault(FaultKind kind) {
    return kind != FaultKind::Disconnect && kind != FaultKind::Unsolicited &&
           kind != FaultKind::Forget;
}

int Or(int value, int fallback) {
    return value == Fault::kDefault ? fallback : value;
}

bool ParseNumber(const QString& text, int* value) {
    bool ok = false;
    // Decimal, or hexadecimal with 0x.
    const int v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                      ? text.mid(2).toInt(&ok, 16)
                      : text.toInt(&ok, 10);
    if (!ok || v < 0) return false;
    *value = v;
    return true;
}

}  // namespace

std::optional<Fault> Fault::Parse(const QString& text, QString* error) {
    auto fail = [&](const QString& reason) {
        if (error) *error = QStringLiteral("fault \"%1\": %2").arg(text, reason);
        return std::nullopt;
    };
    const QStringList parts = text.trimmed().split(QLatin1Char(','));
    const QStringList head = parts[0].trimmed().split(QLatin1Char(':'));
    Fault fault;
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds) {
        if (head[0] == QLatin1String(k.name)) kind = &k;
    }
    if (!kind) return fail(QStringLiteral("unknown kind \"%1\"").arg(head[0]));
    fault.kind = kind->kind;
    if (head.size() - 1 > kind->params) {
        return fail(
            QStringLiteral("\"%1\" takes at most %2 parameter(s)").arg(head[0]).arg(kind->params));
    }
    int* params[] = {&fault.a, &fault.b};
    const int limits[] = {kind->maxA, kind->maxB};
    for (int i = 1; i < head.size(); ++i) {
        if (!ParseNumber(head[i], params[i - 1])) {
            return fail(QStringLiteral("bad parameter \"%1\"").arg(head[i]));
        }
        if (*params[i - 1] > limits[i - 1]) {
            return fail(
                QStringLiteral("parameter \"%1\" is above %2").arg(head[i]).arg(limits[i - 1]));
        }
        if (i == 1 && fault.a < kind->minA) {
            return fail(
                QStringLiteral("parameter \"%1\" is below %2").arg(head[i]).arg(kind->minA));
        }
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString option = parts[i].trimmed();
        const int eq = option.indexOf(QLatin1Char('='));
        if (eq <= 0) return fail(QStringLiteral("expected KEY=VALUE, got \"%1\"").arg(option));
        const QString key = option.left(eq);
        const QString value = option.mid(eq + 1);
        if (key == QLatin1String("order")) {
            if (value == QLatin1String("all")) {
                fault.order = kAllOrders;
            } else if (!ParseNumber(value, &fault.order) || fault.order > 0xFFFF) {
                return fail(QStringLiteral("bad order \"%1\"").arg(value));
            }
        } else if (key == QLatin1String("times")) {
            if (value == QLatin1String("always")) {
                fault.times = kAlways;
            } else if (value == QLatin1String("once")) {
                fault.times = 1;
            } else if (!ParseNumber(value, &fault.times) || fault.times == 0) {
                return fail(QStringLiteral("bad times \"%1\"").arg(value));
            }
        } else if (key == QLatin1String("skip")) {
            if (!ParseNumber(value, &fault.skip)) {
                return fail(QStringLiteral("bad skip \"%1\"").arg(value));
            }
        } else {
            return fail(QStringLiteral("unknown option \"%1\"").arg(key));
        }
    }
    return fault;
}

QString Fault::ToString() const {
    QString text;
    int params = 0;
    for (const KindName& k : kKinds) {
        if (k.kind == kind) {
            text = QLatin1String(k.name);
            params = k.params;
        }
    }
    if (params >= 1 && (a != kDefault || b != kDefault)) text += QStringLiteral(":%1").arg(a);
    if (params >= 2 && b != kDefault) text += QStringLiteral(":%1").arg(b);
    if (order != kAllOrders) text += QStringLiteral(",order=%1").arg(order);
    if (times != kAlways) text += QStringLiteral(",times=%1").arg(times);
    if (skip != 0) text += QStringLiteral(",skip=%1").arg(skip);
    return text;
}

void FaultPlan::Add(const Fault& fault) {
    faults_.push_back(Active{fault});
}

void FaultPlan::Clear() {
    faults_.clear();
}

std::vector<Fault> FaultPlan::Faults() const {
    std::vector<Fault> all;
    for (const Active& a : faults_) all.push_back(a.fault);
    return all;
}

bool FaultPlan::Empty() const {
    return faults_.empty();
}

ReplyPlan FaultPlan::Apply(std::uint16_t order, const QByteArray& reply, const RowReply& rowReply,
                           bool* forget) {
    QByteArray bytes = reply;
    bool noReply = false;
    bool closeBefore = false;
    bool closeAfter = false;
    int delayMs = 0;
    int splitBytes = 0;
    int splitPauseMs = 0;
    int unsolicitedBytes = 0;
    int unsolicitedWaitMs = 0;
    int sync = -1;
    int orderWord = -1;
    int rowShift = 0;
    int shortTo = -1;
    int extra = 0;

    for (Active& active : faults_) {
        const Fault& f = active.fault;
        if (f.order != Fault::kAllOrders && f.order != order) continue;
        if (IsReplyFault(f.kind) && reply.isEmpty()) continue;
        if (f.kind == FaultKind::WrongRow && order != kRowRead) continue;
        if (f.times != Fault::kAlways && active.applied >= f.times) continue;
        ++active.seen;
        if (active.seen <= f.skip) continue;
        if (f.kind == FaultKind::Disconnect) {
            // Counts requests since it was set (or since its last close) and fires on the a-th.
            ++active.sinceArm;
            const int after = Or(f.a, 0);
            if (after == 0) {
                closeBefore = true;
            } else if (active.sinceArm >= after) {
                closeAfter = true;
            } else {
                continue;  // not yet: not counted as applied
            }
            active.sinceArm = 0;
            ++active.applied;
            continue;
        }
        ++active.applied;
        switch (f.kind) {
            case FaultKind::NoReply:
                noReply = true;
                break;
            case FaultKind::ShortReply:
                shortTo = Or(f.a, static_cast<int>(reply.size()) - 1);
                break;
            case FaultKind::LongReply:
                extra = std::min(kMaxBytes, extra + Or(f.a, 1));
                break;
            case FaultKind::SplitReply:
                splitBytes = std::max(1, Or(f.a, 18));
                splitPauseMs = Or(f.b, 100);
                break;
            case FaultKind::DelayedReply:
                delayMs = std::min(kMaxMs, delayMs + Or(f.a, 1000));
                break;
            case FaultKind::WrongSync:
                sync = Or(f.a, tvx::sync + 1);
                break;
            case FaultKind::WrongOrder:
                orderWord = Or(f.a, order + 1);
                break;
            case FaultKind::WrongRow:
                rowShift = Or(f.a, 1);
                break;
            case FaultKind::Unsolicited:
                unsolicitedBytes = std::min(kMaxBytes, unsolicitedBytes + Or(f.a, 36));
                unsolicitedWaitMs = Or(f.b, 100);
                break;
            case FaultKind::Forget:
                if (forget) *forget = true;
                break;
            case FaultKind::Disconnect:
                break;
        }
    }

    ReplyPlan plan;
    if (closeBefore) {
        plan.push_back(ReplyStep{0, {}, true});
        return plan;
    }
    if (noReply) bytes.clear();
    if (rowShift > 0 && bytes.size() >= 6) {
        // The reply for another row: its number and, when the sensor is at hand, its data.
        const std::uint16_t asked =
            tvx::UnpackWord(reinterpret_cast<const std::uint8_t*>(bytes.constData()) + 4);
        const auto other = static_cast<std::uint16_t>((asked + rowShift) % kRows);
        if (rowReply) {
            bytes = rowReply(other);
        } else {
            tvx::PackWord(reinterpret_cast<std::uint8_t*>(bytes.data()) + 4, other);
        }
    }
    if (!bytes.isEmpty()) {
        auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
        if (sync >= 0 && bytes.size() >= 2) tvx::PackWord(data, static_cast<std::uint16_t>(sync));
        if (orderWord >= 0 && bytes.size() >= 4) {
            tvx::PackWord(data + 2, static_cast<std::uint16_t>(orderWord));
        }
        if (shortTo >= 0 && shortTo < bytes.size()) bytes.truncate(shortTo);
        if (extra > 0) bytes.append(QByteArray(extra, static_cast<char>(kLongFiller)));
    }
    if (!bytes.isEmpty()) {
        if (splitBytes > 0) {
            for (qsizetype pos = 0; pos < bytes.size(); pos += splitBytes) {
                plan.push_back(ReplyStep{pos == 0 ? delayMs : splitPauseMs,
                                         bytes.mid(pos, splitBytes), false});
            }
        } else {
            plan.push_back(ReplyStep{delayMs, bytes, false});
        }
    }
    if (extra > 0 && !plan.empty()) {
        ReplyStep& last = plan.back();
        last.together = std::min<int>(extra, static_cast<int>(last.bytes.size()) - 1);
    }
    if (unsolicitedBytes > 0) {
        plan.push_back(
            ReplyStep{unsolicitedWaitMs,
                      QByteArray(unsolicitedBytes, static_cast<char>(kUnsolicitedFiller)), false});
    }
    if (closeAfter) plan.push_back(ReplyStep{0, {}, true});
    return plan;
}

}  // namespace tvx::sim
