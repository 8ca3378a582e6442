#pragma once

#include <QString>
#include <vector>

namespace tvx {

// The IP address history file: one 21-byte record per address, newest first, no header. A
// record is the address text zero-padded to 20 bytes (a 20-character text has no terminator)
// followed by a line feed. Every program keeps its own copy in its own directory.
inline constexpr int kHistoryRecordBytes = 21;
inline constexpr int kHistoryTextBytes = 20;
inline constexpr int kHistoryMaxEntries = 10;
inline constexpr char kHistoryFileName[] = "IPComboBoxTvx3v61.ipa";

struct HistoryWriteResult {
    bool ok = true;
    QString message;  // for the user when ok is false: names the file and the reason
};

// The addresses of the history file in file order, empty texts left out. A missing, unreadable
// or empty file gives an empty list; a trailing partial record is ignored. Texts are Latin-1.
std::vector<QString> LoadAddressHistory(const QString& path);

// Puts `text` at the top of the list, removing an equal entry further down, and keeps at most
// the newest ten entries.
void UpdateAddressHistory(std::vector<QString>& entries, const QString& text);

// Replaces the history file by one record per entry in list order (the first ten at most), each
// text cut to 20 bytes. The old file stays as it was unless the new one is complete.
HistoryWriteResult SaveAddressHistory(const QString& path, const std::vector<QString>& entries);

}  // namespace tvx
