#include "conversations.h"

#include <algorithm>

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
        case Stage::Modes: {
            std::uint16_t words[anzframe];
            UnpackWords(reply, words, anzframe);
            TakeModeWords(&words[2], staged_);
            staged_.maxcolno = std::min<std::uint32_t>(staged_.maxcolno, kMaxColNoLimit);
            stage_ = Stage::TeachRow;
            row_ = 0;
            break;
        }
        default: {
            std::uint16_t words[anzframe];
            UnpackWords(reply, words, anzframe);
            TakeTeachRow(&words[3], row_, staged_);
            if (++row_ == kTeachRows) stage_ = Stage::Ended;
            break;
        }
    }
    return verdict;
}

std::array<ConversationStep, kParameterWriteFrames> ParameterWriteSteps() {
    std::array<ConversationStep, kParameterWriteFrames> steps{};
    steps[0] = {kOrderWriteModes, 0};
    for (std::uint16_t row = 0; row < kTeachRows; ++row)
        steps[1 + row] = {kOrderWriteTeachRow, row};
    return steps;
}

QByteArray RequestFrame(const ConversationStep& step, const ParameterImage* image) {
    std::uint16_t words[anzframe] = {sync, step.order};
    if (step.order == kOrderWriteTeachRow || step.order == kOrderReadTeachRow) {
        words[2] = step.row;
        if (step.order == kOrderWriteTeachRow && image != nullptr && step.row < kTeachRows)
            for (int i = 0; i < 6; ++i)
                words[3 + i] = (*image)[static_cast<std::size_t>(TeachRowWord(step.row, i))];
    } else if (image != nullptr) {
        for (int i = 0; i < anzdata; ++i) words[2 + i] = (*image)[static_cast<std::size_t>(i)];
    }
    QByteArray frame(kFrameBytes, '\0');
    PackWords(reinterpret_cast<std::uint8_t*>(frame.data()), words, anzframe);
    return frame;
}

std::optional<LiveValues> DataFrameOf(const ExchangeResult& result) {
    if (!result.ReplyComplete() || result.reply.size() < kFrameBytes) return std::nullopt;
    return DecodeDataFrame(reinterpret_cast<const std::uint8_t*>(result.reply.constData()));
}

}  // namespace tvx
