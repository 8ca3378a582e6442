#include "parameter_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "file_test_util.h"
#include "frames.h"

namespace tvx {
namespace {

using testing::ReadBytes;
using testing::ReadOnlyDirectory;
using testing::WriteBytes;

// One value per line as the program writes them.
QByteArray Lines(const ParameterImage& image) {
    QByteArray text;
    for (std::uint16_t word : image)
        text += QByteArray::number(word).rightJustified(10, ' ') + '\n';
    return text;
}

ParameterImage Counting() {
    ParameterImage image{};
    for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<std::uint16_t>(k * 601);
    return image;
}

QString LoadFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The parameter file could not be loaded:\n") + path + '\n' + reason;
}

class ParameterFileTest : public ::testing::Test {
  protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

using WritingParameterFiles = ParameterFileTest;

TEST_F(WritingParameterFiles, PowerThousandAndZerosIsExactlyOneValuePerTenCharacterLine) {
    ParameterImage image{};
    image[0] = 1000;
    const QString path = PathOf("init.dat");
    const ParameterFileResult result = WriteParameterFile(path, image);
    ASSERT_TRUE(result.ok) << result.message.toStdString();
    EXPECT_TRUE(result.message.isEmpty());

    QByteArray expected = "      1000\n";
    for (int k = 1; k < anzpara; ++k) expected += "         0\n";
    EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(WritingParameterFiles, ValuesOfEveryWidthAreRightAligned) {
    ParameterImage image{};
    image[1] = 7;
    image[2] = 42;
    image[3] = 0x8000;
    image[105] = 65535;
    const QString path = PathOf("widths.dat");
    ASSERT_TRUE(WriteParameterFile(path, image).ok);
    const QList<QByteArray> lines = ReadBytes(path).split('\n');
    ASSERT_EQ(lines.size(), anzpara + 1);  // the last line feed ends line 105
    EXPECT_EQ(lines[1], "         7");
    EXPECT_EQ(lines[2], "        42");
    EXPECT_EQ(lines[3], "     32768");
    EXPECT_EQ(lines[105], "     65535");
    EXPECT_EQ(lines[106], "");
}

TEST_F(WritingParameterFiles, ReplacesLongerPreviousContentCompletely) {
    const QString path = PathOf("old.dat");
    ASSERT_TRUE(WriteBytes(path, QByteArray(5000, 'x')));
    const ParameterImage image = Counting();
    ASSERT_TRUE(WriteParameterFile(path, image).ok);
    EXPECT_EQ(ReadBytes(path), Lines(image));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"old.dat"});  // no leftovers
}

TEST_F(WritingParameterFiles, ReadOnlyDirectoryFailsWithMessageAndKeepsTheOldFile) {
    ReadOnlyDirectory locked(dir_.path());
    const QString path = locked.FilePath("init.dat");
    ParameterImage before{};
    before[0] = 500;
    ASSERT_TRUE(WriteParameterFile(path, before).ok);
    const QByteArray good = ReadBytes(path);

    if (!locked.Lock()) GTEST_SKIP() << "cannot make a directory read-only for this process";
    const ParameterFileResult result = WriteParameterFile(path, Counting());
    locked.Unlock();

    EXPECT_FALSE(result.ok);
    const QString head = QStringLiteral("The parameter file could not be written:\n") + path + '\n';
    EXPECT_TRUE(result.message.startsWith(head)) << result.message.toStdString();
    EXPECT_GT(result.message.size(), head.size()) << "the reason is missing";
    EXPECT_EQ(ReadBytes(path), good);
    EXPECT_EQ(QDir(locked.path()).entryList(QDir::Files), QStringList{"init.dat"});
}

TEST_F(WritingParameterFiles, MissingDirectoryFailsWithMessageNamingTheFile) {
    const QString path = PathOf("no/such/folder/init.dat");
    const ParameterFileResult result = WriteParameterFile(path, Counting());
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.startsWith(
        QStringLiteral("The parameter file could not be written:\n") + path + '\n'))
        << result.message.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

using ParameterFileRoundTrip = ParameterFileTest;

TEST_F(ParameterFileRoundTrip, SpareWordsAndHighValuesComeBackUnchanged) {
    ParameterImage image{};
    image[0] = 1000;
    image[6] = 15;
    image[14] = 0xABCD;  // frei15
    image[15] = 0x8001;  // frei16
    for (int k = 16; k < anzpara; ++k) image[k] = static_cast<std::uint16_t>(0x8000 + 97 * k);
    const QString path = PathOf("spare.dat");
    ASSERT_TRUE(WriteParameterFile(path, image).ok);
    const ParameterFileRead read = ReadParameterFile(path);
    ASSERT_TRUE(read.ok()) << read.message.toStdString();
    EXPECT_TRUE(read.message.isEmpty());
    EXPECT_EQ(*read.image, image);
}

TEST_F(ParameterFileRoundTrip, EveryWordAtItsMaximum) {
    ParameterImage image;
    image.fill(65535);
    const QString path = PathOf("max.dat");
    ASSERT_TRUE(WriteParameterFile(path, image).ok);
    const ParameterFileRead read = ReadParameterFile(path);
    ASSERT_TRUE(read.ok()) << read.message.toStdString();
    EXPECT_EQ(*read.image, image);
}

TEST_F(ParameterFileRoundTrip, ThroughTheVariablesAsSendAndGetUseIt) {
    ParameterSet vars;
    vars.power = 1000;
    vars.maxcolno = 9;
    vars.frei15 = 0xFFFF;
    vars.frei16 = 0x1234;
    vars.ctt[14] = {0x8000, 0x8001, 300, 0xFFFE, 12};
    vars.groupbuf[14] = 3;
    FrameBuffers out;
    CopyVarsToPP(vars, out);
    const QString path = PathOf("vars.dat");
    ASSERT_TRUE(WriteParameterFile(path, TakeImageFromPp(out)).ok);

    const ParameterFileRead read = ReadParameterFile(path);
    ASSERT_TRUE(read.ok()) << read.message.toStdString();
    FrameBuffers in;
    in.pp.fill(0x7777);
    PutImageIntoPp(*read.image, in);
    EXPECT_EQ(in.pp[anzpara], 0x7777) << "words beyond the image are not the file's";
    ParameterSet loaded;
    CopyFileParatoVars(in, loaded);
    EXPECT_EQ(loaded, vars);
}

TEST_F(ParameterFileRoundTrip, MaxColNoOfTwentyLoadsAsFifteen) {
    ParameterImage image{};
    image[6] = 20;
    const QString path = PathOf("twenty.dat");
    ASSERT_TRUE(WriteBytes(path, Lines(image)));
    const ParameterFileRead read = ReadParameterFile(path);
    ASSERT_TRUE(read.ok()) << read.message.toStdString();
    EXPECT_EQ((*read.image)[6], 20) << "the file reader carries the word unchanged";
    FrameBuffers buffers;
    PutImageIntoPp(*read.image, buffers);
    ParameterSet vars;
    CopyFileParatoVars(buffers, vars);
    EXPECT_EQ(vars.maxcolno, 15u);
}

using ReadingParameterFiles = ParameterFileTest;

TEST_F(ReadingParameterFiles, AcceptsBlanksLineEndsAndTrailingEmptyLinesOfOtherEditors) {
    const ParameterImage image = Counting();
    auto each = [&](auto format) {
        QByteArray text;
        for (std::size_t k = 0; k < image.size(); ++k)
            text += format(k, QByteArray::number(image[k]));
        return text;
    };
    const struct {
        const char* name;
        QByteArray text;
    } variants[] = {
        {"left-aligned", each([](std::size_t, const QByteArray& v) { return v + '\n'; })},
        {"tabs and blanks on both sides", each([](std::size_t k, const QByteArray& v) {
             return (k % 2 ? "\t " : "   ") + v + (k % 3 ? " \t" : "") + '\n';
         })},
        {"CRLF", each([](std::size_t, const QByteArray& v) { return "  " + v + "\r\n"; })},
        {"leading zeros", each([](std::size_t, const QByteArray& v) { return "000" + v + '\n'; })},
        {"no final line feed", Lines(image).chopped(1)},
        {"trailing empty lines", Lines(image) + "\n\n   \n\t\r\n"},
        {"trailing empty lines without final line feed", Lines(image) + "\n  "},
    };
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.name);
        const QString path = PathOf("variant.dat");
        ASSERT_TRUE(WriteBytes(path, variant.text));
        const ParameterFileRead read = ReadParameterFile(path);
        ASSERT_TRUE(read.ok()) << read.message.toStdString();
        EXPECT_EQ(*read.image, image);
    }
}

