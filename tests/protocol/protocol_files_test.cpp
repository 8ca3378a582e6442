// The files the programs read and write, byte for byte: parameter files, colour-array files and
// the start-up file naming one, the address history and the record file.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

#include "address_history.h"
#include "colour_array_file.h"
#include "frames.h"
#include "parameter_file.h"
#include "record_file.h"

namespace tvx {
namespace {

class FileTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    static QByteArray ReadBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteBytes(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QTemporaryDir dir_;
};
using ParameterFile = FileTest;
using ColourArrayFile = FileTest;
using AddressHistory = FileTest;
using RecordFile = FileTest;

// One value per line as the program writes them.
QByteArray Lines(const ParameterImage& image) {
    QByteArray text;
    for (std::uint16_t word : image) text += QByteArray::number(word).rightJustified(10) + '\n';
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

TEST_F(ParameterFile, WritesOneValuePerTenCharacterLineThatReadsBackUnchanged) {
    ParameterImage image{};
    image[0] = 1000;
    image[105] = 65535;
    WriteBytes(Path("init.dat"), QByteArray(5000, 'x'));
    ASSERT_TRUE(WriteParameterFile(Path("init.dat"), image).ok);
    QByteArray expected = "      1000\n";
    for (int k = 1; k < 105; ++k) expected += "         0\n";
    EXPECT_EQ(ReadBytes(Path("init.dat")), expected + "     65535\n");

    const QString missing = Path("no/such/folder/init.dat");
    const ParameterFileResult failed = WriteParameterFile(missing, image);
    EXPECT_FALSE(failed.ok);
    EXPECT_TRUE(failed.message.startsWith("The parameter file could not be written:\n" + missing))
        << failed.message.toStdString();

    ParameterImage highest;
    highest.fill(65535);
    for (const ParameterImage& image : {Counting(), highest}) {
        ASSERT_TRUE(WriteParameterFile(Path("a.dat"), image).ok);
        const ParameterFileRead read = ReadParameterFile(Path("a.dat"));
        ASSERT_TRUE(read.ok()) << read.message.toStdString();
        EXPECT_TRUE(read.message.isEmpty());
        EXPECT_EQ(*read.image, image);
    }
    FrameBuffers buffers;
    buffers.pp.fill(0x7777);
    PutImageIntoPp(Counting(), buffers);
    EXPECT_EQ(buffers.pp[anzpara], 0x7777) << "words beyond the image are not the file's";
    EXPECT_EQ(TakeImageFromPp(buffers), Counting());
}

// Small file systems of a test's own, in a mount namespace of the calling thread: no other
// process sees them, and none outlives the test program. Mounting needs the right to mount
// (CAP_SYS_ADMIN); Refusal() says what was refused.
class ScratchMounts {
  public:
    ScratchMounts() {
        if (unshare(CLONE_NEWNS) != 0) {
            Refused("a mount namespace of its own");
        } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            // Mounts made here must not reach the namespace the program came from.
            Refused("private mounts");
        }
    }
    ~ScratchMounts() {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it)
            umount2(it->constData(), MNT_DETACH);
    }
    const QString& Refusal() const { return refusal_; }

    // A tmpfs of `kib` KiB on the directory `dir`.
    bool Tmpfs(const QString& dir, int kib) {
        const QByteArray options = "size=" + QByteArray::number(kib) + "k";
        return Mount("tvx-test", dir, "tmpfs", 0, options.constData());
    }
    // `file` mounted over itself: it stays as it is, but nothing can take its place.
    bool BindOverItself(const QString& file) {
        return Mount(file, file, nullptr, MS_BIND, nullptr);
    }

  private:
    bool Mount(const QString& source, const QString& target, const char* type, unsigned long flags,
               const char* options) {
        if (!refusal_.isEmpty()) return false;
        const QByteArray to = QFile::encodeName(target);
        if (mount(QFile::encodeName(source).constData(), to.constData(), type, flags, options) !=
            0) {
            Refused("mounting " + target);
            return false;
        }
        mounted_.push_back(to);
        return true;
    }
    void Refused(const QString& what) {
        refusal_ = what + ": " + QString::fromLocal8Bit(std::strerror(errno));
    }
    std::vector<QByteArray> mounted_;
    QString refusal_;
};

// Writes to `path` until the file system holding it is full.
void FillUp(const QString& path) {
    QFile filler(path);
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'f');
    for (int i = 0; i < 100000 && filler.write(block) == block.size(); ++i) {
    }
    ASSERT_EQ(filler.write(block), -1) << "the file system is not full";
}

