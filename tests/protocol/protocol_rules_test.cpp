// The protocol's rules: frames and the parameter image, teach table, mean-value teach, the
// recorder's time and line count, the signal graph, and the command lines' TCP addresses.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

#include "frames.h"
#include "host_port.h"
#include "live_frame_computations.h"
#include "mean_teach.h"
#include "orders.h"
#include "record_file.h"
#include "record_time.h"
#include "signal_graph.h"
#include "teach_table.h"

namespace tvx {
namespace {

// Word k of a parameter image where every word differs; six active rows.
std::uint16_t Word(int k) {
    return k == 6 ? 6 : static_cast<std::uint16_t>(0x8000 + 0x101 * k);
}

ParameterSet Sample() {
    FrameBuffers b;
    for (int k = 0; k < anzpara; ++k) b.pp[static_cast<std::size_t>(k)] = Word(k);
    ParameterSet vars;
    CopyFileParatoVars(b, vars);
    return vars;
}

std::uint16_t SentWord(const FrameBuffers& b, int i) {
    return UnpackWord(&b.szWriteBuf[static_cast<std::size_t>(2 * i)]);
}

ParameterSet Receive(ParameterSet vars, std::vector<std::uint16_t> words) {
    FrameBuffers b;
    words.resize(anzframe, 1);
    for (std::size_t i = 0; i < words.size(); ++i) PackWord(&b.szReadBuf[2 * i], words[i]);
    GetRxBufPara(b);
    EXPECT_EQ(b.pp[anzframe], 0) << "only the frame's words are taken";
    CopyPPtoVars(b, vars);
    return vars;
}

TEST(Frames, RequestsCarryTheParameterImageHighByteFirst) {
    FrameBuffers b;
    CopyVarsToPP(Sample(), b);
    for (int k = 0; k <= anzpara; ++k) EXPECT_EQ(b.pp[k], k < anzpara ? Word(k) : 0) << k;

    FillTxBuf(b, kOrderWriteModes, 0);
    const std::uint8_t head[] = {0x00, 0x55, 0x00, 0x01, 0x80, 0x00, 0x81, 0x01};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), b.szWriteBuf.begin()));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(SentWord(b, 2 + i), Word(i)) << i;
    const auto mode = b.szWriteBuf;

    // A row read names the row; the rest of the frame stays as it was.
    FillTxBuf(b, kOrderReadTeachRow, 9);
    EXPECT_EQ(SentWord(b, 1), 4);
    EXPECT_EQ(SentWord(b, 2), 9);
    EXPECT_TRUE(std::equal(mode.begin() + 6, mode.begin() + kFrameBytes, b.szWriteBuf.begin() + 6));

    // A row write carries the row's five values and its group; a row beyond the table zeros.
    for (int row : {0, 14, 0xFFFF}) {
        SCOPED_TRACE(row);
        FillTxBuf(b, kOrderWriteTeachRow, static_cast<std::uint16_t>(row));
        EXPECT_EQ(SentWord(b, 1), 2);
        EXPECT_EQ(SentWord(b, 2), row);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(SentWord(b, 3 + i), row < kTeachRows ? Word(16 + 6 * row + i) : 0) << i;
        EXPECT_TRUE(
            std::equal(mode.begin() + 18, mode.begin() + kFrameBytes, b.szWriteBuf.begin() + 18));
    }
}

