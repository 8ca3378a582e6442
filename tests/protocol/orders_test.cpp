// The frame each program builds for every order of the table from one sample, byte for byte, as
// it goes on the wire.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <tuple>
#include <vector>

#include "calib_frames.h"
#include "compensation_frames.h"
#include "orders.h"

namespace tvx {
namespace {

namespace tc = tempcomp;
using Words = std::vector<std::uint16_t>;
using Build = std::function<void(FrameBuffers&, std::uint16_t order, std::uint16_t arg)>;

// `count` words counting up from `first`, after the words of `head`.
Words CountingUp(Words head, int first, int count) {
    for (int i = 0; i < count; ++i) head.push_back(static_cast<std::uint16_t>(first + i));
    return head;
}

TEST(Orders, TheFramesOfEachProgram) {
    FrameBuffers sample;  // image word k is 0x0100 + k, cube root i 0x0300 + i, factor T 0x0400 + T
    std::iota(sample.pp.begin(), sample.pp.begin() + anzpara, 0x0100);
    tc::RootTable roots{};
    std::iota(roots.begin(), roots.end(), 0x0300);
    tc::FactorTable factors{};
    std::iota(factors.begin(), factors.end(), 0x0400);
    const calib::CalibrationFactors cf{1000, 1024, 1100};

    // The temperature-compensation tool passes its own sync word, 85 as everywhere.
    const Build scope = [](auto& b, auto o, auto a) { FillTxBuf(b, o, a); };
    const Build calibTool = [&](auto& b, auto o, auto a) { calib::FillTxBuf(b, o, a, cf); };
    const Build value = [](auto& b, auto o, auto a) { tc::FillTxBuf(b, 85, o, a); };
    const Build root = [&](auto& b, auto o, auto a) { tc::FillTxBuf3rdRootX(b, roots, 85, o, a); };
    const Build rgb = [&](auto& b, auto o, auto a) { tc::FillTxBufRGB(b, factors, 85, o, a); };
    const Words image = CountingUp({}, 0x0100, anzdata);
    // order, the program's builder with its row, block or value, and the words 2 ... it builds
    // (the rest of the 36 bytes stays zero)
    const std::tuple<std::uint16_t, Build, std::uint16_t, Words> rows[] = {
        {kOrderWriteModes, scope, 0, image},
        {kOrderWriteTeachRow, scope, 3, CountingUp({3}, 0x0100 + 34, 6)},
        {kOrderReadModes, scope, 0, image},
        {kOrderReadTeachRow, scope, 3, {3}},
        {kOrderData, scope, 0, image},
        {kOrderStoreEeprom, calibTool, 0, image},
        {kOrderVersion, scope, 0, image},
        {kOrderLoadEeprom, scope, 0, image},
        {kOrderRecordData, scope, 0, image},
        {kOrderWriteCF, calibTool, 0, {1000, 1024, 1100}},
        {kOrderReadCF, calibTool, 0, image},
        {kOrderWriteFactorsRed, rgb, 0, CountingUp({0}, 0x0400, 10)},
        {kOrderWriteFactorsGreen, rgb, 9, CountingUp({9}, 0x0400 + 90, 10)},
        {kOrderWriteFactorsBlue, rgb, 4, CountingUp({4}, 0x0400 + 40, 10)},
        {kOrderStartTables, value, 0, {}},
        {kOrderReadFactorsRed, value, 0, {}},
        {kOrderReadFactorsGreen, value, 0, {}},
        {kOrderReadFactorsBlue, value, 0, {}},
        {kOrderWriteRootBlock, root, 31, CountingUp({31}, 0x0300 + 248, 8)},
        {kOrderReadRootHalf, value, 128, {128}},
    };
    ASSERT_EQ(std::size(rows), kOrderTable.size());
    for (const auto& [order, build, arg, payload] : rows) {
        SCOPED_TRACE(order);
        ASSERT_NE(FindOrder(order), nullptr);
        FrameBuffers b = sample;
        build(b, order, arg);
        // sync 0x55 and the order, then the payload, each word high byte first
        std::vector<std::uint8_t> expected = {0x00, 0x55, 0x00, static_cast<std::uint8_t>(order)};
        for (std::uint16_t w : payload)
            expected.insert(expected.end(), {std::uint8_t(w >> 8), std::uint8_t(w & 0xFF)});
        expected.resize(kFrameBytes);
        EXPECT_EQ(std::vector<std::uint8_t>(b.szWriteBuf.begin(), b.szWriteBuf.begin() + 36),
                  expected);
    }
    for (std::uint16_t unknown : {0, 9, 18, 20, 47, 0xFFFF})
        EXPECT_TRUE(FindOrder(unknown) == nullptr && ReplyBytesOf(unknown) == 0) << unknown;
}

}  // namespace
}  // namespace tvx