// A write that fails says so, naming the file and the reason, and leaves the old file as it was
// with no other beside it: when the file system has no room for the new file, and when the new
// file cannot take the old one's place (a mount point is not replaced, even by root).
TEST_F(ParameterFile, AFailedWriteIsReportedAndLeavesTheOldFileAsItWas) {
    ScratchMounts mounts;
    if (!mounts.Refusal().isEmpty()) {
        GTEST_SKIP() << "no scratch file system to fail on (" << mounts.Refusal().toStdString()
                     << ")";
    }
    const struct {
        const char* what;
        bool full;  // else the old file is a mount point
        int error;
    } cases[] = {
        {"no room", true, ENOSPC},
        {"the old file cannot be replaced", false, EBUSY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString dir = Path(c.what);
        ASSERT_TRUE(QDir().mkpath(dir));
        ASSERT_TRUE(mounts.Tmpfs(dir, 64)) << mounts.Refusal().toStdString();
        const QString path = dir + "/init.dat";
        WriteBytes(path, "old set\n");
        if (c.full) {
            ASSERT_NO_FATAL_FAILURE(FillUp(dir + "/filler"));
        } else {
            ASSERT_TRUE(mounts.BindOverItself(path)) << mounts.Refusal().toStdString();
        }
        const QStringList files = QDir(dir).entryList(QDir::Files | QDir::Hidden);

        const ParameterFileResult result = WriteParameterFile(path, Counting());
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.message.toStdString(),
                  ("The parameter file could not be written:\n" + path + '\n' +
                   QString::fromLocal8Bit(std::strerror(c.error)))
                      .toStdString());
        EXPECT_EQ(ReadBytes(path), QByteArray("old set\n"));
        // The colour-array file and the address history are written the same way.
        EXPECT_FALSE(WriteColourArrayFile(path, RowColours{}).ok);
        EXPECT_FALSE(SaveAddressHistory(path, {QStringLiteral("10.0.0.7")}).ok);
        EXPECT_EQ(ReadBytes(path), QByteArray("old set\n"));
        EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), files)
            << "a file was left behind";
    }
}

TEST_F(ParameterFile, ReaderTakesBlanksLineEndsAndTrailingEmptyLines) {
    const QByteArray lines = Lines(Counting());
    const std::pair<const char*, QByteArray> variants[] = {
        {"left-aligned", QByteArray(lines).replace(" ", "")},
        {"tabs and blanks", QByteArray(lines).replace("   ", "\t ").replace("\n", " \t\n")},
        {"CRLF", QByteArray(lines).replace("\n", "\r\n")},
        {"leading zeros", QByteArray(lines).replace(' ', '0')},
        {"no final line feed", lines.chopped(1)},
        {"trailing empty lines", lines + "\n\n   \n\t\r\n"},
        {"trailing blanks without line feed", lines + "\n  "},
    };
    for (const auto& [what, text] : variants) {
        SCOPED_TRACE(what);
        WriteBytes(Path("v.dat"), text);
        const ParameterFileRead read = ReadParameterFile(Path("v.dat"));
        ASSERT_TRUE(read.ok()) << read.message.toStdString();
        EXPECT_EQ(*read.image, Counting());
    }
}

