#include "sensor_model.h"

#include "frames.h"
#include "orders.h"

namespace tvx::sim {

namespace {

std::uint8_t* BytesOf(QByteArray& bytes) {
    return reinterpret_cast<std::uint8_t*>(bytes.data());
}

// A reply frame: the header, then zeros.
QByteArray Frame(std::uint16_t order) {
    QByteArray frame(tvx::kFrameBytes, '\0');
    tvx::PackHeader(BytesOf(frame), tvx::sync, order);
    return frame;
}

void PutWord(QByteArray& bytes, int index, std::uint16_t value) {
    tvx::PackWord(BytesOf(bytes) + 2 * index, value);
}

template <std::size_t N>
QByteArray Table(const std::array<std::uint16_t, N>& table, std::size_t first, std::size_t count) {
    QByteArray bytes(static_cast<qsizetype>(2 * count), '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = first + i;
        PutWord(bytes, static_cast<int>(i), index < N ? table[index] : 0);
    }
    return bytes;
}

}  // namespace

SensorModel::SensorModel() : state_(DefaultSensorState()) {}

void SensorModel::SetVersion(const QByteArray& text) {
    state_.version = VersionBytes(text);
}

void SensorModel::SetScenario(const Scenario& scenario) {
    replay_.reset();
    scenario_ = scenario;
}

void SensorModel::SetSample(const Sample& sample) {
    scenario_.reset();
    replay_.reset();
    sample_ = sample;
}

void SensorModel::SetReplay(const Replay& replay) {
    scenario_.reset();
    replay_ = replay;
    replayStartMs_.reset();
    // So that the scope names the values as the recording did (X, Y, INT or s, i, M).
    const std::uint16_t calcmode = replay.siMode() ? 1 : 0;
    state_.ram[kCalcmode] = calcmode;
    state_.eeprom[kCalcmode] = calcmode;
}

const Measurement& SensorModel::ReplayedFrame(std::int64_t nowMs) const {
    return replay_->FrameAt(nowMs - replayStartMs_.value_or(nowMs));
}

Sample SensorModel::CurrentSample(std::int64_t nowMs) const {
    return ageing_.Apply(scenario_ ? scenario_->SampleAt(nowMs, dataFrames_) : sample_, nowMs);
}

void SensorModel::SetNoise(int amplitude, std::uint32_t seed) {
    noise_ = amplitude < 0 ? 0 : amplitude;
    rng_ = seed == 0 ? 1 : seed;
}

std::uint32_t SensorModel::NextRandom() {
    // xorshift32: small, fast and the same on every platform.
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return rng_;
}

QByteArray SensorModel::RowReply(std::uint16_t row) const {
    QByteArray reply = Frame(kOrderReadTeachRow);
    PutWord(reply, 2, row);
    if (row < kRows)
        tvx::PackWords(BytesOf(reply) + 6, &state_.ram[static_cast<std::size_t>(RowWord(row, 0))],
                       6);
    return reply;
}

Measurement SensorModel::Peek(std::int64_t nowMs) const {
    if (replay_) return ReplayedFrame(nowMs);
    return Measure(state_, CurrentSample(nowMs));
}

QByteArray SensorModel::DataReply(std::uint16_t order, std::int64_t nowMs) {
    QByteArray frame(tvx::kFrameBytes, '\0');
    if (replay_) {
        if (!replayStartMs_) replayStartMs_ = nowMs;
        ++dataFrames_;
        PackDataFrame(ReplayedFrame(nowMs), order, BytesOf(frame));
        return frame;
    }
    int offsets[3] = {0, 0, 0};
    if (noise_ > 0) {
        const std::uint32_t span = 2 * static_cast<std::uint32_t>(noise_) + 1;
        for (int& offset : offsets) offset = static_cast<int>(NextRandom() % span) - noise_;
    }
    const Measurement m = Measure(state_, CurrentSample(nowMs), offsets[0], offsets[1], offsets[2]);
    ++dataFrames_;
    PackDataFrame(m, order, BytesOf(frame));
    return frame;
}

QByteArray SensorModel::HandleRequest(const QByteArray& request, std::int64_t nowMs) {
    if (request.size() < tvx::kFrameBytes) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.constData());
    auto word = [bytes](int i) { return tvx::UnpackWord(bytes + 2 * i); };
    const std::uint16_t order = word(1);
    ParameterImage& ram = state_.ram;

    switch (order) {
        case kOrderWriteModes:
            for (int i = 0; i < kModeWords; ++i) ram[static_cast<std::size_t>(i)] = word(2 + i);
            return {};
        case kOrderWriteTeachRow: {
            const std::uint16_t row = word(2);
            if (row >= kRows) return {};  // no such row: ignored
            for (int c = 0; c < 6; ++c)
                ram[static_cast<std::size_t>(RowWord(row, c))] = word(3 + c);
            return {};
        }
        case kOrderReadModes: {
            QByteArray reply = Frame(order);
            tvx::PackWords(BytesOf(reply) + 4, ram.data(), kModeWords);
            return reply;
        }
        case kOrderReadTeachRow:
            return RowReply(word(2));
        case kOrderData:
        case kOrderRecordData:
            return DataReply(order, nowMs);
        case kOrderStoreEeprom:
        case kOrderLoadEeprom: {
            if (order == kOrderStoreEeprom) {
                state_.eeprom = ram;
            } else {
                ram = state_.eeprom;  // the stored set becomes the working set
            }
            // The echo repeats the request's header and payload.
            QByteArray reply = request.left(tvx::kFrameBytes);
            PutWord(reply, 0, tvx::sync);
            return reply;
        }
        case kOrderVersion:
            return QByteArray(reinterpret_cast<const char*>(state_.version.data()), kVersionBytes);
        case kOrderWriteCF:
            for (int c = 0; c < 3; ++c) state_.cf[static_cast<std::size_t>(c)] = word(2 + c);
            return {};
        case kOrderReadCF: {
            QByteArray reply = Frame(order);
            tvx::PackWords(BytesOf(reply) + 4, state_.cf.data(), 3);
            return reply;
        }
        case kOrderStartTables:
            return {};
        case kOrderWriteFactorsRed:
        case kOrderWriteFactorsGreen:
        case kOrderWriteFactorsBlue: {
            const std::uint16_t block = word(2);
            if (block >= kCfTableSize / kFactorBlockWords) return {};
            auto& table = state_.cfTables[order - kOrderWriteFactorsRed];
            for (int i = 0; i < kFactorBlockWords; ++i) {
                table[static_cast<std::size_t>(block * kFactorBlockWords + i)] = word(3 + i);
            }
            return {};
        }
        case kOrderReadFactorsRed:
        case kOrderReadFactorsGreen:
        case kOrderReadFactorsBlue:
            return Table(state_.cfTables[order - kOrderReadFactorsRed], 0, kCfTableSize);
        case kOrderWriteRootBlock: {
            const std::uint16_t block = word(2);
            if (block >= kRootTableSize / kRootBlockWords) return {};
            for (int i = 0; i < kRootBlockWords; ++i) {
                state_.rootTable[static_cast<std::size_t>(block * kRootBlockWords + i)] =
                    word(3 + i);
            }
            return {};
        }
        case kOrderReadRootHalf:
            return Table(state_.rootTable, word(2), kRootHalfWords);
        default:
            return {};  // unknown order: taken, not answered
    }
}

}  // namespace tvx::sim
