#pragma once

#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace tvx::testing {

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// A directory whose permissions forbid creating files in it. Permission bits do not bind root,
// so a test running as root drops its effective user id to "nobody" while the object lives
// (the saved id brings it back). usable() is false where neither works.
class ReadOnlyDirectory {
  public:
    // `parent` must be searchable by everyone (it is made so).
    explicit ReadOnlyDirectory(const QString& parent) : path_(parent + QStringLiteral("/locked")) {
        QFile::setPermissions(parent, kOpen);
        QDir().mkpath(path_);
    }
    ~ReadOnlyDirectory() {
        Unlock();
        QFile::setPermissions(path_, kOpen);
    }
    ReadOnlyDirectory(const ReadOnlyDirectory&) = delete;
    ReadOnlyDirectory& operator=(const ReadOnlyDirectory&) = delete;

    QString path() const { return path_; }
    QString FilePath(const QString& name) const { return path_ + QLatin1Char('/') + name; }

    // Makes the directory read-only for this process; returns false where that cannot be done.
    bool Lock() {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                         QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (geteuid() == 0) droppedRoot_ = seteuid(kNobody) == 0;
        return geteuid() != 0;
    }
    void Unlock() {
        if (droppedRoot_ && seteuid(0) == 0) droppedRoot_ = false;
        QFile::setPermissions(path_, kOpen);
    }

  private:
    static constexpr uid_t kNobody = 65534;
    static constexpr QFile::Permissions kOpen =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QString path_;
    bool droppedRoot_ = false;
};

}  // namespace tvx::testing
