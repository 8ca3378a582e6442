#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

#include "link_result.h"
#include "orders.h"
#include "parameter_image.h"

namespace tvx {

// The sensor conversations every program holds, each written once: GET (the parameter set read),
// SEND (the parameter set written) and the data frame. They decide what is asked next and judge
// each reply; the caller moves the bytes (the window programs through their link with its
// reports, tvx through the session directly), so the order of requests and the judgement of a
// reply are the same wherever a sensor is talked to.

// One request of a conversation: its order and, for a teach row, the row.
struct ConversationStep {
    std::uint16_t order = 0;
    std::uint16_t row = 0;
    bool operator==(const ConversationStep&) const = default;
};

// How one reply was judged.
enum class ReplyVerdict {
    Taken,    // complete and the one asked for
    Missing,  // it did not come complete
    Wrong,    // it came, but does not echo the sync word, the order and (order 4) the row
};

// Judges a reply to `step`: `reply` holds its first 36 bytes when `complete`.
ReplyVerdict JudgeReply(const ConversationStep& step, bool complete, const std::uint8_t* reply);

// GET: order 3 for the mode words, then order 4 for each teach row; from the EEPROM, order 8
// first (it makes the EEPROM's set the sensor's working set, which 3 and 4 then read). The
// replies fill a copy of the set, so a broken read leaves the set as it was. After a missing
// reply to order 3 row 0 is still asked for before the read stops; any other failure ends it.
class ParameterRead {
  public:
    ParameterRead(bool eeprom, const ParameterSet& current);

    bool Ended() const { return stage_ == Stage::Ended; }
    // The request to make next; only while not ended.
    ConversationStep Next() const;
    // Takes the reply to Next(): `complete` when all its bytes came, `reply` its first 36
    // bytes. Returns how it was judged.
    ReplyVerdict Take(bool complete, const std::uint8_t* reply);

    // Once ended: whether the whole set came, and if not the first failure and its step.
    bool Failed() const { return failure_ != ReplyVerdict::Taken; }
    ReplyVerdict Failure() const { return failure_; }
    ConversationStep FailedStep() const { return failedStep_; }
    // The set read; only the whole set when not Failed().
    const ParameterSet& Read() const { return staged_; }

  private:
    enum class Stage { LoadEeprom, Modes, TeachRow, RowAfterFailure, Ended };
    // A reply judged the one asked for, into the staged set.
    void TakeReply(const std::uint8_t* reply);

    Stage stage_;
    std::uint16_t row_ = 0;
    ParameterSet staged_;
    ReplyVerdict failure_ = ReplyVerdict::Taken;
    ConversationStep failedStep_;
};

// SEND: order 1 with the mode words, order 2 for each teach row, then order 6 when the set goes
// on into the EEPROM. None of them awaits a reply.
inline constexpr int kParameterWriteFrames = 1 + kTeachRows;
std::array<ConversationStep, kParameterWriteFrames> ParameterWriteSteps();
inline constexpr ConversationStep kStoreInEeprom{kOrderStoreEeprom, 0};

// The 36-byte request for `step` as a session sends it on its own: the row where the order names
// one (orders 2 and 4) with the row's words for a write, else the image's sixteen mode words as
// the scope's requests carry them after a SEND; zeros where there is no image.
QByteArray RequestFrame(const ConversationStep& step, const ParameterImage* image = nullptr);

// The live values of a data frame's reply (orders 5 and 19); nothing when it did not come whole.
std::optional<LiveValues> DataFrameOf(const ExchangeResult& result);

}  // namespace tvx