TEST_F(ParameterFile, ReaderRefusesMalformedFilesNamingTheLine) {
    const QByteArray good = Lines(Counting());
    const auto replaceLine = [&](int line, const QByteArray& text) {  // counted from 1
        QList<QByteArray> lines = good.split('\n');
        lines[line - 1] = text;
        return lines.join('\n');
    };
    const QString goesOn =
        "The file goes on after its 106th value (line %1); a parameter file "
        "holds exactly 106 values.";
    const QString notANumber = "Line %1 is not an unsigned decimal number: \"%2\"";
    const std::tuple<const char*, QByteArray, QString> cases[] = {
        {"empty file", "", "The file holds no values."},
        {"105 values", good.left(105 * 11) + "\n\n",
         "The file holds only 105 values; a parameter file holds 106."},
        {"letters", replaceLine(7, "  12a"), notANumber.arg(7).arg("12a")},
        {"negative", replaceLine(1, "-1"), notANumber.arg(1).arg("-1")},
        {"plus sign", replaceLine(2, "+5"), notANumber.arg(2).arg("+5")},
        {"two numbers", replaceLine(3, " 1 2 "), notANumber.arg(3).arg("1 2")},
        {"exponent", replaceLine(106, "1e3"), notANumber.arg(106).arg("1e3")},
        {"control byte", replaceLine(8, QByteArray("4\0002", 3)), notANumber.arg(8).arg("4?2")},
        {"65536", replaceLine(50, "     65536"),
         "Line 50 holds 65536, which is larger than 65535."},
        {"many digits", replaceLine(51, "123456789012345678901234567890"),
         "Line 51 holds 12345678901234567890..., which is larger than 65535."},
        {"107 values", good + "         0\n", goesOn.arg(107)},
        {"a value after empty lines", good + "\n\nend", goesOn.arg(109)},
        {"empty line among the values", replaceLine(3, "  ") + "         0\n",
         "Line 3 is empty; each of the 106 lines of a parameter file holds one value."},
        {"overlong line", replaceLine(9, QByteArray(5000, ' ') + "1"), "Line 9 is too long."},
    };
    for (const auto& [what, text, reason] : cases) {
        SCOPED_TRACE(what);
        WriteBytes(Path("bad.dat"), text);
        const ParameterFileRead read = ReadParameterFile(Path("bad.dat"));
        EXPECT_FALSE(read.ok());
        EXPECT_EQ(read.message.toStdString(), LoadFailure(Path("bad.dat"), reason).toStdString());
    }
    for (const QString& path : {Path("missing.dat"), dir_.path()}) {
        const QString message = ReadParameterFile(path).message;
        EXPECT_TRUE(message.startsWith(LoadFailure(path, QString()))) << message.toStdString();
        EXPECT_GT(message.size(), LoadFailure(path, QString()).size()) << "the reason is missing";
    }
}

TEST_F(ColourArrayFile, BuiltInColoursAreWrittenAsFortyFiveFieldsAndReadBack) {
    ASSERT_TRUE(WriteColourArrayFile(Path("ColorArray.car"), DefaultRowColours()).ok);
    const QList<QByteArray> lines = ReadBytes(Path("ColorArray.car")).split('\n');
    ASSERT_EQ(lines.size(), 46) << "45 lines, each ended by a line feed";
    EXPECT_EQ(lines.mid(0, 3), (QList<QByteArray>{"  16711680", "   8453888", "       255"}));
    EXPECT_EQ(lines[15], lines[0]) << "entries 15 ... 29 repeat the row colours";
    EXPECT_EQ(lines[44], "   8388608");

    RowColours written{};
    for (int i = 0; i < kRowColourEntries; ++i)
        written[static_cast<std::size_t>(i)] = (i * 0x050301) & 0xFFFFFF;
    written[44] = -1;  // entries are signed
    ASSERT_TRUE(WriteColourArrayFile(Path("mine.car"), written).ok);
    RowColours read = DefaultRowColours();
    EXPECT_TRUE(ReadColourArrayFile(Path("mine.car"), read).ok());
    EXPECT_EQ(read, written);

    // A directory in the file's place cannot be replaced.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("taken.car")));
    EXPECT_TRUE(WriteColourArrayFile(Path("taken.car"), written).message.contains("taken.car"));
}