TEST_F(ReadingParameterFiles, RejectsMalformedFilesNamingTheLine) {
    const QByteArray good = Lines(Counting());
    const auto replaceLine = [&](int line, const QByteArray& text) {  // line counted from 1
        QList<QByteArray> lines = good.split('\n');
        lines[line - 1] = text;
        return lines.join('\n');
    };
    const QByteArray value105 = good.left(105 * 11);
    const struct {
        const char* name;
        QByteArray text;
        QString reason;
    } cases[] = {
        {"empty file", "", "The file holds no values."},
        {"only empty lines", "\n  \n\r\n", "The file holds no values."},
        {"105 values", value105, "The file holds only 105 values; a parameter file holds 106."},
        {"105 values and empty lines", value105 + "\n\n",
         "The file holds only 105 values; a parameter file holds 106."},
        {"letters", replaceLine(7, "  12a"), "Line 7 is not an unsigned decimal number: \"12a\""},
        {"negative", replaceLine(1, "-1"), "Line 1 is not an unsigned decimal number: \"-1\""},
        {"plus sign", replaceLine(2, "+5"), "Line 2 is not an unsigned decimal number: \"+5\""},
        {"two numbers", replaceLine(3, " 1 2 "),
         "Line 3 is not an unsigned decimal number: \"1 2\""},
        {"hexadecimal", replaceLine(4, "0x10"),
         "Line 4 is not an unsigned decimal number: \"0x10\""},
        {"fraction", replaceLine(5, "1.5"), "Line 5 is not an unsigned decimal number: \"1.5\""},
        {"exponent", replaceLine(106, "1e3"),
         "Line 106 is not an unsigned decimal number: \"1e3\""},
        {"control bytes",
         replaceLine(8, QByteArray("4\0"
                                   "2",
                                   3)),
         "Line 8 is not an unsigned decimal number: \"4?2\""},
        {"65536", replaceLine(50, "     65536"),
         "Line 50 holds 65536, which is larger than 65535."},
        {"far too many digits", replaceLine(51, "123456789012345678901234567890"),
         "Line 51 holds 12345678901234567890..., which is larger than 65535."},
        {"107 values", good + "         0\n",
         "The file goes on after its 106th value (line 107); a parameter file holds exactly 106 "
         "values."},
        {"a value after trailing empty lines", good + "\n\n5\n",
         "The file goes on after its 106th value (line 109); a parameter file holds exactly 106 "
         "values."},
        {"text after the values", good + "end",
         "The file goes on after its 106th value (line 107); a parameter file holds exactly 106 "
         "values."},
        {"empty line among the values", replaceLine(3, "  ") + "         0\n",
         "Line 3 is empty; each of the 106 lines of a parameter file holds one value."},
        {"overlong line", replaceLine(9, QByteArray(5000, ' ') + "1"), "Line 9 is too long."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = PathOf("bad.dat");
        ASSERT_TRUE(WriteBytes(path, c.text));
        const ParameterFileRead read = ReadParameterFile(path);
        EXPECT_FALSE(read.ok());
        EXPECT_EQ(read.message.toStdString(), LoadFailure(path, c.reason).toStdString());
    }
}

TEST_F(ReadingParameterFiles, RejectsWhatCannotBeOpened) {
    const QString missing = PathOf("missing.dat");
    const ParameterFileRead noFile = ReadParameterFile(missing);
    EXPECT_FALSE(noFile.ok());
    EXPECT_TRUE(noFile.message.startsWith(LoadFailure(missing, QString())))
        << noFile.message.toStdString();
    EXPECT_GT(noFile.message.size(), LoadFailure(missing, QString()).size());

    const ParameterFileRead folder = ReadParameterFile(dir_.path());
    EXPECT_FALSE(folder.ok());
    EXPECT_TRUE(folder.message.startsWith(LoadFailure(dir_.path(), QString())))
        << folder.message.toStdString();
}

}  // namespace
}  // namespace tvx
