// Every seed and every input a fuzzer run once found faulty, replayed through its reader: the
// suite checks them without libFuzzer.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "fuzz_targets.h"

namespace tvx::fuzz {
namespace {

TEST(FuzzCorpus, EveryKeptInputPassesItsReader) {
    const QDir corpusRoot(QStringLiteral(TVX_FUZZ_CORPUS_DIR));
    for (const FuzzTarget& target : AllTargets()) {
        const QString name =
            QString::fromLatin1(target.name.data(), static_cast<qsizetype>(target.name.size()));
        const QDir corpus(corpusRoot.filePath(name));
        const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
        EXPECT_FALSE(files.isEmpty()) << "no seeds for " << name.toStdString();
        for (const QString& file : files) {
            SCOPED_TRACE((name + QLatin1Char('/') + file).toStdString());
            QFile input(corpus.filePath(file));
            ASSERT_TRUE(input.open(QIODevice::ReadOnly));
            const QByteArray bytes = input.readAll();
            target.run(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()));
        }
    }
}

}  // namespace
}  // namespace tvx::fuzz
