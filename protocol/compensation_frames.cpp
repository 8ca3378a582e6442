#include "compensation_frames.h"

#include <algorithm>

namespace tvx::tempcomp {

namespace {

void Header(FrameBuffers& buffers, std::uint16_t sync, std::uint16_t order, std::uint16_t value) {
    std::fill_n(buffers.szWriteBuf.begin(), kFrameBytes, std::uint8_t{0});
    PutTxHeader(buffers, sync, order);
    PutTxWord(buffers, 2, value);
}

}  // namespace

void FillTxBuf(FrameBuffers& buffers, std::uint16_t sync, std::uint16_t order,
               std::uint16_t value) {
    Header(buffers, sync, order, value);
}

void FillTxBuf3rdRootX(FrameBuffers& buffers, const RootTable& data3rdRoot, std::uint16_t sync,
                       std::uint16_t order, int block) {
    Header(buffers, sync, order, static_cast<std::uint16_t>(block));
    const auto first = static_cast<std::size_t>(kRootBlockWords * block);
    PutTxWords(buffers, 3, &data3rdRoot[first], kRootBlockWords);
}

void FillTxBufRGB(FrameBuffers& buffers, const FactorTable& factors, std::uint16_t sync,
                  std::uint16_t order, int block) {
    Header(buffers, sync, order, static_cast<std::uint16_t>(block));
    const auto first = static_cast<std::size_t>(kFactorBlockWords * block);
    PutTxWords(buffers, 3, &factors[first], kFactorBlockWords);
}

void GetRxBufPara(const FrameBuffers& buffers, std::array<std::uint16_t, kPpWords>& pp) {
    TakeRxWords(buffers, pp.data(), 200);
}

void GetRxBuf3rdRoot(const FrameBuffers& buffers, std::array<std::uint16_t, kPpWords>& pp) {
    TakeRxWords(buffers, pp.data(), 256);
}

}  // namespace tvx::tempcomp
