#include "frame_spool.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <numeric>

namespace tvx::cli {

namespace {

bool Damage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

QByteArray Utf8(const QString& text) {
    return text.toUtf8();
}

void BindText(sqlite3_stmt* statement, int index, const QByteArray& text) {
    sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

QString ColumnText(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS frames(id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " sensor TEXT NOT NULL, payload BLOB NOT NULL);"
    // Frames go out in the order of their ids, whatever their sensor: no index by sensor.
    "DROP INDEX IF EXISTS frames_by_sensor;"
    "CREATE TABLE IF NOT EXISTS sensors(name TEXT PRIMARY KEY, last_seq INTEGER NOT NULL,"
    " dropped INTEGER NOT NULL);";

}  // namespace

FrameSpool::~FrameSpool() {
    Close();
}

bool FrameSpool::Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool FrameSpool::Prepare(sqlite3_stmt*& statement, const char* sql) {
    return sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) ==
           SQLITE_OK;
}

void FrameSpool::Finalize() {
    for (sqlite3_stmt** statement : {&insert_, &remove_, &saveSensor_, &after_, &oldest_}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
}

QString FrameSpool::LastError() const {
    return QStringLiteral("spool \"%1\": %2").arg(path_, QString::fromUtf8(sqlite3_errmsg(db_)));
}

void FrameSpool::Close() {
    if (db_ == nullptr) return;
    Finalize();
    sqlite3_close(db_);
    db_ = nullptr;
}

bool FrameSpool::OpenFile(QString& error, bool& damaged) {
    damaged = false;
    sensors_.clear();
    bytes_ = 0;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(Utf8(path_).constData(), &db_, flags, nullptr);
    // One recorder per spool: the exclusive lock keeps a second one from sending the same frames.
    // synchronous=NORMAL: in WAL mode a power cut may lose the last commits, a killed process
    // none, and no commit waits for the disk.
    if (rc == SQLITE_OK &&
        !Exec("PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"))
        rc = sqlite3_extended_errcode(db_);
    if (rc == SQLITE_OK && !Exec(kSchema)) rc = sqlite3_extended_errcode(db_);
    if (rc == SQLITE_OK) {
        sqlite3_stmt* read = nullptr;
        if (!Prepare(read, "SELECT name, last_seq, dropped FROM sensors")) {
            rc = sqlite3_extended_errcode(db_);
        } else {
            while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
                SensorState& state = sensors_[ColumnText(read, 0)];
                state.lastSeq = sqlite3_column_int64(read, 1);
                state.dropped = sqlite3_column_int64(read, 2);
            }
            sqlite3_finalize(read);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
    }
    if (rc == SQLITE_OK) {
        sqlite3_stmt* count = nullptr;
        if (!Prepare(count,
                     "SELECT sensor, count(*), sum(length(payload)) FROM frames GROUP BY sensor")) {
            rc = sqlite3_extended_errcode(db_);
        } else {
            while ((rc = sqlite3_step(count)) == SQLITE_ROW) {
                sensors_[ColumnText(count, 0)].frames = sqlite3_column_int64(count, 1);
                bytes_ += sqlite3_column_int64(count, 2);
            }
            sqlite3_finalize(count);
            rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        }
    }
    if (rc == SQLITE_OK) {
        // Past every id ever given, sent frames included: the order of sending never turns.
        sqlite3_stmt* last = nullptr;
        if (!Prepare(last,
                     "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'frames'),"
                     " 0), coalesce((SELECT max(id) FROM frames), 0))")) {
            rc = sqlite3_extended_errcode(db_);
        } else {
            rc = sqlite3_step(last) == SQLITE_ROW ? SQLITE_OK : sqlite3_extended_errcode(db_);
            nextId_ = sqlite3_column_int64(last, 0) + 1;
            recent_.clear();
            recentFrom_ = nextId_ - 1;  // every frame in the file is read from it
            sqlite3_finalize(last);
        }
    }
    if (rc == SQLITE_OK &&
        !(Prepare(insert_, "INSERT INTO frames(id, sensor, payload) VALUES(?, ?, ?)") &&
          Prepare(remove_, "DELETE FROM frames WHERE id = ?") &&
          Prepare(saveSensor_,
                  "INSERT INTO sensors(name, last_seq, dropped) VALUES(?, ?, ?) ON CONFLICT(name)"
                  " DO UPDATE SET last_seq = excluded.last_seq, dropped = excluded.dropped") &&
          Prepare(after_,
                  "SELECT id, sensor, payload FROM frames WHERE id > ? ORDER BY id LIMIT ?") &&
          Prepare(oldest_, "SELECT id, sensor, length(payload) FROM frames ORDER BY id LIMIT 500")))
        rc = sqlite3_extended_errcode(db_);
    if (rc == SQLITE_OK) return true;
    damaged = Damage(rc);
    if ((rc & 0xff) == SQLITE_BUSY)
        error = QStringLiteral("spool \"%1\" is in use by another recorder").arg(path_);
    else
        error =
            QStringLiteral("spool \"%1\": %2").arg(path_, QString::fromUtf8(sqlite3_errstr(rc)));
    Close();
    return false;
}

bool FrameSpool::Open(const QString& path, long long maxBytes, QString& error, QString& notice) {
    path_ = path;
    maxBytes_ = maxBytes;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("spool folder \"%1\" cannot be made").arg(folder);
        return false;
    }
    bool damaged = false;
    if (OpenFile(error, damaged)) return true;
    if (!damaged) return false;
    // Nothing kept is destroyed: the damaged file (with its write-ahead log) goes aside whole.
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const QString from = path + QLatin1String(suffix);
        if (QFile::exists(from) && !QFile::rename(from, aside + QLatin1String(suffix))) {
            error = QStringLiteral("spool \"%1\" is damaged and cannot be moved aside").arg(path);
            return false;
        }
    }
    notice = QStringLiteral("spool \"%1\" was damaged: moved aside as \"%2\", starting a fresh one")
                 .arg(path, aside);
    return OpenFile(error, damaged);
}

long long FrameSpool::NextSeq(const QString& sensor) {
    SensorState& state = sensors_[sensor];
    state.seqDirty = true;
    return ++state.lastSeq;
}

void FrameSpool::Append(const QString& sensor, const QByteArray& payload) {
    ++sensors_[sensor].frames;
    bytes_ += payload.size();
    pending_.push_back({nextId_++, sensor, payload});
}

void FrameSpool::Acknowledge(const QString& sensor, long long id, long long bytes) {
    // Only a frame sent while the file could not be written is acknowledged before it is.
    const auto it = std::lower_bound(pending_.begin(), pending_.end(), id,
                                     [](const Pending& p, long long v) { return p.id < v; });
    if (it != pending_.end() && it->id == id) {
        pending_.erase(it);
        --sensors_[sensor].frames;
        bytes_ -= bytes;
        return;
    }
    acknowledged_.push_back({sensor, id, bytes});
}

bool FrameSpool::WriteGathered(bool withFrames) {
    for (const Pending& frame : pending_) {
        if (!withFrames) break;
        sqlite3_bind_int64(insert_, 1, frame.id);
        BindText(insert_, 2, Utf8(frame.sensor));
        sqlite3_bind_blob(insert_, 3, frame.payload.constData(),
                          static_cast<int>(frame.payload.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(insert_);
        sqlite3_reset(insert_);
        if (rc != SQLITE_DONE) return false;
    }
    for (Acknowledged& frame : acknowledged_) {
        sqlite3_bind_int64(remove_, 1, frame.id);
        const int rc = sqlite3_step(remove_);
        sqlite3_reset(remove_);
        if (rc != SQLITE_DONE) return false;
        // A frame dropped for the bound while the broker had it was counted then.
        frame.removed = sqlite3_changes(db_) == 1;
    }
    for (auto& [name, state] : sensors_) {
        if (!state.seqDirty) continue;
        BindText(saveSensor_, 1, Utf8(name));
        sqlite3_bind_int64(saveSensor_, 2, state.lastSeq);
        sqlite3_bind_int64(saveSensor_, 3, state.dropped);
        const int rc = sqlite3_step(saveSensor_);
        sqlite3_reset(saveSensor_);
        if (rc != SQLITE_DONE) return false;
    }
    return true;
}

bool FrameSpool::DropBeyondBound(DroppedFigures& dropped) {
    long long bytes = bytes_;
    for (const Acknowledged& frame : acknowledged_)
        if (frame.removed) bytes -= frame.bytes;
    while (bytes > maxBytes_) {
        long long lastId = -1;
        int rc;
        while (bytes > maxBytes_ && (rc = sqlite3_step(oldest_)) == SQLITE_ROW) {
            lastId = sqlite3_column_int64(oldest_, 0);
            const long long size = sqlite3_column_int64(oldest_, 2);
            auto& [frames, freed] = dropped[ColumnText(oldest_, 1)];
            ++frames;
            freed += size;
            bytes -= size;
        }
        sqlite3_reset(oldest_);
        if (lastId < 0) return true;
        ForgetRecentUpTo(lastId);
        const QByteArray sql = "DELETE FROM frames WHERE id <= " + QByteArray::number(lastId);
        if (!Exec(sql.constData())) return false;
    }
    return true;
}

void FrameSpool::CountDropped(const QString& sensor, long long frames, long long bytes) {
    SensorState& state = sensors_[sensor];
    if (!state.dropReported) newlyDropping_.push_back(sensor);
    state.dropReported = true;
    state.dropped += frames;
    state.frames -= frames;
    state.seqDirty = true;  // the dropped count goes with it
    bytes_ -= bytes;
}

bool FrameSpool::Transaction(bool withFrames, DroppedFigures& dropped) {
    dropped.clear();
    const bool ok = Exec("BEGIN IMMEDIATE") && WriteGathered(withFrames) &&
                    (!withFrames || DropBeyondBound(dropped)) && Exec("COMMIT");
    if (!ok) {
        failure_ = LastError();
        Exec("ROLLBACK");
    }
    return ok;
}

void FrameSpool::Settle(bool withFrames, const DroppedFigures& dropped) {
    for (const Acknowledged& frame : acknowledged_) {
        if (!frame.removed) continue;
        --sensors_[frame.sensor].frames;
        bytes_ -= frame.bytes;
    }
    acknowledged_.clear();
    for (auto& entry : sensors_) entry.second.seqDirty = false;
    numberedUpTo_ = nextId_ - 1;
    for (const auto& [sensor, figures] : dropped)
        CountDropped(sensor, figures.first, figures.second);
    if (!withFrames) return;
    for (Pending& frame : pending_)
        recent_.push_back({frame.id, std::move(frame.sensor), std::move(frame.payload)});
    pending_.clear();
    // Beyond this the sender is far behind (a broker away): it reads the file.
    constexpr std::size_t kRecentFrames = 20000;
    if (recent_.size() > kRecentFrames)
        ForgetRecentUpTo(recent_[recent_.size() - kRecentFrames].id);
}

void FrameSpool::ForgetRecentUpTo(long long id) {
    while (!recent_.empty() && recent_.front().id <= id) recent_.pop_front();
    recentFrom_ = std::max(recentFrom_, id);
}

bool FrameSpool::Commit(QString& error) {
    if (db_ == nullptr) return false;
    if (pending_.empty() && acknowledged_.empty() && bytes_ <= maxBytes_) return true;
    DroppedFigures dropped;
    failing_ = !Transaction(true, dropped);
    if (!failing_) {
        Settle(true, dropped);
        return true;
    }
    error = failure_;
    // On a full disk the acknowledged frames are deleted alone, which makes room for the rest,
    // and the numbers given since the last commit are written with them: a frame sent from
    // memory then never shares its number with a frame of the next run.
    if (Transaction(false, dropped)) Settle(false, dropped);
    while (std::ssize(pending_) > kHeldInMemory) {  // the oldest go
        CountDropped(pending_.front().sensor, 1, pending_.front().payload.size());
        pending_.pop_front();
    }
    return false;
}

std::vector<FrameSpool::Row> FrameSpool::After(long long afterId, int limit) {
    std::vector<Row> rows;
    if (db_ == nullptr || limit <= 0) return rows;
    if (afterId >= recentFrom_) {
        ForgetRecentUpTo(afterId);  // passed: the sender never asks for them again unless anew
        for (auto it = recent_.begin(); it != recent_.end() && std::ssize(rows) < limit; ++it)
            rows.push_back(*it);
    } else {
        sqlite3_bind_int64(after_, 1, afterId);
        sqlite3_bind_int(after_, 2, limit);
        while (sqlite3_step(after_) == SQLITE_ROW) {
            rows.push_back({sqlite3_column_int64(after_, 0), ColumnText(after_, 1),
                            QByteArray(static_cast<const char*>(sqlite3_column_blob(after_, 2)),
                                       sqlite3_column_bytes(after_, 2))});
        }
        sqlite3_reset(after_);
    }
    // Gathered frames go before they are written only while the file cannot be written, and
    // only those whose numbers are: a killed recorder would give the others again.
    if (!failing_) return rows;
    auto it = std::upper_bound(pending_.begin(), pending_.end(), afterId,
                               [](long long v, const Pending& p) { return v < p.id; });
    for (; it != pending_.end() && it->id <= numberedUpTo_ && std::ssize(rows) < limit; ++it)
        rows.push_back({it->id, it->sensor, it->payload});
    return rows;
}

long long FrameSpool::Frames() const {
    return std::accumulate(
        sensors_.begin(), sensors_.end(), 0LL,
        [](long long sum, const auto& entry) { return sum + entry.second.frames; });
}

long long FrameSpool::Bytes() const {
    return bytes_;
}

long long FrameSpool::DiskBytes() const {
    return QFileInfo(path_).size() + QFileInfo(path_ + QStringLiteral("-wal")).size();
}

long long FrameSpool::Frames(const QString& sensor) const {
    const auto it = sensors_.find(sensor);
    return it == sensors_.end() ? 0 : it->second.frames;
}

long long FrameSpool::Dropped(const QString& sensor) const {
    const auto it = sensors_.find(sensor);
    return it == sensors_.end() ? 0 : it->second.dropped;
}

long long FrameSpool::Dropped() const {
    return std::accumulate(
        sensors_.begin(), sensors_.end(), 0LL,
        [](long long sum, const auto& entry) { return sum + entry.second.dropped; });
}

long long FrameSpool::LastSeq(const QString& sensor) const {
    const auto it = sensors_.find(sensor);
    return it == sensors_.end() ? 0 : it->second.lastSeq;
}

std::vector<QString> FrameSpool::TakeNewlyDropping() {
    return std::exchange(newlyDropping_, {});
}

}  // namespace tvx::cli