TEST_F(ColourArrayFile, ReaderTakesWhatItCanAndTheStartupFileNamesAFile) {
    for (const QByteArray& content :
         {QByteArray("11 22\r\n\t33\n"), QByteArray("11\n22\n33\nblue\n44\n"),
          QByteArray("11\n22\n33\n99999999999\n"), QByteArray("11\n22\n33\n4\0004\n", 13),
          QByteArray("11\n22\n33\n+-4\n")}) {
        SCOPED_TRACE(content.constData());
        WriteBytes(Path("short.car"), content);
        RowColours colours = DefaultRowColours();
        const ColourArrayRead result = ReadColourArrayFile(Path("short.car"), colours);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.entriesRead, 3);
        EXPECT_TRUE(result.message.contains(QStringLiteral("3 of the 45")));
        EXPECT_TRUE(result.message.contains(Path("short.car")));
        EXPECT_EQ(colours[2], 33);
        EXPECT_EQ(colours[3], DefaultRowColours()[3]);
    }
    RowColours colours = DefaultRowColours();
    EXPECT_FALSE(ReadColourArrayFile(Path("missing.car"), colours).message.isEmpty());
    EXPECT_EQ(colours, DefaultRowColours());

    // The start-up file names a colour-array file in 260 zero-padded bytes.
    const QString pointer = Path("StartupPath.sup");
    const QString named = Path("ColorArray.car");
    ASSERT_TRUE(WriteStartupPointerFile(pointer, named).ok);
    const QByteArray path = QFile::encodeName(named);
    EXPECT_EQ(ReadBytes(pointer), path + QByteArray(260 - path.size(), '\0'));
    EXPECT_EQ(ReadStartupPointerFile(pointer), named);
    // A path that would not fit whole is refused; the old pointer file stays.
    EXPECT_FALSE(WriteStartupPointerFile(pointer, "/" + QString(300, 'a')).ok);
    EXPECT_EQ(ReadStartupPointerFile(pointer), named);

    for (const QByteArray& bytes :
         {QByteArray(), QByteArray("abc"), QByteArray(261, 'a'), QByteArray(260, 0)}) {
        WriteBytes(Path("bad.sup"), bytes);
        EXPECT_EQ(ReadStartupPointerFile(Path("bad.sup")), std::nullopt) << bytes.size();
    }
}

QByteArray Record(const QByteArray& text) {
    return text + QByteArray(kHistoryTextBytes - text.size(), '\0') + '\n';
}

TEST_F(AddressHistory, EnteredAddressesGoOnTopOnceCutToTwentyAndTenAreKept) {
    // What the interface panel does on commit of an address: update the list, rewrite the file.
    const QString file = Path(kHistoryFileName);
    std::vector<QString> entries;
    const auto enter = [&](const QString& text) {
        UpdateAddressHistory(entries, text);
        ASSERT_TRUE(SaveAddressHistory(file, entries).ok);
    };
    WriteBytes(file, QByteArray(500, 'x'));
    for (const char* text : {"a.example", "b.example", "c.example", "a.example", "a.example"})
        enter(text);
    EXPECT_EQ(entries, (std::vector<QString>{"a.example", "c.example", "b.example"}));
    EXPECT_EQ(ReadBytes(file), Record("a.example") + Record("c.example") + Record("b.example"));

    entries.clear();
    for (const QString& text :
         {QStringLiteral("sensor-hall-7.plant1.local"), QStringLiteral("sensor-hall-7.plant1"),
          QStringLiteral("s\u00F6nsor-\u00E9"), QString()})
        enter(text);
    EXPECT_EQ(entries.back(), "sensor-hall-7.plant1.local") << "the list keeps what was typed";
    EXPECT_EQ(ReadBytes(file), QByteArray(20, '\0') + '\n' + Record("s\xF6nsor-\xE9") +
                                   "sensor-hall-7.plant1\nsensor-hall-7.plant1\n");
    EXPECT_EQ(LoadAddressHistory(file),
              (std::vector<QString>{entries[1], "sensor-hall-7.plant1", "sensor-hall-7.plant1"}));

    entries.clear();
    for (int i = 0; i < 11; ++i) enter(QStringLiteral("10.0.0.%1").arg(i));
    enter("10.0.0.1");  // the oldest, entered again: all others stay
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries.back(), "10.0.0.2");
    EXPECT_EQ(ReadBytes(file).size(), 210);
    EXPECT_EQ(LoadAddressHistory(file), entries);
    entries.push_back("h10");  // eleven: ten are saved
    ASSERT_TRUE(SaveAddressHistory(file, entries).ok);
    EXPECT_EQ(LoadAddressHistory(file).back(), "10.0.0.2");
    ASSERT_TRUE(SaveAddressHistory(file, {}).ok);
    EXPECT_EQ(ReadBytes(file), QByteArray());
    const HistoryWriteResult failed = SaveAddressHistory(Path("no/folder/history"), entries);
    const QString head =
        "The IP address history could not be saved:\n" + Path("no/folder/history") + '\n';
    EXPECT_TRUE(failed.message.startsWith(head)) << failed.message.toStdString();
    EXPECT_GT(failed.message.size(), head.size()) << "the reason is missing";
    EXPECT_FALSE(failed.ok);
}