TEST(Frames, RepliesChangeOnlyWhatTheyCarryAndClampTheActiveRows) {
    for (auto [sent, kept] : {std::pair{20, 15}, {16, 15}, {0xFFFF, 15}, {15, 15}, {3, 3}}) {
        SCOPED_TRACE(sent);
        std::vector<std::uint16_t> reply = {0x55, 3};
        for (int i = 0; i < 16; ++i)
            reply.push_back(static_cast<std::uint16_t>(i == 6 ? sent : 0xFF00 + i));
        const ParameterSet vars = Receive(Sample(), reply);
        EXPECT_EQ(vars.maxcolno, static_cast<std::uint32_t>(kept));
        EXPECT_EQ(vars.power, 0xFF00u);
        EXPECT_EQ(vars.average, 0xFF02u);
        EXPECT_EQ(vars.frei16, 0xFF0Fu);
        EXPECT_EQ(vars.ctt, Sample().ctt);
    }
    FrameBuffers file;
    file.pp[6] = 20;
    ParameterSet vars;
    CopyFileParatoVars(file, vars);
    EXPECT_EQ(vars.maxcolno, 15u) << "a file's image is clamped too";

    const ParameterSet original = Sample();
    for (std::vector<std::uint16_t> header :
         {std::vector<std::uint16_t>{0x56, 3}, {0x55, 5}, {0x5500, 3}, {0x55, 8}}) {
        EXPECT_EQ(Receive(original, header), original) << header[0] << " " << header[1];
    }
    for (int row : {0, 7, 14, 15, 16, 0xFFFF}) {
        SCOPED_TRACE(row);
        ParameterSet expected = original;
        if (row < kTeachRows) {
            expected.ctt[row] = {0xF001, 0xF002, 0xF003, 0xF004, 0xF005};
            expected.groupbuf[row] = 3;
        }
        const auto r = static_cast<std::uint16_t>(row);
        EXPECT_EQ(Receive(original, {0x55, 4, r, 0xF001, 0xF002, 0xF003, 0xF004, 0xF005, 3}),
                  expected);
    }
}

TEST(Frames, DataReplyGivesTheLiveValues) {
    FrameBuffers b;
    for (std::size_t i = 0; i < anzframe; ++i) b.szReadBuf[2 * i] = 0xFF;
    for (std::size_t i = 0; i < anzframe; ++i)
        b.szReadBuf[2 * i + 1] = static_cast<std::uint8_t>(i);
    GetRxBufData(b);
    LiveValues live;
    CopyDatatoVars(b, live);
    const SignalValues shown = {0xFF02, 0xFF03, 0xFF04, 0xFF05, 0xFF06, 0xFF07, 0xFF0C};
    EXPECT_EQ(SignalValuesOf(live), shown);
    EXPECT_EQ(RecordValuesOf(live), shown) << "the recorder takes the same values";
    EXPECT_EQ(live.dataCOL, 0xFF08);
    EXPECT_EQ(live.dataGroup, 0xFF0D);
}

using Row = std::array<std::uint16_t, kTeachColumns>;

TeachTable TableOf(const std::vector<Row>& rows) {
    TeachTable table{};
    for (auto& row : table) row = {1, 1, 1, 1, 1};  // as after RESET TABLE
    std::copy(rows.begin(), rows.end(), table.begin());
    return table;
}

std::vector<double> Corners(const CircleBounds& c) {
    return {c.x1, c.y1, c.x2, c.y2};
}
std::vector<int> Sides(const ZoomWindow& w) {
    return {w.xMin, w.xMax, w.yMin, w.yMax};
}
std::vector<int> Sides(const ZoomBox& b) {
    return {b.minX, b.maxX, b.minY, b.maxY};
}

