#include "address_history.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace tvx {
namespace {

// The text of one record: up to the first zero byte or line feed, at most 20 bytes.
QString RecordText(const QByteArray& record) {
    const QByteArray field = record.left(kHistoryTextBytes);
    qsizetype end = 0;
    while (end < field.size() && field[end] != '\0' && field[end] != '\n') ++end;
    return QString::fromLatin1(field.left(end));
}

QByteArray Record(const QString& text) {
    QByteArray record = text.toLatin1().left(kHistoryTextBytes);
    record.append(kHistoryTextBytes - record.size(), '\0');
    record.append('\n');
    return record;
}

QString SaveFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The IP address history could not be saved:\n%1\n%2").arg(path, reason);
}

}  // namespace

std::vector<QString> LoadAddressHistory(const QString& path) {
    std::vector<QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return entries;
    const qint64 records = file.size() / kHistoryRecordBytes;
    for (qint64 i = 0; i < records; ++i) {
        const QByteArray record = file.read(kHistoryRecordBytes);
        if (record.size() != kHistoryRecordBytes) break;  // shrunk or unreadable meanwhile
        QString text = RecordText(record);
        if (!text.isEmpty()) entries.push_back(std::move(text));
    }
    return entries;
}

void UpdateAddressHistory(std::vector<QString>& entries, const QString& text) {
    // All equal entries go: a hand-edited file may hold one twice.
    std::erase(entries, text);
    entries.insert(entries.begin(), text);
    if (entries.size() > static_cast<std::size_t>(kHistoryMaxEntries))
        entries.resize(kHistoryMaxEntries);
}

HistoryWriteResult SaveAddressHistory(const QString& path, const std::vector<QString>& entries) {
    QByteArray content;
    const std::size_t count =
        std::min(entries.size(), static_cast<std::size_t>(kHistoryMaxEntries));
    for (std::size_t i = 0; i < count; ++i) content += Record(entries[i]);

    // Unbuffered, as the parameter file: a write that does not fit fails here and not inside
    // commit(), which would put the short file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, SaveFailure(path, file.errorString())};
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, SaveFailure(path, reason)};
    }
    if (!file.commit()) return {false, SaveFailure(path, file.errorString())};
    return {};
}

}  // namespace tvx
