#include "sensor_model.h"

#include "frames.h"

namespace tvx::sim {

namespace {

// Order codes the sensor understands.
enum Order : std::uint16_t {
    kWriteModes = 1,
    kWriteRow = 2,
    kReadModes = 3,
    kReadRow = 4,
    kData = 5,
    kStoreEeprom = 6,
    kVersion = 7,
    kLoadEeprom = 8,
    kRecordData = 19,
    kWriteCf = 30,
    kReadCf = 31,
    kWriteCfTableRed = 40,  // 41 green, 42 blue
    kBeginTables = 43,
    kReadCfTableRed = 44,  // 45 green, 46 blue
    kWriteRootBlock = 50,
    kReadRootHalf = 51,
};

constexpr int kCfBlockSize = 10;    // factors per block of orders 40-42
constexpr int kRootBlockSize = 8;   // cube roots per block of order 50
constexpr int kRootHalfSize = 128;  // cube roots per reply of order 51

QByteArray Frame(std::uint16_t order) {
    QByteArray frame(tvx::kFrameBytes, '\0');
    auto* data = reinterpret_cast<std::uint8_t*>(frame.data());
    tvx::PackWord(data, tvx::sync);
    tvx::PackWord(data + 2, order);
    return frame;
}

void PutWord(QByteArray& bytes, int index, std::uint16_t value) {
    tvx::PackWord(reinterpret_cast<std::uint8_t*>(bytes.data()) + 2 * index, value);
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
    scenario_ = scenario;
}

void SensorModel::SetSample(const Sample& sample) {
    scenario_.reset();
    sample_ = sample;
}

Sample SensorModel::CurrentSample(std::int64_t nowMs) const {
    return scenario_ ? scenario_->SampleAt(nowMs, dataFrames_) : sample_;
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
    QByteArray reply = Frame(kReadRow);
    PutWord(reply, 2, row);
    if (row < kRows) {
        for (int c = 0; c < 6; ++c) {
            PutWord(reply, 3 + c, state_.ram[static_cast<std::size_t>(RowWord(row, c))]);
        }
    }
    return reply;
}

Measurement SensorModel::Peek(std::int64_t nowMs) const {
    return Measure(state_, CurrentSample(nowMs));
}

QByteArray SensorModel::DataReply(std::uint16_t order, std::int64_t nowMs) {
    int offsets[3] = {0, 0, 0};
    if (noise_ > 0) {
        const std::uint32_t span = 2 * static_cast<std::uint32_t>(noise_) + 1;
        for (int& offset : offsets) offset = static_cast<int>(NextRandom() % span) - noise_;
    }
    const Measurement m = Measure(state_, CurrentSample(nowMs), offsets[0], offsets[1], offsets[2]);
    ++dataFrames_;
    QByteArray frame(tvx::kFrameBytes, '\0');
    PackDataFrame(m, order, reinterpret_cast<std::uint8_t*>(frame.data()));
    return frame;
}

QByteArray SensorModel::HandleRequest(const QByteArray& request, std::int64_t nowMs) {
    if (request.size() < tvx::kFrameBytes) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(request.constData());
    auto word = [bytes](int i) { return tvx::UnpackWord(bytes + 2 * i); };
    const std::uint16_t order = word(1);
    ParameterImage& ram = state_.ram;

    switch (order) {
        case kWriteModes:
            for (int i = 0; i < kModeWords; ++i) ram[static_cast<std::size_t>(i)] = word(2 + i);
            return {};
        case kWriteRow: {
            const std::uint16_t row = word(2);
            if (row >= kRows) return {};  // no such row: ignored
            for (int c = 0; c < 6; ++c)
                ram[static_cast<std::size_t>(RowWord(row, c))] = word(3 + c);
            return {};
        }
        case kReadModes: {
            QByteArray reply = Frame(order);
            for (int i = 0; i < kModeWords; ++i)
                PutWord(reply, 2 + i, ram[static_cast<std::size_t>(i)]);
            return reply;
        }
        case kReadRow:
            return RowReply(word(2));
        case kData:
        case kRecordData:
            return DataReply(order, nowMs);
        case kStoreEeprom:
        case kLoadEeprom: {
            if (order == kStoreEeprom) {
                state_.eeprom = ram;
            } else {
                ram = state_.eeprom;  // the stored set becomes the working set
            }
            // The echo repeats the request's header and payload.
            QByteArray reply = request.left(tvx::kFrameBytes);
            PutWord(reply, 0, tvx::sync);
            return reply;
        }
        case kVersion:
            return QByteArray(reinterpret_cast<const char*>(state_.version.data()), kVersionBytes);
        case kWriteCf:
            for (int c = 0; c < 3; ++c) state_.cf[static_cast<std::size_t>(c)] = word(2 + c);
            return {};
        case kReadCf: {
            QByteArray reply = Frame(order);
            for (int c = 0; c < 3; ++c)
                PutWord(reply, 2 + c, state_.cf[static_cast<std::size_t>(c)]);
            return reply;
        }
        case kBeginTables:
            return {};
        case kWriteCfTableRed:
        case kWriteCfTableRed + 1:
        case kWriteCfTableRed + 2: {
            const std::uint16_t block = word(2);
            if (block >= kCfTableSize / kCfBlockSize) return {};
            auto& table = state_.cfTables[order - kWriteCfTableRed];
            for (int i = 0; i < kCfBlockSize; ++i) {
                table[static_cast<std::size_t>(block * kCfBlockSize + i)] = word(3 + i);
            }
            return {};
        }
        case kReadCfTableRed:
        case kReadCfTableRed + 1:
        case kReadCfTableRed + 2:
            return Table(state_.cfTables[order - kReadCfTableRed], 0, kCfTableSize);
        case kWriteRootBlock: {
            const std::uint16_t block = word(2);
            if (block >= kRootTableSize / kRootBlockSize) return {};
            for (int i = 0; i < kRootBlockSize; ++i) {
                state_.rootTable[static_cast<std::size_t>(block * kRootBlockSize + i)] =
                    word(3 + i);
            }
            return {};
        }
        case kReadRootHalf:
            return Table(state_.rootTable, word(2), kRootHalfSize);
        default:
            return {};  // unknown order: taken, not answered
    }
}

}  // namespace tvx::sim