TEST(TeachTable, TaughtRowToleranceAndAutoAdjust) {
    EXPECT_EQ(TaughtRow(1234, 2345, 3456, 0, 0), (Row{1234, 2345, 100, 3456, 100}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 2, 0), (Row{1, 2, 40, 3, 100}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 1, 1), (Row{1, 2, 100, 3, 20}));
    EXPECT_EQ(TaughtRow(1, 2, 3, 3, 1), (Row{1, 2, 100, 3, 20}));

    // AUTO ADJUST grows the active circles in turns (the first first) to 200 or until they touch.
    const std::tuple<const char*, std::vector<Row>, int, std::vector<int>> cases[] = {
        {"overlap", {{1000, 1000, 77, 500, 20}, {1000, 1000, 77, 530, 20}}, 2, {1, 1}},
        {"touching bands", {{1000, 1000, 1, 500, 20}, {1000, 1000, 1, 540, 20}}, 2, {1, 1}},
        {"separate bands", {{1000, 1000, 1, 500, 20}, {1000, 1000, 1, 600, 20}}, 2, {200, 200}},
        {"band below zero", {{1000, 1000, 1, 10, 50}, {1000, 1000, 1, 30, 5}}, 2, {1, 1}},
        {"100 apart", {{1000, 1000, 1, 500, 20}, {1100, 1000, 1, 510, 20}}, 2, {50, 50}},
        {"101 apart", {{1000, 1000, 1, 500, 20}, {1101, 1000, 1, 510, 20}}, 2, {51, 50}},
        {"141.42 apart", {{1000, 1000, 1, 500, 20}, {1100, 1100, 1, 510, 20}}, 2, {71, 70}},
        {"one active row", {{1000, 1000, 1, 500, 20}, {1000, 1000, 33, 500, 20}}, 1, {200, 33}},
        {"no active row", {{1000, 1000, 9, 500, 20}}, 0, {9}},
    };
    for (const auto& [what, rows, active, radii] : cases) {
        SCOPED_TRACE(what);
        TeachTable table = TableOf(rows);
        AutoAdjustRadii(table, active);
        for (std::size_t r = 0; r < radii.size(); ++r)
            EXPECT_EQ(table[r][kColumnCto], radii[r]) << r;
    }
    EXPECT_EQ(RowDistance(TableOf({{1000, 1000, 1, 0, 0}, {1100, 1100, 1, 0, 0}}), 0, 1), 141);
    EXPECT_EQ(RowDistance(TableOf({{1000, 1000, 1, 0, 0}, {1000, 1300, 1, 0, 0}}), 0, 1), 300);
}

TEST(TeachTable, CirclesAndTheZoomWindow) {
    const TeachTable table = TableOf({{1000, 2000, 50, 0, 0}, {20, 30, 100, 0, 0}});
    const CircleBounds c = CircleOfRow(table, 0);
    EXPECT_EQ(Corners(c), Corners(CircleOutlines(c)[0]));
    EXPECT_DOUBLE_EQ(CircleOfRow(table, 1).x1, -80) << "corners are signed";
    const auto outlines = CircleOutlines(c);
    const double expected[3][4] = {{950, 1950, 1050, 2050},
                                   {950.025, 1950.025, 1050.025, 2050.025},
                                   {950.05, 1950.05, 1050.005, 2050.005}};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(Corners(outlines[k])[i], expected[k][i]) << k << " " << i;
    }
    // The zoom window holds the taught circles and the measurement.
    const ZoomBox box = ZoomBoxOfTable(
        TableOf({{1000, 1000, 50, 0, 0}, {1200, 1100, 50, 0, 0}, {10, 10, 99, 0, 0}}));
    EXPECT_EQ(Sides(box), (std::vector<int>{950, 1250, 950, 1150})) << "(10, 10) does not count";
    const ZoomBox empty = ZoomBoxOfTable(TableOf({}));
    EXPECT_EQ(Sides(empty), (std::vector<int>{0, 10000, 0, 10000}));
    const std::tuple<ZoomBox, int, int, std::vector<int>> cases[] = {
        {empty, 500, 500, {-25, 10025, -25, 10025}},
        {box, 1100, 1050, {925, 1275, 875, 1225}},
        {box, 2000, 1050, {925, 2025, 500, 1600}},  // beyond the box: span 1050
        {box, 1100, 100, {550, 1650, 75, 1175}},    // below the box: the measurement is the end
        {{1000, 1301, 1000, 1100}, 1100, 1050, {975, 1325, 875, 1225}},  // half of 301 is 150
    };
    for (const auto& [zoom, x, y, window] : cases)
        EXPECT_EQ(Sides(ZoomWindowFor(zoom, x, y)), window) << x << " " << y;
}

using Frames = std::vector<CapturedFrame>;

CapturedFrame Frame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
    return {1, 2, 3, x, y, intensity};
}

