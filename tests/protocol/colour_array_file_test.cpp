// Colour-array files and the start-up file that names one, byte for byte.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "colour_array_file.h"
#include "file_test_util.h"

namespace tvx {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class ColourArrayFileTest : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(ColourArrayFileTest, BuiltInColoursAreWrittenAsFortyFiveFields) {
    const QString path = Path("ColorArray.car");
    ASSERT_TRUE(WriteColourArrayFile(path, DefaultRowColours()).ok);
    const QByteArray bytes = ReadBytes(path);
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 46) << "45 lines, each ended by a line feed";
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_EQ(lines[0], "  16711680");
    EXPECT_EQ(lines[1], "   8453888");
    EXPECT_EQ(lines[2], "       255");
    EXPECT_EQ(lines[3], "         0");
    EXPECT_EQ(lines[15], lines[0]) << "entries 15 ... 29 repeat the row colours";
    EXPECT_EQ(lines[44], "   8388608");
}

TEST_F(ColourArrayFileTest, SavedArrayReadsBackWhole) {
    RowColours written{};
    for (int i = 0; i < kRowColourEntries; ++i)
        written[static_cast<std::size_t>(i)] = (i * 0x050301) & 0xFFFFFF;
    written[44] = -1;  // entries are signed
    const QString path = Path("mine.car");
    ASSERT_TRUE(WriteColourArrayFile(path, written).ok);
    RowColours read = DefaultRowColours();
    const ColourArrayRead result = ReadColourArrayFile(path, read);
    EXPECT_TRUE(result.ok()) << result.message.toStdString();
    EXPECT_EQ(read, written);
}

TEST_F(ColourArrayFileTest, ReaderTakesPlainIntegersAndKeepsWhatItCannotRead) {
    // Any white space separates the values; CRLF line ends too.
    const QString loose = Path("loose.car");
    QByteArray text = "1 2\r\n\t3\n";
    for (int i = 3; i < kRowColourEntries; ++i) text += QByteArray::number(i + 1) + "\n";
    ASSERT_TRUE(WriteBytes(loose, text));
    RowColours colours{};
    EXPECT_TRUE(ReadColourArrayFile(loose, colours).ok());
    EXPECT_EQ(colours[0], 1);
    EXPECT_EQ(colours[2], 3);
    EXPECT_EQ(colours[44], 45);

    // A short file or a bad value: the entries before it are read, the rest are kept, and the
    // caller learns about it.
    for (const QByteArray& content :
         {QByteArray("11\n22\n33\n"), QByteArray("11\n22\n33\nblue\n44\n"),
          QByteArray("11\n22\n33\n99999999999\n"),
          QByteArray("11\n22\n33\n4\0"
                     "4\n",
                     13),
          QByteArray("11\n22\n33\n+-4\n")}) {
        SCOPED_TRACE(content.constData());
        const QString path = Path("short.car");
        ASSERT_TRUE(WriteBytes(path, content));
        colours = DefaultRowColours();
        const ColourArrayRead result = ReadColourArrayFile(path, colours);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.entriesRead, 3);
        EXPECT_TRUE(result.message.contains(QStringLiteral("3 of the 45")));
        EXPECT_TRUE(result.message.contains(path));
        EXPECT_EQ(colours[2], 33);
        EXPECT_EQ(colours[3], DefaultRowColours()[3]);
    }

    // A file that cannot be read changes nothing.
    colours = DefaultRowColours();
    const ColourArrayRead missing = ReadColourArrayFile(Path("missing.car"), colours);
    EXPECT_EQ(missing.entriesRead, 0);
    EXPECT_FALSE(missing.message.isEmpty());
    EXPECT_EQ(colours, DefaultRowColours());
}

TEST_F(ColourArrayFileTest, AFailedWriteSaysSoAndKeepsTheOldFile) {
    const QString path = Path("keep.car");
    ASSERT_TRUE(WriteBytes(path, "old"));
    // A directory in the file's place cannot be replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.car")));
    const ColourFileResult result = WriteColourArrayFile(Path("taken.car"), DefaultRowColours());
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.message.contains(QStringLiteral("taken.car")));
    EXPECT_EQ(ReadBytes(path), "old");
}

TEST_F(ColourArrayFileTest, StartupFileHoldsThePathInTwoHundredSixtyBytes) {
    const QString pointer = Path("StartupPath.sup");
    const QString named = Path("ColorArray.car");
    ASSERT_TRUE(WriteStartupPointerFile(pointer, named).ok);
    const QByteArray bytes = ReadBytes(pointer);
    ASSERT_EQ(bytes.size(), 260);
    const QByteArray path = QFile::encodeName(named);
    EXPECT_EQ(bytes.left(path.size()), path);
    EXPECT_EQ(bytes.mid(path.size()), QByteArray(260 - path.size(), '\0'));
    EXPECT_EQ(ReadStartupPointerFile(pointer), named);

    // A path that would not fit whole is refused; the old pointer file stays.
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('a'));
    const ColourFileResult refused = WriteStartupPointerFile(pointer, longPath);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(ReadStartupPointerFile(pointer), named);

    // Missing, short, long or empty pointer files name nothing.
    EXPECT_EQ(ReadStartupPointerFile(Path("none.sup")), std::nullopt);
    ASSERT_TRUE(WriteBytes(Path("short.sup"), QByteArray("abc", 3)));
    EXPECT_EQ(ReadStartupPointerFile(Path("short.sup")), std::nullopt);
    ASSERT_TRUE(WriteBytes(Path("long.sup"), QByteArray(261, 'a')));
    EXPECT_EQ(ReadStartupPointerFile(Path("long.sup")), std::nullopt);
    ASSERT_TRUE(WriteBytes(Path("empty.sup"), QByteArray(260, '\0')));
    EXPECT_EQ(ReadStartupPointerFile(Path("empty.sup")), std::nullopt);
}

}  // namespace
}  // namespace tvx
