#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

// Every test starts with empty per-user folders of its own: no test reads or writes the real
// user's settings, and nothing one test remembers reaches another. Programs the tests start as
// processes inherit the same folders.
class FreshUserFolders : public ::testing::EmptyTestEventListener {
  public:
    explicit FreshUserFolders(QString base) : base_(std::move(base)) {}
    void OnTestStart(const ::testing::TestInfo&) override {
        for (const char* name : {"config", "data", "state"}) {
            QDir dir(QDir(base_).filePath(QLatin1String(name)));
            dir.removeRecursively();
            dir.mkpath(QStringLiteral("."));
        }
    }

  private:
    QString base_;
};

}  // namespace

int main(int argc, char** argv) {
    // Test discovery runs the binary at build time, outside CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Set before any Qt class looks the folders up: they are taken once.
    QTemporaryDir folders;
    qputenv("XDG_CONFIG_HOME", QDir(folders.path()).filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", QDir(folders.path()).filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_STATE_HOME", QDir(folders.path()).filePath(QStringLiteral("state")).toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshUserFolders(folders.path()));
    return RUN_ALL_TESTS();
}