TEST(MeanTeach, CounterStaysWithinTheHundredRowsAndTheToleranceChoices) {
    EXPECT_EQ(CounterAfterCapture(0), 1);
    EXPECT_EQ(CounterAfterCapture(99), 100);
    EXPECT_EQ(CounterAfterCapture(100), 100) << "the 101st capture replaces row 100";
    EXPECT_EQ(CounterAfterUndo(7), 6);
    EXPECT_EQ(CounterAfterUndo(0), 0);
    EXPECT_EQ(ChosenTolerance(0, 30, 12, 77), 30);
    EXPECT_EQ(ChosenTolerance(1, 30, 12, 77), 12);
    EXPECT_EQ(ChosenTolerance(2, 30, 12, 77), 42);
    EXPECT_EQ(ChosenTolerance(3, 30, 12, 77), 77);
    EXPECT_EQ(ChosenTolerance(2, 65530, 12, 77), 65535) << "the sum stops at the word's top";
}

TEST(MeanTeach, MeansAreTruncatedPerColumnAndDeltasStopAtTheWordsTop) {
    EXPECT_EQ(MeanOfFrames(Frames{
                  {10, 20, 30, 100, 7, 500}, {11, 20, 31, 101, 8, 520}, {11, 21, 31, 101, 8, 540}}),
              (CapturedFrame{10, 20, 30, 100, 7, 520}));
    EXPECT_EQ(MeanOfFrames({}), (CapturedFrame{}));
    const CapturedFrame top{65535, 65535, 65535, 65535, 65535, 65535};
    EXPECT_EQ(MeanOfFrames(std::vector<CapturedFrame>(kCaptureRows, top)), top);

    MaxDeltas d = MaxDeltaOfFrames(Frames{Frame(10, 10, 500), Frame(13, 14, 520), Frame(7, 6, 540)},
                                   10, 10, 520);
    EXPECT_EQ(std::pair(d.xy, d.intensity), (std::pair<std::uint16_t, std::uint16_t>(5, 20)));
    d = MaxDeltaOfFrames(Frames{Frame(1000, 1000, 0), Frame(1001, 1002, 0)}, 1000, 1001, 0);
    EXPECT_EQ(d.xy, 1) << "sqrt(2) truncated";
    d = MaxDeltaOfFrames(Frames{Frame(0, 0, 0), Frame(65535, 65535, 65535)}, 0, 0, 0);
    EXPECT_EQ(std::pair(d.xy, d.intensity), (std::pair<std::uint16_t, std::uint16_t>(65535, 65535)))
        << "no overflow, no wrap";
}

TEST(RecordTime, TimeInDaysHoursMinutesSecondsAndTheLineCount) {
    EXPECT_EQ(CalcRecordTime(2, 3), (RecordTime{0, 0, 0, 6}));
    EXPECT_EQ(CalcRecordTime(3600, 48), (RecordTime{2, 0, 0, 0}));
    EXPECT_EQ(CalcRecordTime(61, 61), (RecordTime{0, 1, 2, 1}));  // 3721 s
    EXPECT_EQ(CalcRecordTime(65535, 0), (RecordTime{}));
    EXPECT_EQ(CalcRecordTime(65535, 65535), (RecordTime{49708, 18, 3, 45})) << "32 bits";
    // The line count ends a recording at its count, lost lines included; it stops at 65535.
    RecordCounter counter;
    counter.Start(3);
    EXPECT_FALSE(counter.LineWritten());
    EXPECT_FALSE(counter.LineLost());
    EXPECT_EQ(counter.Remaining(), 1);
    EXPECT_TRUE(counter.LineWritten());
    EXPECT_EQ(counter.otcrec(), 3);
    EXPECT_EQ(counter.lost(), 1);
    counter.Start(0);  // no limit
    EXPECT_EQ(counter.lost(), 0);
    for (int i = 0; i < 70000; ++i) ASSERT_FALSE(counter.LineWritten());
    EXPECT_EQ(counter.otcrec(), 0xFFFF);
    EXPECT_EQ(counter.Remaining(), 0);
}

