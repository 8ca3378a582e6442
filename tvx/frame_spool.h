#pragma once

#include <QByteArray>
#include <QString>
#include <deque>
#include <iterator>
#include <map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tvx::cli {

// The frames on their way to a broker, kept in one SQLite file (WAL) until the broker has
// acknowledged them, so that neither a lost broker nor a killed recorder loses one. New frames
// and acknowledgements are gathered in memory and written together by Commit(), one transaction
// per call. The file also keeps each sensor's last sequence number, so the numbers run on across
// restarts; a sensor's row stays when the sensor leaves, so that one added again goes on from its
// number. A frame is sent only once its number is written: a recorder killed at any moment never
// gives that number to another frame. While the file cannot take frames (a full disk, a folder
// made read-only) the numbers alone are written where they still can be, and gathered frames
// whose numbers are kept are sent like written ones; one the broker acknowledges is never written.
// Beyond its bound the oldest frames are dropped and counted per sensor.
class FrameSpool {
  public:
    struct Row {
        long long id = 0;  // grows with every frame, never reused: the order of sending
        QString sensor;
        QByteArray payload;
    };

    FrameSpool() = default;
    FrameSpool(const FrameSpool&) = delete;
    FrameSpool& operator=(const FrameSpool&) = delete;
    ~FrameSpool();

    // Opens the file, or makes it and its folder. A file damaged beyond reading is moved aside
    // as FILE.damaged-DATE and a fresh one started; `notice` then says so in one line. False
    // with a one-line reason naming the file or folder when it cannot be made or written.
    bool Open(const QString& path, long long maxBytes, QString& error, QString& notice);
    void Close();
    QString Path() const { return path_; }

    // The next sequence number of a sensor: 1 for its first frame ever.
    long long NextSeq(const QString& sensor);
    // The id the last frame appended was given (0 before the first): frames later get higher ones.
    long long LastId() const { return nextId_ - 1; }
    // Gathers a frame (its payload holds its number) for the next Commit().
    void Append(const QString& sensor, const QByteArray& payload);
    // Forgets a frame the broker has acknowledged (its deletion is written with the next
    // Commit() when it was written); `bytes` is its payload's size.
    void Acknowledge(const QString& sensor, long long id, long long bytes);
    // Writes what was gathered in one transaction and drops the oldest frames beyond the bound.
    // On failure (disk full ...) the frames stay gathered, at most kHeldInMemory of them, and
    // the next call tries again; false with the reason then.
    bool Commit(QString& error);

    // Up to `limit` frames of every sensor after the frame `afterId`, oldest first: written ones,
    // then, while the file cannot be written, gathered ones whose numbers are kept.
    std::vector<Row> After(long long afterId, int limit);

    long long Frames() const;                                    // frames held, written or gathered
    long long Gathered() const { return std::ssize(pending_); }  // not written yet
    long long Bytes() const;                                     // their payloads' bytes
    long long DiskBytes() const;  // the file and its write-ahead log as they are on disk
    long long Frames(const QString& sensor) const;
    long long Dropped(const QString& sensor) const;
    long long Dropped() const;
    long long LastSeq(const QString& sensor) const;
    // The sensors that lost frames to the bound since the last call.
    std::vector<QString> TakeNewlyDropping();

    static constexpr long long kHeldInMemory = 200000;

  private:
    struct Pending {
        long long id;
        QString sensor;
        QByteArray payload;
    };
    struct SensorState {
        long long lastSeq = 0;
        long long frames = 0;
        long long dropped = 0;
        bool seqDirty = false;      // to be written with the next commit
        bool dropReported = false;  // said once a run
    };

    bool OpenFile(QString& error, bool& damaged);
    bool Exec(const char* sql);
    bool Prepare(sqlite3_stmt*& statement, const char* sql);
    void Finalize();
    QString LastError() const;
    // Per sensor: frames and bytes dropped for the bound.
    using DroppedFigures = std::map<QString, std::pair<long long, long long>>;
    bool WriteGathered(bool withFrames);
    bool DropBeyondBound(DroppedFigures& dropped);
    // One transaction: the gathered acknowledgements and sequence numbers, with the new frames
    // when `withFrames`.
    bool Transaction(bool withFrames, DroppedFigures& dropped);
    // Counts what a transaction wrote and forgets it.
    void Settle(bool withFrames, const DroppedFigures& dropped);
    void CountDropped(const QString& sensor, long long frames, long long bytes);

    sqlite3* db_ = nullptr;
    QString path_;
    long long maxBytes_ = 0;
    long long bytes_ = 0;
    sqlite3_stmt* insert_ = nullptr;
    sqlite3_stmt* remove_ = nullptr;
    sqlite3_stmt* saveSensor_ = nullptr;
    sqlite3_stmt* after_ = nullptr;
    sqlite3_stmt* oldest_ = nullptr;
    std::deque<Pending> pending_;  // oldest first
    // The frames written lately that the sender has not passed yet: every frame still in the file
    // with an id above recentFrom_ is here, so that sending them needs no read of the file.
    std::deque<Row> recent_;
    long long recentFrom_ = 0;
    void ForgetRecentUpTo(long long id);
    long long nextId_ = 1;        // ids are given here, so gathered frames have theirs
    long long numberedUpTo_ = 0;  // the gathered frames up to this id have their numbers kept
    struct Acknowledged {
        QString sensor;
        long long id;
        long long bytes;
        bool removed = false;
    };
    std::vector<Acknowledged> acknowledged_;
    std::map<QString, SensorState> sensors_;
    std::vector<QString> newlyDropping_;
    QString failure_;  // why the last transaction failed
    bool failing_ = false;
};

}  // namespace tvx::cli
