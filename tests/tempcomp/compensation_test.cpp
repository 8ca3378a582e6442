// The compensation curves, the factor and cube-root tables and equation files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <fstream>
#include <limits>

#include "compensation.h"
#include "equation_file.h"

namespace tvx::tempcomp {
namespace {

// Red, green and blue flat at the given values: the constant terms RT, GT and BT.
Coefficients Flat(double r, double g, double b) {
    return {0, 0, 0, 0, r, 0, 0, 0, 0, g, 0, 0, 0, 0, b};
}

TEST(Curves, EveryTermCountsAndTheTablesFollowTheCurves) {
    CompensationTables t;
    // Red with every term; green's 99^4 must be formed without overflow.
    CalcCurves(t, {1e-6, 2e-4, 3e-2, 4, 5, 1e-6, 0, 0, 0, 2000, 0, 0, 0, 0, 3000});
    CalcCfCurves(t, {1000, 1000, 1000});
    EXPECT_NEAR(t.dataRot[10], 0.01 + 0.2 + 3 + 40 + 5, 1e-9);
    EXPECT_NEAR(t.dataRot[99], 96.059601 + 194.0598 + 294.03 + 396 + 5, 1e-9);
    EXPECT_DOUBLE_EQ(t.dataGruen[99], 2000.0 + 96059601 * 1e-6);
    EXPECT_EQ(t.dataCfGruen[0], 512);
    EXPECT_EQ(t.dataCfBlau[0], 341);  // 341.33
}

TEST(Curves, RangesStartAtTenThousandTruncateTowardZeroAndStayDefined) {
    CompensationTables t;
    CalcCurves(t, Flat(20000, 50.7, -3.9));
    EXPECT_EQ(t.curveRanges.channel[0].min, 10000);  // never reached from above
    EXPECT_EQ(t.curveRanges.channel[2].max, -3);
    CalcCurves(t, Flat(-20000, 0, 0));
    EXPECT_EQ(t.curveRanges.channel[0].max, -10000);
    CalcCurves(t, {1e300, 0, 0, 0, 0, -1e300});  // curves that overflow to infinity
    EXPECT_EQ(t.curveRanges.channel[0].max, std::numeric_limits<int>::max());
    EXPECT_EQ(t.curveRanges.channel[1].min, std::numeric_limits<int>::min());
}

TEST(Factors, KeepTheLowSixteenBitsOfTheTruncatedQuotient) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double q;
        std::uint16_t factor;
        bool outOfRange;
    };
    const Case cases[] = {
        {0.0, 0, false},
        {65535.99, 65535, false},
        {65536.0, 0, true},
        {70000.7, 4464, true},        // 70000 - 65536
        {4294967295.9, 65535, true},  // the last quotient that fits 32 bits
        {4294967296.0, 65535, true},  // beyond: saturated
        {inf, 65535, true},
        {-0.5, 0, true},  // truncates to 0, but stands for no factor
        {-inf, 0, true},
        {std::numeric_limits<double>::quiet_NaN(), 0, true},
    };
    for (const Case& c : cases) {
        bool bad = !c.outOfRange;
        EXPECT_EQ(FactorFromQuotient(c.q, &bad), c.factor) << c.q;
        EXPECT_EQ(bad, c.outOfRange) << c.q;
    }
}

TEST(Tables, CubeRootsTheComparisonOfEveryTableAndTheReadBack) {
    CompensationTables t;
    EXPECT_TRUE(CheckSaving(t));  // all zero on both sides
    Calc3rdRoot(t);
    // The exponent is a little under one third.
    const std::pair<int, int> roots[] = {{0, 0},      {1, 2519},    {8, 5039},   {32, 7999},
                                         {64, 10079}, {108, 11999}, {255, 15979}};
    for (const auto& [i, root] : roots) EXPECT_EQ(t.data3rdRoot[i], root) << i;
    CalcCurves(t, Flat(900, 1000, 1100));
    CalcCfCurves(t, {1000, 1000, 1000});
    EXPECT_FALSE(CheckSaving(t));
    for (int ch = 0; ch < 3; ++ch) t.SavedFactors(ch) = t.Factors(ch);
    t.saved3rdRoot = t.data3rdRoot;
    EXPECT_TRUE(CheckSaving(t));
    t.saved3rdRoot[255] ^= 1;
    EXPECT_FALSE(CheckSaving(t));
    t.saved3rdRoot[255] ^= 1;
    t.savedCfBlau[99] ^= 1;
    EXPECT_FALSE(CheckSaving(t));
    FrameBuffers b;  // a read-back reply is unpacked whole: 200 words
    for (int i = 0; i < 256; ++i) PackWord(&b.szReadBuf[2 * i], static_cast<std::uint16_t>(i));
    std::array<std::uint16_t, kPpWords> pp{};
    GetRxBufPara(b, pp);
    EXPECT_EQ(pp[199], 199);
    EXPECT_EQ(pp[200], 0);
}

