#include "csv_sink.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace tvx::cli {

QString DefaultRecordFolder() {
    return QStringLiteral("tvx-record-") +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool CsvSink::Open(const QString& folder, QString& error) {
    folder_ = folder;
    files_.clear();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("folder \"%1\" cannot be made").arg(folder);
        return false;
    }
    // Writable is what counts, whatever the permission bits say (root, read-only mounts).
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tvx-XXXXXX")));
    if (!probe.open()) {
        error = QStringLiteral("folder \"%1\" cannot be written").arg(folder);
        return false;
    }
    return true;
}

bool CsvSink::AddSensor(const NamedSensor& sensor, QString&) {
    files_[sensor.name];
    return true;
}

void CsvSink::RemoveSensor(const QString& name) {
    files_.erase(name);
}

namespace {

// The file's first line without its end; empty for a file that is absent or empty.
QString FirstLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray start = file.read(1024);
    return QString::fromUtf8(start.left(start.indexOf('\n'))).remove(QLatin1Char('\r'));
}

}  // namespace

bool CsvSink::OpenFor(const QString& name, bool siMode, File& open, QString& error) {
    constexpr int kMostFiles = 99;
    const QString header = CsvHeader(siMode);
    const QDir folder(folder_);
    QString path;
    int n = 1;
    for (;; ++n) {
        path = folder.filePath(SafeFileName(name) +
                               (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) +
                               QStringLiteral(".csv"));
        const QString first = FirstLine(path);
        if (first.isEmpty() || first == header) break;
        if (n == kMostFiles) {
            error = QStringLiteral("%1: %2 and the %3 files before it hold other columns")
                        .arg(name, path)
                        .arg(kMostFiles - 1);
            return false;
        }
    }
    const QString before = open.file ? open.file->fileName()
                                     : folder.filePath(SafeFileName(name) + QStringLiteral(".csv"));
    if (path != before)
        reporter_.Say(QStringLiteral("%1: %2 has the columns of %3; recording to %4")
                          .arg(name, before,
                               open.file ? QStringLiteral("the other calculation mode")
                                         : QStringLiteral("another calculation mode or version"),
                               path));
    const bool fresh = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
    auto file = std::make_unique<QFile>(path);
    // Every line goes to the file in one write as it comes: no buffer to copy it through.
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = QStringLiteral("%1: %2: %3").arg(name, path, file->errorString());
        return false;
    }
    if (fresh) file->write((header + QStringLiteral("\r\n")).toUtf8());
    open = {std::move(file), siMode};
    return true;
}

bool CsvSink::Frame(const QString& name, const StampedFrame& frame, QString& error) {
    File& open = files_[name];
    if ((!open.file || open.siMode != frame.siMode) && !OpenFor(name, frame.siMode, open, error))
        return false;
    const QByteArray line = (CsvLine(frame) + QStringLiteral("\r\n")).toUtf8();
    if (open.file->write(line) != line.size() || !open.file->flush()) {
        error =
            QStringLiteral("%1: %2: %3").arg(name, open.file->fileName(), open.file->errorString());
        return false;
    }
    return true;
}

void CsvSink::Close() {
    for (auto& [name, open] : files_)
        if (open.file) open.file->close();
    files_.clear();
}

}  // namespace tvx::cli
