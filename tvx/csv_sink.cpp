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

bool CsvSink::Open(const QString& folder, const std::vector<SensorAddress>& sensors,
                   QString& error) {
    folder_ = folder;
    sensors_ = sensors;
    files_.clear();
    files_.resize(sensors.size());
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

bool CsvSink::Write(std::size_t sensor, const StampedFrame& frame, QString& error) {
    auto& file = files_.at(sensor);
    if (!file) {
        // Made with the first frame, when the value names (X/Y or s/i) are known.
        const QString path =
            QDir(folder_).filePath(SafeFileName(sensors_[sensor].name) + QStringLiteral(".csv"));
        const bool fresh = !QFileInfo::exists(path) || QFileInfo(path).size() == 0;
        file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Append)) {
            error = QStringLiteral("%1: %2").arg(path, file->errorString());
            file.reset();
            return false;
        }
        if (fresh) file->write((CsvHeader(frame.siMode) + QStringLiteral("\r\n")).toUtf8());
    }
    const QByteArray line = (CsvLine(frame) + QStringLiteral("\r\n")).toUtf8();
    if (file->write(line) != line.size() || !file->flush()) {
        error = QStringLiteral("%1: %2").arg(file->fileName(), file->errorString());
        return false;
    }
    return true;
}

void CsvSink::Close() {
    for (auto& file : files_)
        if (file) file->close();
    files_.clear();
}

}  // namespace tvx::cli
