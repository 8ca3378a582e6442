#pragma once

#include <array>
#include <cstdint>

#include "frames.h"
#include "orders.h"

// The temperature-compensation tool's frames: 36 bytes, words high byte first, the tool's own
// sync word; words a builder does not list are zero.
namespace tvx::tempcomp {

inline constexpr int kSteps = kFactorTableWords;  // temperature steps T = 0 ... 99
inline constexpr int kRootSize = 256;             // cube roots of 0, 16, ... 4080
inline constexpr int kPpWords = 300;              // staging area of the read-back replies

using FactorTable = std::array<std::uint16_t, kSteps>;
using RootTable = std::array<std::uint16_t, kRootSize>;

// Words 0: sync, 1: order, 2: value.
void FillTxBuf(FrameBuffers& buffers, std::uint16_t sync, std::uint16_t order, std::uint16_t value);
// Words 0: sync, 1: order, 2: block (0 ... 31), 3 - 10: data3rdRoot[8 block ... 8 block + 7].
void FillTxBuf3rdRootX(FrameBuffers& buffers, const RootTable& data3rdRoot, std::uint16_t sync,
                       std::uint16_t order, int block);
// Words 0: sync, 1: order, 2: block (0 ... 9), 3 - 12: factors[10 block ... 10 block + 9].
void FillTxBufRGB(FrameBuffers& buffers, const FactorTable& factors, std::uint16_t sync,
                  std::uint16_t order, int block);

// Reply decoding into the staging words: 200 and 256 big-endian words of szReadBuf.
void GetRxBufPara(const FrameBuffers& buffers, std::array<std::uint16_t, kPpWords>& pp);
void GetRxBuf3rdRoot(const FrameBuffers& buffers, std::array<std::uint16_t, kPpWords>& pp);

}  // namespace tvx::tempcomp
