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

bool CsvSink::Frame(const QString& name, const StampedFrame& frame, QString& error) {
    auto& file = files_[name];
    if (!file) {
        const QString path = QDir(folder_).filePath(SafeFileName(name) + QStringLiteral(".csv"));
        const bool fresh = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
        file = std::make_unique<QFile>(path);
        // Every line goes to the file in one write as it comes: no buffer to copy it through.
        if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            error = QStringLiteral("%1: %2: %3").arg(name, path, file->errorString());
            file.reset();
            return false;
        }
        if (fresh) file->write((CsvHeader(frame.siMode) + QStringLiteral("\r\n")).toUtf8());
    }
    const QByteArray line = (CsvLine(frame) + QStringLiteral("\r\n")).toUtf8();
    if (file->write(line) != line.size() || !file->flush()) {
        error = QStringLiteral("%1: %2: %3").arg(name, file->fileName(), file->errorString());
        return false;
    }
    return true;
}

void CsvSink::Close() {
    for (auto& [name, file] : files_)
        if (file) file->close();
    files_.clear();
}

}  // namespace tvx::cli
