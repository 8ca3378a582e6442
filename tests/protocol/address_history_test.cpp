#include "address_history.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "file_test_util.h"

namespace tvx {
namespace {

using testing::ReadBytes;
using testing::ReadOnlyDirectory;
using testing::WriteBytes;

// One record as it lies in the file.
QByteArray Record(const QByteArray& text) {
    return text + QByteArray(kHistoryTextBytes - text.size(), '\0') + '\n';
}

std::vector<QString> List(std::initializer_list<const char*> texts) {
    std::vector<QString> list;
    for (const char* text : texts) list.push_back(QString::fromLatin1(text));
    return list;
}

class AddressHistoryTest : public ::testing::Test {
  protected:
    // What the interface panel does on commit of an address: update the list, rewrite the file.
    void Enter(const QString& text) {
        UpdateAddressHistory(entries_, text);
        const HistoryWriteResult result = SaveAddressHistory(path_, entries_);
        ASSERT_TRUE(result.ok) << result.message.toStdString();
    }

    QTemporaryDir dir_;
    QString path_ = dir_.filePath(QString::fromLatin1(kHistoryFileName));
    std::vector<QString> entries_;
};

using EnteringAddresses = AddressHistoryTest;

TEST_F(EnteringAddresses, WritesNewestFirstAsZeroPaddedRecords) {
    Enter("192.168.0.10");
    Enter("10.0.0.1");
    EXPECT_EQ(entries_, List({"10.0.0.1", "192.168.0.10"}));
    EXPECT_EQ(ReadBytes(path_), Record("10.0.0.1") + Record("192.168.0.10"));
    EXPECT_EQ(ReadBytes(path_).size(), 2 * kHistoryRecordBytes);
}

TEST_F(EnteringAddresses, EleventhDistinctAddressDropsTheOldest) {
    for (int i = 1; i <= 11; ++i) Enter(QStringLiteral("10.0.0.%1").arg(i));
    ASSERT_EQ(entries_.size(), 10u);
    EXPECT_EQ(entries_.front(), "10.0.0.11");
    EXPECT_EQ(entries_.back(), "10.0.0.2");

    const QByteArray file = ReadBytes(path_);
    EXPECT_EQ(file.size(), 210);
    EXPECT_EQ(file.left(kHistoryRecordBytes), Record("10.0.0.11"));
    EXPECT_EQ(file.right(kHistoryRecordBytes), Record("10.0.0.2"));
    EXPECT_EQ(LoadAddressHistory(path_), entries_);
}

TEST_F(EnteringAddresses, KnownAddressMovesToTheTopWithoutDuplicate) {
    Enter("a.example");
    Enter("b.example");
    Enter("c.example");
    Enter("a.example");
    EXPECT_EQ(entries_, List({"a.example", "c.example", "b.example"}));
    EXPECT_EQ(ReadBytes(path_), Record("a.example") + Record("c.example") + Record("b.example"));

    Enter("a.example");  // already on top: nothing moves
    EXPECT_EQ(entries_, List({"a.example", "c.example", "b.example"}));
}

TEST_F(EnteringAddresses, KnownAddressInAFullListKeepsAllTenOthers) {
    for (int i = 0; i < 10; ++i) Enter(QStringLiteral("host%1").arg(i));
    Enter("host0");  // the oldest, entered again
    ASSERT_EQ(entries_.size(), 10u);
    EXPECT_EQ(entries_.front(), "host0");
    EXPECT_EQ(entries_.back(), "host1");
    EXPECT_EQ(ReadBytes(path_).size(), 210);
}

TEST_F(EnteringAddresses, EmptyAddressIsStoredAsZeroRecordAndSkippedAtTheNextStart) {
    Enter("10.0.0.1");
    Enter("");
    EXPECT_EQ(entries_, List({"", "10.0.0.1"}));
    EXPECT_EQ(ReadBytes(path_), QByteArray(20, '\0') + '\n' + Record("10.0.0.1"));
    EXPECT_EQ(LoadAddressHistory(path_), List({"10.0.0.1"}));
}

TEST_F(EnteringAddresses, TwentyCharacterAddressFillsItsFieldAndRoundTrips) {
    const QString twenty = QStringLiteral("sensor-hall-7.plant1");
    ASSERT_EQ(twenty.size(), kHistoryTextBytes);
    Enter(twenty);
    Enter("10.0.0.1");
    const QByteArray file = ReadBytes(path_);
    EXPECT_EQ(file.mid(kHistoryRecordBytes), twenty.toLatin1() + '\n');
    EXPECT_EQ(LoadAddressHistory(path_), List({"10.0.0.1", "sensor-hall-7.plant1"}));
}

TEST_F(EnteringAddresses, LongerAddressIsStoredCutToTwentyCharacters) {
    const QString longer = QStringLiteral("sensor-hall-7.plant1.local");
    Enter(longer);
    EXPECT_EQ(entries_.front(), longer) << "the list keeps what was typed";
    EXPECT_EQ(ReadBytes(path_), QByteArray("sensor-hall-7.plant1\n"));
    EXPECT_EQ(LoadAddressHistory(path_), List({"sensor-hall-7.plant1"}));
}

TEST_F(EnteringAddresses, Latin1TextRoundTrips) {
    Enter(QStringLiteral("s\u00F6nsor-\u00E9"));
    EXPECT_EQ(ReadBytes(path_), Record("s\xF6nsor-\xE9"));
    EXPECT_EQ(LoadAddressHistory(path_),
              std::vector<QString>{QStringLiteral("s\u00F6nsor-\u00E9")});
}

TEST_F(EnteringAddresses, FileIsRewrittenNotAppendedTo) {
    ASSERT_TRUE(WriteBytes(path_, QByteArray(500, 'x')));
    Enter("10.0.0.1");
    EXPECT_EQ(ReadBytes(path_), Record("10.0.0.1"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files),
              QStringList{QString::fromLatin1(kHistoryFileName)});
}

using LoadingTheHistory = AddressHistoryTest;

TEST_F(LoadingTheHistory, MissingOrEmptyFileGivesAnEmptyList) {
    EXPECT_TRUE(LoadAddressHistory(path_).empty());
    ASSERT_TRUE(WriteBytes(path_, ""));
    EXPECT_TRUE(LoadAddressHistory(path_).empty());
    EXPECT_TRUE(LoadAddressHistory(dir_.path()).empty()) << "a folder is no history file";
}

TEST_F(LoadingTheHistory, CountsWholeRecordsOnly) {
    QByteArray eleven;
    for (int i = 0; i < 11; ++i) eleven += Record(QByteArray("10.1.1.") + QByteArray::number(i));
    const struct {
        int size;
        std::size_t entries;
    } cases[] = {{20, 0}, {21, 1}, {22, 1}, {41, 1}, {42, 2}, {50, 2}, {230, 10}, {231, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_TRUE(WriteBytes(path_, eleven.left(c.size)));
        const std::vector<QString> loaded = LoadAddressHistory(path_);
        ASSERT_EQ(loaded.size(), c.entries);
        for (std::size_t i = 0; i < loaded.size(); ++i)
            EXPECT_EQ(loaded[i], QStringLiteral("10.1.1.%1").arg(i)) << "file order is kept";
    }
}

TEST_F(LoadingTheHistory, TextEndsAtTheFirstZeroByteOrLineFeed) {
    const QByteArray records[] = {
        QByteArray("10.0.0.1") + '\0' + "garbage....\n",  // bytes after the zero are not text
        QByteArray("10.0.0.2\n") + "more text..\n",       // a line feed ends the text too
        QByteArray(20, '\0') + '\n',                      // empty: skipped
        QByteArray("\n") + QByteArray(19, 'z') + '\n',    // empty: skipped
        QByteArray("abcdefghijklmnopqrstuvwxyz").left(20) + 'X',  // byte 20 is never text
    };
    QByteArray file;
    for (const QByteArray& record : records) {
        ASSERT_EQ(record.size(), kHistoryRecordBytes) << record.toStdString();
        file += record;
    }
    ASSERT_TRUE(WriteBytes(path_, file));
    EXPECT_EQ(LoadAddressHistory(path_), List({"10.0.0.1", "10.0.0.2", "abcdefghijklmnopqrst"}));
}

using SavingTheHistory = AddressHistoryTest;

TEST_F(SavingTheHistory, WritesAtMostTenRecords) {
    std::vector<QString> twelve;
    for (int i = 0; i < 12; ++i) twelve.push_back(QStringLiteral("h%1").arg(i));
    ASSERT_TRUE(SaveAddressHistory(path_, twelve).ok);
    EXPECT_EQ(ReadBytes(path_).size(), 210);
    EXPECT_EQ(LoadAddressHistory(path_).back(), "h9");
}

TEST_F(SavingTheHistory, EmptyListLeavesAnEmptyFile) {
    ASSERT_TRUE(WriteBytes(path_, Record("10.0.0.1")));
    ASSERT_TRUE(SaveAddressHistory(path_, {}).ok);
    EXPECT_TRUE(QFile::exists(path_));
    EXPECT_EQ(ReadBytes(path_), QByteArray());
}

TEST_F(SavingTheHistory, ReadOnlyDirectoryFailsWithMessageAndKeepsTheOldFile) {
    ReadOnlyDirectory locked(dir_.path());
    const QString path = locked.FilePath(QString::fromLatin1(kHistoryFileName));
    ASSERT_TRUE(WriteBytes(path, Record("10.0.0.1")));

    if (!locked.Lock()) GTEST_SKIP() << "cannot make a directory read-only for this process";
    const HistoryWriteResult result = SaveAddressHistory(path, List({"10.0.0.2", "10.0.0.1"}));
    locked.Unlock();

    EXPECT_FALSE(result.ok);
    const QString head =
        QStringLiteral("The IP address history could not be saved:\n") + path + '\n';
    EXPECT_TRUE(result.message.startsWith(head)) << result.message.toStdString();
    EXPECT_GT(result.message.size(), head.size()) << "the reason is missing";
    EXPECT_EQ(ReadBytes(path), Record("10.0.0.1"));
    EXPECT_EQ(LoadAddressHistory(path), List({"10.0.0.1"}));
}

}  // namespace
}  // namespace tvx
