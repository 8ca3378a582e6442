// The compensation curves, factor and cube-root tables, the tool's frames and equation files.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <limits>
#include <sstream>

#include "compensation.h"
#include "equation_file.h"

namespace tvx::tempcomp {
namespace {

Coefficients Flat(double r, double g, double b) {
    Coefficients c{};
    c[4] = r;
    c[9] = g;
    c[14] = b;
    return c;
}

TEST(Curves, FlatCurvesAtTheSetValueGiveTheUnitFactorEverywhere) {
    CompensationTables t;
    CalcCurves(t, Flat(1000, 1000, 1000));
    CalcCfCurves(t, {1000, 1000, 1000});
    for (int T = 0; T < kSteps; ++T) {
        EXPECT_EQ(t.dataRot[T], 1000.0);
        EXPECT_EQ(t.dataCfRot[T], 1024);
        EXPECT_EQ(t.dataCfGruen[T], 1024);
        EXPECT_EQ(t.dataCfBlau[T], 1024);
    }
    EXPECT_EQ(t.factorsOutOfRange, 0);
    EXPECT_EQ(t.curveRanges.combined.min, 1000);
    EXPECT_EQ(t.curveRanges.combined.max, 1000);
}

TEST(Curves, EveryTermOfThePolynomialCounts) {
    CompensationTables t;
    Coefficients c = Flat(0, 0, 0);
    c[0] = 1e-6;  // RX4
    c[1] = 2e-4;  // RX3
    c[2] = 3e-2;  // RX2
    c[3] = 4;     // RX1
    c[4] = 5;     // RT
    CalcCurves(t, c);
    EXPECT_NEAR(t.dataRot[10], 0.01 + 0.2 + 3 + 40 + 5, 1e-9);
    EXPECT_NEAR(t.dataRot[99], 96.059601 + 194.0598 + 294.03 + 396 + 5, 1e-9);
}

TEST(Curves, LinearRedCurveAndItsFactorsInterleaved) {
    CompensationTables t;
    Coefficients c = Flat(500, 2000, 3000);
    c[3] = 10;    // RX1
    c[5] = 1e-6;  // GX4: 99^4 must be formed without overflow
    CalcCurves(t, c);
    CalcCfCurves(t, {1000, 1000, 1000});
    EXPECT_EQ(t.dataRot[0], 500.0);
    EXPECT_EQ(t.dataRot[99], 1490.0);
    EXPECT_DOUBLE_EQ(t.dataGruen[99], 2000.0 + 96059601 * 1e-6);
    EXPECT_EQ(t.dataCfRot[0], 2048);
    EXPECT_EQ(t.dataCfRot[99], 687);
    EXPECT_EQ(t.dataCfBlau[0], 341);  // 1024000 / 3000 = 341.33
    for (int T = 0; T < kSteps; ++T) {
        EXPECT_EQ(t.dataRGB[3 * T], t.dataRot[T]);
        EXPECT_EQ(t.dataRGB[3 * T + 1], t.dataGruen[T]);
        EXPECT_EQ(t.dataRGB[3 * T + 2], t.dataBlau[T]);
        EXPECT_EQ(t.dataCfRGB[3 * T], t.dataCfRot[T]);
        EXPECT_EQ(t.dataCfRGB[3 * T + 1], t.dataCfGruen[T]);
        EXPECT_EQ(t.dataCfRGB[3 * T + 2], t.dataCfBlau[T]);
    }
    EXPECT_EQ(t.curveRanges.channel[0].min, 500);
    EXPECT_EQ(t.curveRanges.channel[0].max, 1490);
    EXPECT_EQ(t.curveRanges.combined.min, 500);
    EXPECT_EQ(t.curveRanges.combined.max, 3000);
    EXPECT_EQ(t.factorRanges.channel[0].min, 687);
    EXPECT_EQ(t.factorRanges.channel[0].max, 2048);
    EXPECT_EQ(t.factorRanges.combined.min, 341);
}

TEST(Curves, RangesStartAtTenThousandAndTruncateTowardZero) {
    CompensationTables t;
    Coefficients c = Flat(20000, 50.7, -3.9);
    CalcCurves(t, c);
    EXPECT_EQ(t.curveRanges.channel[0].min, 10000);  // never reached from above
    EXPECT_EQ(t.curveRanges.channel[0].max, 20000);
    EXPECT_EQ(t.curveRanges.channel[1].min, 50);
    EXPECT_EQ(t.curveRanges.channel[1].max, 50);
    EXPECT_EQ(t.curveRanges.channel[2].min, -3);
    EXPECT_EQ(t.curveRanges.channel[2].max, -3);
    CalcCurves(t, Flat(-20000, 0, 0));
    EXPECT_EQ(t.curveRanges.channel[0].max, -10000);
}

TEST(Curves, RunawayPolynomialsStayDefined) {
    CompensationTables t;
    Coefficients c{};
    c[0] = 1e300;   // RX4: the curve overflows to infinity
    c[5] = -1e300;  // GX4
    CalcCurves(t, c);
    EXPECT_EQ(t.curveRanges.channel[0].max, std::numeric_limits<int>::max());
    EXPECT_EQ(t.curveRanges.channel[1].min, std::numeric_limits<int>::min());
}

TEST(Factors, WorkOnTheCurvesAsTheyStand) {
    CompensationTables t;
    // Nothing computed yet: all curves 0, every quotient infinite.
    CalcCfCurves(t, {1000, 1000, 1000});
    EXPECT_EQ(t.factorsOutOfRange, 300);
    EXPECT_EQ(t.dataCfRot[0], 65535);
    CalcCurves(t, Flat(1000, 1000, 1000));
    CalcCfCurves(t, {2000, 500, 0});
    EXPECT_EQ(t.dataCfRot[50], 2048);
    EXPECT_EQ(t.dataCfGruen[50], 512);
    EXPECT_EQ(t.dataCfBlau[50], 0);
    EXPECT_EQ(t.factorsOutOfRange, 0);
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
        {1024.9, 1024, false},
        {65535.99, 65535, false},
        {65536.0, 0, true},
        {70000.7, 4464, true},  // 70000 - 65536
        {131073.0, 1, true},
        {4294967295.9, 65535, true},  // the last quotient that fits 32 bits
        {4294967296.0, 65535, true},  // beyond: saturated
        {1e300, 65535, true},
        {inf, 65535, true},
        {-0.5, 0, true},  // truncates to 0, but stands for no factor
        {-1.0, 0, true},
        {-inf, 0, true},
        {std::numeric_limits<double>::quiet_NaN(), 0, true},
    };
    for (const Case& c : cases) {
        bool bad = !c.outOfRange;
        EXPECT_EQ(FactorFromQuotient(c.q, &bad), c.factor) << c.q;
        EXPECT_EQ(bad, c.outOfRange) << c.q;
    }
    // In the tables: a curve of 1/64 of the set value is the last one that fits.
    CompensationTables t;
    CalcCurves(t, Flat(1000.0 / 64, -5, 1024000.0 / 70000.7));
    CalcCfCurves(t, {1000, 1000, 1000});
    EXPECT_EQ(t.dataCfRot[0], 0);  // 65536 exactly
    EXPECT_EQ(t.dataCfGruen[0], 0);
    EXPECT_EQ(t.dataCfBlau[0], 4464);
    EXPECT_EQ(t.dataCfRGB[2], 4464);
    EXPECT_EQ(t.factorRanges.channel[2].max, 4464);
    EXPECT_EQ(t.factorsOutOfRange, 300);
}

TEST(CubeRoots, ExponentSlightlyUnderOneThird) {
    CompensationTables t;
    Calc3rdRoot(t);
    EXPECT_EQ(t.data3rdRoot[0], 0);
    EXPECT_EQ(t.data3rdRoot[1], 2519);
    EXPECT_EQ(t.data3rdRoot[4], 3999);
    EXPECT_EQ(t.data3rdRoot[8], 5039);
    EXPECT_EQ(t.data3rdRoot[32], 7999);
    EXPECT_EQ(t.data3rdRoot[64], 10079);
    EXPECT_EQ(t.data3rdRoot[108], 11999);
    EXPECT_EQ(t.data3rdRoot[255], 15979);
}

TEST(Comparison, EveryTableAndEveryEntryCounts) {
    CompensationTables t;
    EXPECT_TRUE(CheckSaving(t));  // all zero on both sides
    CalcCurves(t, Flat(900, 1000, 1100));
    CalcCfCurves(t, {1000, 1000, 1000});
    Calc3rdRoot(t);
    EXPECT_FALSE(CheckSaving(t));
    t.savedCfRot = t.dataCfRot;
    t.savedCfGruen = t.dataCfGruen;
    t.savedCfBlau = t.dataCfBlau;
    t.saved3rdRoot = t.data3rdRoot;
    EXPECT_TRUE(CheckSaving(t));
    t.saved3rdRoot[255] ^= 1;
    EXPECT_FALSE(CheckSaving(t));
    t.saved3rdRoot[255] ^= 1;
    t.savedCfBlau[99] ^= 1;
    EXPECT_FALSE(CheckSaving(t));
}

std::vector<std::uint16_t> Words(const FrameBuffers& b) {
    std::vector<std::uint16_t> words;
    for (int i = 0; i < 18; ++i) words.push_back(UnpackWord(&b.szWriteBuf[2 * i]));
    return words;
}

TEST(Frames, BlocksCarryTheirEntriesBigEndianAndNothingElse) {
    CompensationTables t;
    for (int i = 0; i < kRootSize; ++i) t.data3rdRoot[i] = static_cast<std::uint16_t>(0x1000 + i);
    for (int i = 0; i < kSteps; ++i) t.dataCfBlau[i] = static_cast<std::uint16_t>(0xB000 + i);
    FrameBuffers b;
    b.szWriteBuf.fill(0xEE);
    FillTxBuf3rdRootX(b, t, 85, 50, 31);
    std::vector<std::uint16_t> expected = {85, 50, 31};
    for (int i = 248; i < 256; ++i) expected.push_back(static_cast<std::uint16_t>(0x1000 + i));
    expected.resize(18, 0);
    EXPECT_EQ(Words(b), expected);
    EXPECT_EQ(b.szWriteBuf[6], 0x10);  // high byte first
    EXPECT_EQ(b.szWriteBuf[7], 248);
    EXPECT_EQ(b.szWriteBuf[36], 0xEE);  // beyond the frame nothing is touched

    FillTxBufRGB(b, t, 85, 42, 9, 2);
    expected = {85, 42, 9};
    for (int i = 90; i < 100; ++i) expected.push_back(static_cast<std::uint16_t>(0xB000 + i));
    expected.resize(18, 0);
    EXPECT_EQ(Words(b), expected);

    // The request frames carry no leftovers of the block before.
    FillTxBuf(b, 85, 51, 128);
    expected = {85, 51, 128};
    expected.resize(18, 0);
    EXPECT_EQ(Words(b), expected);
}

TEST(Frames, RepliesAreBareBigEndianTables) {
    FrameBuffers b;
    for (int i = 0; i < 256; ++i) {
        b.szReadBuf[2 * i] = static_cast<std::uint8_t>(i >> 4);
        b.szReadBuf[2 * i + 1] = static_cast<std::uint8_t>(i);
    }
    std::array<std::uint16_t, kPpWords> pp{};
    pp.fill(7);
    GetRxBufPara(b, pp);
    EXPECT_EQ(pp[0], 0);
    EXPECT_EQ(pp[199], ((199 >> 4) << 8) | 199);
    EXPECT_EQ(pp[200], 7);
    CompensationTables t;
    CopyPPtoVarsG(pp, t);
    EXPECT_EQ(t.savedCfGruen[99], pp[99]);
    EXPECT_EQ(t.savedCfRot[99], 0);
    GetRxBuf3rdRoot(b, pp);
    CopyPPto3rdRoot(pp, 128, t);
    EXPECT_EQ(t.saved3rdRoot[128], pp[0]);
    EXPECT_EQ(t.saved3rdRoot[255], pp[127]);
    EXPECT_EQ(t.saved3rdRoot[127], 0);
}

// --- equation files ---

class EquationFiles : public ::testing::Test {
  protected:
    std::string Path(const char* name) {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    QTemporaryDir dir;
};

TEST_F(EquationFiles, WrittenByteExactOneRightAlignedFieldPerLine) {
    Coefficients c{};
    c[0] = -1.25e-7;
    c[3] = 10;
    c[4] = 500;
    c[9] = 1000.5;
    c[14] = 123456789012.0;
    const std::string path = Path("equation.equ");
    ASSERT_TRUE(WriteEquationFile(path, c).ok);
    const std::string expected =
        " -1.25e-07\n"
        "         0\n"
        "         0\n"
        "        10\n"
        "       500\n"
        "         0\n"
        "         0\n"
        "         0\n"
        "         0\n"
        "    1000.5\n"
        "         0\n"
        "         0\n"
        "         0\n"
        "         0\n"
        "123456789012\n";
    EXPECT_EQ(Slurp(path), expected);
}

TEST_F(EquationFiles, SaveAndLoadRestoreEveryValueExactly) {
    Coefficients c;
    for (int i = 0; i < kCoefficients; ++i) c[i] = (i - 7) * 0.1 + 1.0 / (i + 3);
    c[0] = 1e-300;
    c[1] = -1.2345678901234567e-13;
    c[2] = 1e-13;
    c[3] = 1.234567e-09;
    c[5] = 0.0;
    c[6] = -std::numeric_limits<double>::max();
    c[7] = std::numeric_limits<double>::denorm_min();
    const std::string path = Path("round.equ");
    Put(path, std::string(5000, 'x'));  // earlier content is replaced
    ASSERT_TRUE(WriteEquationFile(path, c).ok);
    const auto back = ReadEquationFile(path);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.coefficients, c);
    ASSERT_TRUE(WriteEquationFile(path, back.coefficients).ok);
    EXPECT_EQ(ReadEquationFile(path).coefficients, c);
}

TEST_F(EquationFiles, ReaderAcceptsBlanksNotationsAndLineEnds) {
    std::string text;
    const char* values[15] = {"  1.5", "-2",   "+3", "4e2", "  -5.0E-1  ", "\t6", ".5", "7.",
                              "0",     "1000", "1",  "2",   "3",           "4",   "5"};
    for (const char* v : values) text += std::string(v) + "\r\n";
    text += "\r\n  \n";
    const auto r = ParseEquationText(text);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.coefficients[0], 1.5);
    EXPECT_EQ(r.coefficients[2], 3.0);
    EXPECT_EQ(r.coefficients[3], 400.0);
    EXPECT_EQ(r.coefficients[4], -0.5);
    EXPECT_EQ(r.coefficients[6], 0.5);
    EXPECT_EQ(r.coefficients[14], 5.0);
    // No final line end.
    std::string bare;
    for (int i = 0; i < 15; ++i) bare += (i ? "\n" : "") + std::to_string(i);
    EXPECT_TRUE(ParseEquationText(bare).ok);
}

