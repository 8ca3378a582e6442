// The record file, the record time and line count, and the signal graph's sample bookkeeping.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "record_file.h"
#include "record_time.h"
#include "signal_graph.h"

namespace tvx {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

const QByteArray kHeader(
    "DATE\t\0TIME\t\0RED\t\0GREEN\t\0BLUE\t\0X s\t\0Y i\t\0INT M\t\0TEMP\t\0\r\n",
    6 + 6 + 5 + 7 + 6 + 5 + 5 + 7 + 6 + 2);

TEST(RecordFile, HeaderNamesNineColumnsEachEndedByTabAndZeroByte) {
    EXPECT_EQ(RecordFileHeader(), kHeader);
    EXPECT_EQ(RecordFileHeader().count('\0'), 9);
}

TEST(RecordFile, LineHoldsZeroFilledDateAndTimeFieldsThenTheSevenValues) {
    const QDateTime now(QDate(2024, 3, 7), QTime(9, 5, 4));
    const QByteArray expected = QByteArray("03-07-2024\0\0", 12) + '\t' +
                                QByteArray("09:05:04\0\0\0\0", 12) + '\t' +
                                "4095\t0\t65535\t1\t22\t333\t25\r\n";
    EXPECT_EQ(RecordLine(now, {4095, 0, 65535, 1, 22, 333, 25}), expected);
    // The afternoon in 24 hours; the last day of the year.
    EXPECT_EQ(RecordTimeField(QTime(23, 59, 59)), QByteArray("23:59:59\0\0\0\0", 12));
    EXPECT_EQ(RecordDateField(QDate(1999, 12, 31)), QByteArray("12-31-1999\0\0", 12));
}

TEST(RecordFile, ValuesComeFromTheFrameWithoutColourNumberOrGroup) {
    LiveValues live;
    live.dataR = 1;
    live.dataG = 2;
    live.dataB = 3;
    live.dataX = 4;
    live.dataY = 5;
    live.dataINT = 6;
    live.dataCOL = 255;
    live.dataTemp = 7;
    live.dataGroup = 9;
    EXPECT_EQ(RecordValuesOf(live), (RecordValues{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(RecordValueRow(RecordValuesOf(live)), "1\t2\t3\t4\t5\t6\t7\r\n");
}

TEST(RecordFile, NewFileReplacesOldContentAndLinesAppendBelowTheHeader) {
    QTemporaryDir dir;
    const QString path = dir.filePath("record.dat");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content that must go\r\n");
    }
    ASSERT_TRUE(WriteFileHeader(path));
    EXPECT_EQ(ReadAll(path), kHeader);

    const QDateTime first(QDate(2024, 1, 2), QTime(3, 4, 5));
    const QDateTime second(QDate(2024, 1, 2), QTime(3, 4, 6));
    ASSERT_TRUE(ToFile(path, first, {1, 2, 3, 4, 5, 6, 7}));
    ASSERT_TRUE(ToFile(path, second, {1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(ReadAll(path), kHeader + RecordLine(first, {1, 2, 3, 4, 5, 6, 7}) +
                                 RecordLine(second, {1, 2, 3, 4, 5, 6, 7}));
}

TEST(RecordFile, UnwritablePathsAreReportedAndLeaveNothingBehind) {
    QTemporaryDir dir;
    EXPECT_FALSE(WriteFileHeader(QString()));
    EXPECT_FALSE(ToFile(QString(), QDateTime::currentDateTime(), {}));
    const QString inMissingDir = dir.filePath("missing/record.dat");
    EXPECT_FALSE(WriteFileHeader(inMissingDir));
    EXPECT_FALSE(ToFile(inMissingDir, QDateTime::currentDateTime(), {}));
    EXPECT_FALSE(QFile::exists(inMissingDir));
    // A directory in place of the file.
    EXPECT_FALSE(ToFile(dir.path(), QDateTime::currentDateTime(), {}));
}

TEST(RecordTime, SplitsIntervalTimesCountIntoDaysHoursMinutesSeconds) {
    EXPECT_EQ(CalcRecordTime(2, 3), (RecordTime{0, 0, 0, 6}));
    EXPECT_EQ(CalcRecordTime(3600, 48), (RecordTime{2, 0, 0, 0}));
    EXPECT_EQ(CalcRecordTime(1, 1), (RecordTime{0, 0, 0, 1}));
    EXPECT_EQ(CalcRecordTime(61, 61), (RecordTime{0, 1, 2, 1}));  // 3721 s
    EXPECT_EQ(CalcRecordTime(65535, 0), (RecordTime{}));
    // The largest product needs all 32 bits: 4294836225 s.
    EXPECT_EQ(CalcRecordTime(65535, 65535), (RecordTime{49708, 18, 3, 45}));
}

TEST(RecordCounter, TimedRecordingEndsExactlyAtItsCountLostLinesIncludedAndRestartsAtZero) {
    RecordCounter counter;
    counter.Start(3);
    EXPECT_EQ(counter.Remaining(), 3);
    EXPECT_FALSE(counter.LineWritten());
    EXPECT_FALSE(counter.LineLost());
    EXPECT_EQ(counter.Remaining(), 1);
    EXPECT_TRUE(counter.LineWritten());
    EXPECT_EQ(counter.otcrec(), 3);
    EXPECT_EQ(counter.lost(), 1);
    EXPECT_EQ(counter.Remaining(), 0);
    counter.Start(2);
    EXPECT_EQ(counter.otcrec(), 0);
    EXPECT_EQ(counter.lost(), 0);
    EXPECT_EQ(counter.Remaining(), 2);
}

TEST(RecordCounter, ManualLinesHaveNoLimitAndTheCountDoesNotWrap) {
    RecordCounter counter;
    counter.Start(0);
    for (int i = 0; i < 70000; ++i) EXPECT_FALSE(counter.LineWritten());
    EXPECT_EQ(counter.otcrec(), 0xFFFF);
    EXPECT_EQ(counter.Remaining(), 0);
}

TEST(SignalGraph, FirstSampleAfterAClearIsAPointAtZeroThenSegmentsFollow) {
    SignalGraphData graph;
    auto first = graph.AddSample({10, 20, 30, 40, 50, 60, 25});
    EXPECT_TRUE(graph.StartedTrace());
    for (int i = 0; i < kSignalCount; ++i) {
        const GraphSegment& s = first[static_cast<std::size_t>(i)];
        EXPECT_TRUE(s.IsPoint()) << i;
        EXPECT_EQ(s.x0, 0);
    }
    EXPECT_EQ(first[0], (GraphSegment{0, 10, 0, 10}));
    EXPECT_EQ(first[6], (GraphSegment{0, 25, 0, 25}));

    auto second = graph.AddSample({11, 21, 31, 41, 51, 61, 26});
    EXPECT_FALSE(graph.StartedTrace());
    EXPECT_EQ(second[0], (GraphSegment{0, 10, 1, 11}));
    EXPECT_EQ(second[5], (GraphSegment{0, 60, 1, 61}));
    auto third = graph.AddSample({12, 0, 0, 0, 0, 0, 27});
    EXPECT_EQ(third[6], (GraphSegment{1, 26, 2, 27}));
    EXPECT_EQ(graph.graphcnt(), 3);

    // A clear starts again at X = 0 with a single point, whatever came before.
    graph.Clear();
    auto restart = graph.AddSample({7, 7, 7, 7, 7, 7, 7});
    EXPECT_EQ(restart[0], (GraphSegment{0, 7, 0, 7}));
}

TEST(SignalGraph, CounterWrapsAfter65536SamplesAndRestartsWithAPoint) {
    SignalGraphData graph;
    GraphSegment last;
    for (int i = 0; i < 65536; ++i) last = graph.AddSample({static_cast<std::uint16_t>(i)})[0];
    EXPECT_EQ(last, (GraphSegment{65534, 65534, 65535, 65535}));
    EXPECT_EQ(graph.graphcnt(), 0);
    const GraphSegment wrapped = graph.AddSample({5})[0];
    EXPECT_TRUE(graph.StartedTrace());
    EXPECT_EQ(wrapped, (GraphSegment{0, 5, 0, 5}));
}

TEST(SignalGraph, SignalValuesTraceColoursAndTheGraphOfEachSignal) {
    LiveValues live;
    live.dataR = 1;
    live.dataG = 2;
    live.dataB = 3;
    live.dataX = 4;
    live.dataY = 5;
    live.dataINT = 6;
    live.dataTemp = 7;
    EXPECT_EQ(SignalValuesOf(live), (SignalValues{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(kSignalTraceColours[0], 0xFF0000u);
    EXPECT_EQ(kSignalTraceColours[2], 0x0000FFu);
    EXPECT_EQ(kSignalTraceColours[5], 0x008080u);
    EXPECT_EQ(SignalGraphIndex(6), 6);
    EXPECT_EQ(SignalGraphIndex(0), 0);
    EXPECT_FALSE(SignalGraphIndex(7));
    EXPECT_FALSE(SignalGraphIndex(-1));
}

}  // namespace
}  // namespace tvx
