#include "conversations.h"

#include "frames.h"

namespace tvx {

ReplyVerdict JudgeReply(const ConversationStep& step, bool complete, const std::uint8_t* reply) {
    if (!complete) return ReplyVerdict::Missing;
    std::uint16_t words[3];
    UnpackWords(reply, words, 3);
    return IsReplyTo(words, step.order, step.row) ? ReplyVerdict::Taken : ReplyVerdict::Wrong;
}

ParameterRead::ParameterRead(bool eeprom, const ParameterSet& current)
    : stage_(eeprom ? Stage::LoadEeprom : Stage::Modes), staged_(current) {}

ConversationStep ParameterRead::Next() const {
    switch (stage_) {
        case Stage::LoadEeprom:
            return {kOrderLoadEeprom, 0};
        case Stage::Modes:
            return {kOrderReadModes, 0};
        default:
            return {kOrderReadTeachRow, row_};
    }
}

ReplyVerdict ParameterRead::Take(bool complete, const std::uint8_t* reply) {
    const ConversationStep step = Next();
    const ReplyVerdict verdict = JudgeReply(step, complete, reply);
    if (stage_ == Stage::RowAfterFailure) {
        // The first failure stands, whatever this reply was.
        stage_ = Stage::Ended;
        return verdict;
    }
    if (verdict != ReplyVerdict::Taken) {
        failure_ = verdict;
        failedStep_ = step;
        // As GET has always done, row 0 is still asked for after order 3 went unanswered.
        const bool askRowZero = stage_ == Stage::Modes && verdict == ReplyVerdict::Missing;
        stage_ = askRowZero ? Stage::RowAfterFailure : Stage::Ended;
        row_ = 0;
        return verdict;
    }
    switch (stage_) {
        case Stage::LoadEeprom:
            stage_ = Stage::Modes;  // the EEPROM's set is the working set now
            break;
        case Stage::Modes:
            TakeReply(reply);
            stage_ = Stage::TeachRow;
            row_ = 0;
            break;
        default:
            TakeReply(reply);
            if (++row_ == kTeachRows) stage_ = Stage::Ended;
            break;
    }
    return verdict;
}

void ParameterRead::TakeReply(const std::uint8_t* reply) {
    std::uint16_t words[anzframe];
    UnpackWords(reply, words, anzframe);
    TakeParameterReply(words, staged_);
}

std::array<ConversationStep, kParameterWriteFrames> ParameterWriteSteps() {
    std::array<ConversationStep, kParameterWriteFrames> steps{};
    steps[0] = {kOrderWriteModes, 0};
    for (std::uint16_t row = 0; row < kTeachRows; ++row)
        steps[1 + row] = {kOrderWriteTeachRow, row};
    return steps;
}

QByteArray RequestFrame(const ConversationStep& step, const ParameterImage* image) {
    QByteArray frame(kFrameBytes, '\0');
    PutRequestWords(reinterpret_cast<std::uint8_t*>(frame.data()), step.order, step.row,
                    image != nullptr ? image->data() : nullptr, image != nullptr ? anzpara : 0);
    return frame;
}

std::optional<LiveValues> DataFrameOf(const ExchangeResult& result) {
    if (!result.ReplyComplete() || result.reply.size() < kFrameBytes) return std::nullopt;
    return DecodeDataFrame(reinterpret_cast<const std::uint8_t*>(result.reply.constData()));
}

}  // namespace tvx