TEST_F(EquationFiles, MalformedFilesAreRefusedNamingTheFault) {
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "1\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"", "holds 0 lines"},
        {"1\n2\n3\n", "holds 3 lines"},
        {fifteen + "1\n", "holds 16 lines"},
        {"1\n\n" + fifteen.substr(4), "Line 2"},  // a gap is no value
        {"1 2\n" + fifteen.substr(2), "Line 1"},
        {fifteen.substr(0, 28) + "abc\n", "Line 15"},
        {"1,5\n" + fifteen.substr(2), "Line 1"},
        {"nan\n" + fifteen.substr(2), "Line 1"},
        {"inf\n" + fifteen.substr(2), "Line 1"},
        {"1e999\n" + fifteen.substr(2), "Line 1"},
        {"++1\n" + fifteen.substr(2), "Line 1"},
        {"+-21\n" + fifteen.substr(2), "Line 1"},  // one sign, not two
        {"+\n" + fifteen.substr(2), "Line 1"},
        {"0x10\n" + fifteen.substr(2), "Line 1"},
    };
    for (const Case& c : cases) {
        const auto r = ParseEquationText(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << r.error;
    }
    EXPECT_FALSE(ReadEquationFile(Path("missing.equ")).ok);
    Put(Path("huge.equ"), std::string(100000, '1'));
    EXPECT_FALSE(ReadEquationFile(Path("huge.equ")).ok);
}

TEST_F(EquationFiles, AFailedWriteKeepsTheOldFile) {
    const std::string path = Path("keep.equ");
    Put(path, "old");
    // The temporary beside it cannot be made: a directory stands in its place.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path + ".part")) ||
                QDir(QString::fromStdString(path + ".part")).exists());
    EXPECT_FALSE(WriteEquationFile(path, Coefficients{}).ok);
    EXPECT_EQ(Slurp(path), "old");
    EXPECT_FALSE(WriteEquationFile(Path("no/such/dir/x.equ"), Coefficients{}).ok);
}

}  // namespace
}  // namespace tvx::tempcomp
