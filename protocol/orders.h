#pragma once

#include <array>
#include <cstdint>

#include "frames.h"

// The orders of the three programs: word 1 of every request, and of every reply with a header.
namespace tvx {

// The scope's: parameters in the sensor's RAM, its EEPROM, the handshake and the live values.
inline constexpr std::uint16_t kOrderWriteModes = 1;
inline constexpr std::uint16_t kOrderWriteTeachRow = 2;
inline constexpr std::uint16_t kOrderReadModes = 3;
inline constexpr std::uint16_t kOrderReadTeachRow = 4;
inline constexpr std::uint16_t kOrderData = 5;
inline constexpr std::uint16_t kOrderStoreEeprom = 6;  // the RAM parameters into the EEPROM
inline constexpr std::uint16_t kOrderVersion = 7;      // the handshake
inline constexpr std::uint16_t kOrderLoadEeprom = 8;   // orders 3 and 4 then read the EEPROM's
inline constexpr std::uint16_t kOrderRecordData = 19;  // the recorder's data frame
// The calibration tool's: the white calibration factors.
inline constexpr std::uint16_t kOrderWriteCF = 30;
inline constexpr std::uint16_t kOrderReadCF = 31;
// The temperature-compensation tool's: a transfer starts with 43, then the cube-root table in
// blocks, then the factor table of each channel in blocks; 44-46 and 51 read them back.
inline constexpr std::uint16_t kOrderWriteFactorsRed = 40;
inline constexpr std::uint16_t kOrderWriteFactorsGreen = 41;
inline constexpr std::uint16_t kOrderWriteFactorsBlue = 42;
inline constexpr std::uint16_t kOrderStartTables = 43;
inline constexpr std::uint16_t kOrderReadFactorsRed = 44;
inline constexpr std::uint16_t kOrderReadFactorsGreen = 45;
inline constexpr std::uint16_t kOrderReadFactorsBlue = 46;
inline constexpr std::uint16_t kOrderWriteRootBlock = 50;
inline constexpr std::uint16_t kOrderReadRootHalf = 51;

// Sizes of the compensation tables' pieces.
inline constexpr int kFactorTableWords = 100;  // one factor per degree, 0 ... 99 °C
inline constexpr int kFactorBlockWords = 10;
inline constexpr int kRootBlockWords = 8;
inline constexpr int kRootHalfWords = 128;  // half of the 256 cube roots

// What words 2 ... 17 of a request carry; words a layout does not name mean nothing to the sensor.
enum class RequestLayout : std::uint8_t {
    Nothing,
    ModeWords,    // the sixteen mode words, power ... frei16
    TeachRow,     // 2: row 0 - 14; 3 - 8: the row's X, Y, CTO, INT, ITO and colour group
    RowIndex,     // 2: row 0 - 14
    Factors,      // 2 - 4: calibration factors red, green, blue (1024 is a factor of 1)
    FactorBlock,  // 2: block b, 0 - 9; 3 - 12: the channel's factors 10 b ... 10 b + 9
    RootBlock,    // 2: block b, 0 - 31; 3 - 10: cube roots 8 b ... 8 b + 7
    RootStart,    // 2: the first cube root of the half, 0 or 128
};

struct OrderInfo {
    std::uint16_t order = 0;
    RequestLayout layout = RequestLayout::Nothing;
    // The sensor's reply in bytes, 0 for none. A 36-byte reply is a frame (the version text for
    // order 7); the table reads are bare words. The scope sends order 6 without reading its echo.
    int replyBytes = 0;
};

inline constexpr auto kOrderTable = std::to_array<OrderInfo>({
    {kOrderWriteModes, RequestLayout::ModeWords, 0},
    {kOrderWriteTeachRow, RequestLayout::TeachRow, 0},
    {kOrderReadModes, RequestLayout::Nothing, kFrameBytes},
    {kOrderReadTeachRow, RequestLayout::RowIndex, kFrameBytes},
    {kOrderData, RequestLayout::Nothing, kFrameBytes},
    {kOrderStoreEeprom, RequestLayout::Nothing, kFrameBytes},
    {kOrderVersion, RequestLayout::Nothing, kFrameBytes},
    {kOrderLoadEeprom, RequestLayout::Nothing, kFrameBytes},
    {kOrderRecordData, RequestLayout::Nothing, kFrameBytes},
    {kOrderWriteCF, RequestLayout::Factors, 0},
    {kOrderReadCF, RequestLayout::Nothing, kFrameBytes},
    {kOrderWriteFactorsRed, RequestLayout::FactorBlock, 0},
    {kOrderWriteFactorsGreen, RequestLayout::FactorBlock, 0},
    {kOrderWriteFactorsBlue, RequestLayout::FactorBlock, 0},
    {kOrderStartTables, RequestLayout::Nothing, 0},
    {kOrderReadFactorsRed, RequestLayout::Nothing, 2 * kFactorTableWords},
    {kOrderReadFactorsGreen, RequestLayout::Nothing, 2 * kFactorTableWords},
    {kOrderReadFactorsBlue, RequestLayout::Nothing, 2 * kFactorTableWords},
    {kOrderWriteRootBlock, RequestLayout::RootBlock, 0},
    {kOrderReadRootHalf, RequestLayout::RootStart, 2 * kRootHalfWords},
});

// The table's entry for `order`, or nullptr for an order the sensor does not know (it takes such
// a request and does not answer).
constexpr const OrderInfo* FindOrder(std::uint16_t order) {
    for (const OrderInfo& info : kOrderTable)
        if (info.order == order) return &info;
    return nullptr;
}

// Bytes the sensor answers `order` with; 0 when it does not answer.
constexpr int ReplyBytesOf(std::uint16_t order) {
    const OrderInfo* info = FindOrder(order);
    return info != nullptr ? info->replyBytes : 0;
}

}  // namespace tvx