TEST(EquationFiles, WrittenOneRightAlignedFieldPerLineAndReadBackExactly) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("equation.equ")).toStdString();
    const Coefficients c{-1.25e-7, 0, 0, 0, 500, 0, 0, 0, 0, 1000.5, 0, 0, 0, 0, 123456789012.0};
    std::ofstream(path) << std::string(5000, 'x');  // earlier content is replaced
    ASSERT_TRUE(WriteEquationFile(path, c).ok);
    std::string expected = " -1.25e-07\n";
    for (const char* f : {"0", "0", "0", "500", "0", "0", "0", "0", "1000.5", "0", "0", "0", "0"})
        expected += std::string(10 - std::strlen(f), ' ') + f + "\n";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), expected + "123456789012\n");
    // A failed write keeps the old file: the temporary beside it cannot be made.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path + ".part")));
    EXPECT_FALSE(WriteEquationFile(path, Coefficients{}).ok);
    EXPECT_EQ(ReadEquationFile(path).coefficients, c);
    EXPECT_FALSE(WriteEquationFile(path + "/no/such/dir.equ", c).ok);
    EXPECT_FALSE(ReadEquationFile(path + ".missing").ok);
    std::ofstream(path) << std::string(100000, '1');
    EXPECT_FALSE(ReadEquationFile(path).ok);
}

TEST(EquationFiles, TheReaderTakesNumbersOnlyOnePerLine) {
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "1\n";
    const std::string tail = fifteen.substr(2);  // lines 2 ... 15
    const std::pair<std::string, const char*> cases[] = {
        // Blanks, notations and line ends that are taken, "" for no fault.
        {"  1.5\r\n-2\r\n+3\r\n4e2\r\n  -5.0E-1 \n\t6\n.5\n7.\n" + tail.substr(14) + "\r\n \n", ""},
        {fifteen.substr(0, 29), ""},  // no final line end
        {"", "holds 0 lines"},
        {"1\n2\n3\n", "holds 3 lines"},
        {fifteen.substr(2), "holds 14 lines"},
        {fifteen + "1\n", "holds 16 lines"},
        {"1\n\n" + fifteen.substr(4), "Line 2"},  // a gap is no value
        {fifteen.substr(0, 28) + "abc\n", "Line 15"},
        {"1 2\n" + tail, "Line 1"},
        {"1,5\n" + tail, "Line 1"},
        {"nan\n" + tail, "Line 1"},
        {"inf\n" + tail, "Line 1"},
        {"1e999\n" + tail, "Line 1"},
        {"++1\n" + tail, "Line 1"},
        {"+-21\n" + tail, "Line 1"},  // one sign, not two
        {"+\n" + tail, "Line 1"},
        {"0x10\n" + tail, "Line 1"},
    };
    for (const auto& [text, fault] : cases) {
        SCOPED_TRACE(text);
        const auto r = ParseEquationText(text);
        EXPECT_EQ(r.ok, !*fault);
        EXPECT_NE(r.error.find(fault), std::string::npos) << r.error;
    }
    const auto r = ParseEquationText(cases[0].first);
    EXPECT_EQ((std::vector<double>(r.coefficients.begin(), r.coefficients.begin() + 8)),
              (std::vector<double>{1.5, -2, 3, 400, -0.5, 6, 0.5, 7}));
}

}  // namespace
}  // namespace tvx::tempcomp