TEST(SignalGraph, EachTraceStartsWithAPointAtZeroAfterAClearOrTheWrap) {
    SignalGraphData graph;
    auto first = graph.AddSample({10, 20, 30, 40, 50, 60, 25});
    EXPECT_TRUE(graph.StartedTrace());
    EXPECT_EQ(first[0], (GraphSegment{0, 10, 0, 10}));
    EXPECT_EQ(first[6], (GraphSegment{0, 25, 0, 25}));
    auto second = graph.AddSample({11, 21, 31, 41, 51, 61, 26});
    EXPECT_FALSE(graph.StartedTrace());
    EXPECT_EQ(second[5], (GraphSegment{0, 60, 1, 61}));
    EXPECT_EQ(graph.AddSample({12, 0, 0, 0, 0, 0, 27})[6], (GraphSegment{1, 26, 2, 27}));
    graph.Clear();
    EXPECT_EQ(graph.AddSample({7, 7, 7, 7, 7, 7, 7})[0], (GraphSegment{0, 7, 0, 7}));

    GraphSegment last;
    for (int i = 1; i < 65536; ++i) last = graph.AddSample({static_cast<std::uint16_t>(i)})[0];
    EXPECT_EQ(last, (GraphSegment{65534, 65534, 65535, 65535}));
    EXPECT_EQ(graph.graphcnt(), 0);
    EXPECT_EQ(graph.AddSample({5})[0], (GraphSegment{0, 5, 0, 5}));
    EXPECT_TRUE(graph.StartedTrace());

    EXPECT_EQ(SignalGraphIndex(6), 6);
    EXPECT_FALSE(SignalGraphIndex(7));
    EXPECT_FALSE(SignalGraphIndex(-1));
}

// HOST:PORT as the programs' --tcp, tvx's tcp:// sensors and its --mqtt broker read it.
TEST(LiveFrameComputations, ColourNumberLampsAndIntensityBand) {
    using Bits = std::array<bool, 4>;  // indicators 8, 4, 2, 1
    for (auto [number, bits] : {std::pair{0, Bits{}}, std::pair{2, Bits{false, false, true, false}},
                                std::pair{4, Bits{false, true, false, false}},
                                std::pair{9, Bits{true, false, false, true}},
                                std::pair{16, Bits{true, true, true, true}}})
        EXPECT_EQ(ColourNumberBits(number), bits) << number;
    struct Band {
        std::uint16_t intensity, tolerance;
        int lower, upper;
    };
    for (const Band& b :
         {Band{4000, 200, 3800, 4095}, Band{100, 200, 0, 300}, Band{1000, 50, 950, 1050},
          Band{65535, 65535, 0, 4095}, Band{30000, 0, 4095, 4095}}) {
        const IntensityBand band = BandOfRow(b.intensity, b.tolerance);
        EXPECT_EQ(std::pair(band.lower, band.upper), std::pair(b.lower, b.upper)) << b.intensity;
    }
}

TEST(HostPort, TheLastColonSeparatesAPortFromOneTo65535) {
    constexpr int kNone = 0;
    const struct {
        const char* text;
        std::optional<int> defaultPort;
        const char* host;
        int port;  // kNone: no port
    } cases[] = {
        {"127.0.0.1:10001", {}, "127.0.0.1", 10001},
        {"::1:502", {}, "::1", 502},
        {"sensor.local:1", {}, "sensor.local", 1},
        {"h:65535", {}, "h", 65535},
        {"h:65536", {}, "h", kNone},
        {"h:0", {}, "h", kNone},
        {"h:-80", {}, "h", kNone},
        {"h:http", {}, "h", kNone},
        {"h:", {}, "h", kNone},
        {"host", {}, "host", kNone},
        {":80", {}, "", 80},
        {"", {}, "", kNone},
        {"broker", 1883, "broker", 1883},  // no colon: the default port
        {"broker:1884", 1883, "broker", 1884},
        {"broker:", 1883, "broker", kNone},  // a colon asks for a port
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const HostPort address = ParseHostPort(QString::fromLatin1(c.text), c.defaultPort);
        EXPECT_EQ(address.host, QLatin1String(c.host));
        EXPECT_EQ(address.port.value_or(kNone), c.port);
        EXPECT_EQ(address.ok(), *c.host && c.port != kNone);
    }
}

}  // namespace
}  // namespace tvx
