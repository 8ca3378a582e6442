#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "parameter_set.h"

namespace tvx {

inline constexpr int kFrameBytes = 2 * anzframe;  // 36
inline constexpr int kBufferBytes = 1024;
inline constexpr int kPpWords = 204;

// The transmit and receive buffers and the unpacked images. szWriteBuf is never cleared: bytes a
// frame does not fill keep what the previous frame left there.
struct FrameBuffers {
    std::array<std::uint8_t, kBufferBytes> szWriteBuf{};
    std::array<std::uint8_t, kBufferBytes> szReadBuf{};
    std::array<std::uint16_t, anzframe> databuf{};
    std::array<std::uint16_t, kPpWords> pp{};
};

// A word travels high byte first.
inline void PackWord(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 8);
    bytes[1] = static_cast<std::uint8_t>(value & 0xFF);
}
inline std::uint16_t UnpackWord(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((static_cast<unsigned>(bytes[0]) << 8) | bytes[1]);
}
inline void PackWords(std::uint8_t* bytes, const std::uint16_t* words, int count) {
    for (int i = 0; i < count; ++i) PackWord(bytes + 2 * i, words[i]);
}
inline void UnpackWords(const std::uint8_t* bytes, std::uint16_t* words, int count) {
    for (int i = 0; i < count; ++i) words[i] = UnpackWord(bytes + 2 * i);
}
// Words 0 and 1 of a frame: the sync word and the order code.
inline void PackHeader(std::uint8_t* frame, std::uint16_t syncWord, std::uint16_t order) {
    PackWord(frame, syncWord);
    PackWord(frame + 2, order);
}

// The same on the transmit and receive buffers, counted in words from the frame's start.
inline void PutTxHeader(FrameBuffers& buffers, std::uint16_t syncWord, std::uint16_t order) {
    PackHeader(buffers.szWriteBuf.data(), syncWord, order);
}
inline void PutTxWord(FrameBuffers& buffers, int word, std::uint16_t value) {
    PackWord(buffers.szWriteBuf.data() + 2 * word, value);
}
inline void PutTxWords(FrameBuffers& buffers, int firstWord, const std::uint16_t* words,
                       int count) {
    PackWords(buffers.szWriteBuf.data() + 2 * firstWord, words, count);
}
inline void TakeRxWords(const FrameBuffers& buffers, std::uint16_t* words, int count) {
    UnpackWords(buffers.szReadBuf.data(), words, count);
}

// Image word of teach row `row`, column `column` (column 5 is the row's colour group).
constexpr int TeachRowWord(int row, int column) {
    return 16 + 6 * row + column;
}

// The sixteen mode words, in image order, into the set; a MAXCOL-No. above 15 is taken as 15.
void TakeModeWords(const std::uint16_t* words, ParameterSet& vars);
// A teach row's five columns and its colour group into row `row` of the set.
void TakeTeachRow(const std::uint16_t* words, std::size_t row, ParameterSet& vars);

// A reply is the one asked for when it echoes the sync word, the order and, for a teach row
// (order 4), the row: `words` are the reply's first three words.
bool IsReplyTo(const std::uint16_t* words, std::uint16_t order, std::uint16_t row = 0);

// The live values a data frame's 18 words carry.
LiveValues LiveValuesOfWords(const std::uint16_t* words);
// A received data frame (36 bytes, as they came) decoded to its live values.
LiveValues DecodeDataFrame(const std::uint8_t* frame);

// Writes the request for `order` into `frame`: the header, then for a teach row (orders 2 and 4)
// the row with, for a write, its six image words (zero past `imageWords`), else the image's first
// sixteen words (when it has them). Words the order does not use are left as they are.
void PutRequestWords(std::uint8_t* frame, std::uint16_t order, std::uint16_t row,
                     const std::uint16_t* image, int imageWords);
// An order-3 or order-4 reply's words into the set; a reply that is neither, or names a row the
// table does not have, changes nothing.
void TakeParameterReply(const std::uint16_t* words, ParameterSet& vars);

// Builds the transmit frame for `order` in the first 36 bytes of szWriteBuf, from pp.
void FillTxBuf(FrameBuffers& buffers, std::uint16_t order, std::uint16_t row);
// Unpacks the first 36 received bytes into pp words 0-17.
void GetRxBufPara(FrameBuffers& buffers);
// Unpacks the first 36 received bytes into databuf.
void GetRxBufData(FrameBuffers& buffers);
// Builds the 106-word parameter image in pp (ImageOf).
void CopyVarsToPP(const ParameterSet& vars, FrameBuffers& buffers);
// Takes an order-3 or order-4 reply left in pp by GetRxBufPara into the variables.
void CopyPPtoVars(const FrameBuffers& buffers, ParameterSet& vars);
// Takes the whole 106-word image in pp into the variables (TakeImage).
void CopyFileParatoVars(const FrameBuffers& buffers, ParameterSet& vars);
// Copies the live values out of databuf.
void CopyDatatoVars(const FrameBuffers& buffers, LiveValues& live);

}  // namespace tvx
