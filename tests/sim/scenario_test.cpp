// The scenario file: measured targets over time.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "scenario.h"

namespace tvx::sim {
namespace {

TEST(ScenarioTest, EachEntryHoldsUntilTheNextOne) {
    QString error;
    const auto s = Scenario::Parse(QStringLiteral("# white, then red\n"
                                                  "  100  3000 3000 3000   # at 100 ms\n"
                                                  "\n"
                                                  "500 4000 10 10 41.5\n"),
                                   &error);
    ASSERT_TRUE(s) << error.toStdString();
    EXPECT_EQ(s->clock(), Scenario::Clock::Milliseconds);
    ASSERT_EQ(s->entries().size(), 2u);
    EXPECT_EQ(s->SampleAt(0, 0), (Sample{3000, 3000, 3000, 25})) << "before the first: the first";
    EXPECT_EQ(s->SampleAt(499, 0), (Sample{3000, 3000, 3000, 25}));
    EXPECT_EQ(s->SampleAt(500, 0), (Sample{4000, 10, 10, 41.5}));
    EXPECT_EQ(s->SampleAt(1000000, 0), (Sample{4000, 10, 10, 41.5}));
}

TEST(ScenarioTest, FrameClockAndLoop) {
    QString error;
    const auto s =
        Scenario::Parse(QStringLiteral("clock frames\n0 1 1 1\n2 2 2 2\nloop 3\n"), &error);
    ASSERT_TRUE(s) << error.toStdString();
    EXPECT_EQ(s->clock(), Scenario::Clock::Frames);
    EXPECT_EQ(s->loopPeriod(), 3);
    const double expected[] = {1, 1, 2, 1, 1, 2, 1};
    for (int frame = 0; frame < 7; ++frame) {
        EXPECT_EQ(s->SampleAt(99999, frame).r, expected[frame]) << "frame " << frame;
    }
}

TEST(ScenarioTest, BadTextIsRejectedWithTheLineNumber) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no entries"},
        {"# only a comment\n", "no entries"},
        {"0 1 2\n", "line 1: expected \"T R G B [TEMP]\""},
        {"0 1 2 3\n\n-5 1 2 3\n", "line 3: bad time \"-5\""},
        {"10 1 2 3\n5 1 2 3\n", "line 2: times must not decrease"},
        {"0 1 2 4096\n", "line 1: R, G and B must be numbers 0..4095"},
        {"0 1 x 3\n", "line 1: R, G and B must be numbers 0..4095"},
        {"0 1 2 3 hot\n", "line 1: TEMP must be a number -40..150"},
        {"0 1 2 3\nclock frames\n", "line 2: \"clock\" must come first"},
        {"clock hours\n0 1 2 3\n", "line 1: unknown clock \"hours\""},
        {"0 1 2 3\n10 1 2 3\nloop 10\n", "line 3: loop period must exceed the last time"},
        {"0 1 2 3\nloop 10\n20 1 1 1\n", "line 3: nothing may follow \"loop\""},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(Scenario::Parse(QString::fromLatin1(c.text), &error)) << c.text;
        EXPECT_EQ(error.toStdString(), c.error) << c.text;
    }
}

TEST(ScenarioTest, LoadNamesTheFileInItsErrors) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.txt"));
    QString error;
    EXPECT_FALSE(Scenario::Load(path, &error));
    EXPECT_TRUE(error.startsWith(path)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("0 1 2 3\nnonsense\n");
    file.close();
    EXPECT_FALSE(Scenario::Load(path, &error));
    EXPECT_EQ(error, path + QStringLiteral(": line 2: expected \"T R G B [TEMP]\""));
}

}  // namespace
}  // namespace tvx::sim