TEST_F(AddressHistory, LoadCountsWholeRecordsAndEndsTextsAtZeroOrLineFeed) {
    const QString file = Path(kHistoryFileName);
    EXPECT_TRUE(LoadAddressHistory(file).empty());
    EXPECT_TRUE(LoadAddressHistory(dir_.path()).empty()) << "a folder is no history file";
    QByteArray eleven;
    for (int i = 0; i < 11; ++i) eleven += Record("10.1.1." + QByteArray::number(i));
    for (auto [size, entries] : {std::pair{0, 0}, {20, 0}, {21, 1}, {41, 1}, {42, 2}, {231, 11}}) {
        SCOPED_TRACE(size);
        WriteBytes(file, eleven.left(size));
        const std::vector<QString> loaded = LoadAddressHistory(file);
        ASSERT_EQ(loaded.size(), static_cast<std::size_t>(entries));
        for (std::size_t i = 0; i < loaded.size(); ++i)
            EXPECT_EQ(loaded[i], QStringLiteral("10.1.1.%1").arg(i)) << "file order is kept";
    }
    WriteBytes(file, QByteArray("10.0.0.1\0garbage....\n", 21) + "10.0.0.2\nmore text..\n" +
                         QByteArray(20, '\0') + '\n' + '\n' + QByteArray(19, 'z') + '\n' +
                         "abcdefghijklmnopqrstX");
    EXPECT_EQ(LoadAddressHistory(file),
              (std::vector<QString>{"10.0.0.1", "10.0.0.2", "abcdefghijklmnopqrst"}));
}

TEST_F(RecordFile, HeaderThenOneLinePerRecordWithZeroFilledDateAndTime) {
    const QByteArray header(
        "DATE\t\0TIME\t\0RED\t\0GREEN\t\0BLUE\t\0X s\t\0Y i\t\0INT M\t\0TEMP\t\0\r\n", 55);
    const QDateTime time(QDate(1999, 12, 31), QTime(23, 9, 4));
    const QByteArray line =
        QByteArray("12-31-1999\0\0\t23:09:04\0\0\0\0\t", 26) + "4095\t0\t65535\t1\t22\t333\t25\r\n";
    EXPECT_EQ(RecordLine(time, {4095, 0, 65535, 1, 22, 333, 25}), line);
    EXPECT_EQ(RecordValueRow({1, 2, 3, 4, 5, 6, 7}), "1\t2\t3\t4\t5\t6\t7\r\n");

    const QString path = Path("record.dat");
    WriteBytes(path, "old content that must go\r\n");
    ASSERT_TRUE(WriteFileHeader(path));
    ASSERT_TRUE(ToFile(path, time, {4095, 0, 65535, 1, 22, 333, 25}));
    ASSERT_TRUE(ToFile(path, time, {4095, 0, 65535, 1, 22, 333, 25}));
    EXPECT_EQ(ReadBytes(path), header + line + line);
    for (const QString& bad : {QString(), Path("missing/record.dat")}) {
        EXPECT_FALSE(WriteFileHeader(bad));
        EXPECT_FALSE(ToFile(bad, time, {}));
        EXPECT_FALSE(QFile::exists(bad));
    }
    EXPECT_FALSE(ToFile(dir_.path(), time, {})) << "a folder in the file's place";
}

}  // namespace
}  // namespace tvx
