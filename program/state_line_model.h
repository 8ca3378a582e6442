#pragma once

#include <QObject>
#include <QString>
#include <QTime>
#include <deque>
#include <vector>

#include "link_result.h"

namespace tvx {

// What a program is doing with its sensor, as its state line names it.
enum class Activity {
    Live,         // a live loop shows frame after frame
    Zoom,         // the zoom graph follows the measurement
    Recording,    // a timed recording writes lines
    Polling,      // the recorder shows frames without writing them
    Sending,      // parameters or factors go to the sensor
    Reading,      // parameters, factors or tables come from the sensor
    Transfer,     // the compensation tables go to the sensor block by block
    Calibrating,  // the calibration run averages its frames
};

// The bookkeeping behind a main window's state line, without a window: where the link goes,
// whether it is up and, when not, the first real cause of the last failure (kept until the next
// successful handshake, so that the "TIMEOUT" which follows a refused connect does not hide the
// refusal), what the program is doing, and how its last transfer ended. The program's link feeds
// the link events; the programs' commands and loops feed the rest.
class StateLineModel : public QObject {
    Q_OBJECT
  public:
    explicit StateLineModel(QObject* parent = nullptr) : QObject(parent) {}

    // --- the link ---
    // A connection attempt to `endpoint` ("127.0.0.1:50010", "/dev/ttyUSB0") begins: what an
    // earlier attempt left is over. Another endpoint than before is another sensor: the last
    // transfer and the live values shown were the previous one's.
    void AttemptStarted(const QString& endpoint);
    void OpenFailed(const OpenResult& result, bool tcp);
    // The handshake's exchange ended; an answer brings the link up and clears the kept cause.
    void HandshakeEnded(bool answered, const ExchangeResult& result);
    void ExchangeFailed(const ExchangeResult& result);
    void LinkLost(LinkDownReason reason);
    // Any other failure, in words; the running activity is named after it.
    void Failure(const QString& cause);

    // --- the activity ---
    // Activities nest (a zoom started from the live loop); the innermost is shown.
    void BeginActivity(Activity activity, const QString& detail = {});
    void SetActivityDetail(const QString& detail);
    void EndActivity();
    // A live frame reached the displays at `seconds` (a steady clock): the live values are
    // current again and the frame rate counts it.
    void FrameShown(double seconds);
    // The X and Y displays show a cursor the user placed, not a measurement (until the next frame).
    void SetCursorReadout(bool readout);

    // --- results ---
    void SetLastTransfer(const QString& result, const QTime& at = QTime::currentTime());
    // Records the result of a transfer begun when Failures() was `failuresBefore`: `done`, or
    // `notDone` with the cause of the failure that came meanwhile ("CF not sent: ...").
    void EndTransfer(int failuresBefore, const QString& done, const QString& notDone);
    // Parameter changes not yet sent to, read from or saved with the sensor's set.
    void SetUnsentChanges(int count);

    QString EndpointText() const { return endpoint_; }
    QString LinkText() const;
    QString ActivityText() const;
    QString LastTransferText() const { return lastTransfer_; }
    QString UnsentText() const;
    // The live displays show values from before the last failure of the link.
    bool ValuesStale() const { return stale_; }
    // True while `activity` is the innermost one running.
    bool Running(Activity activity) const;
    // Failures recorded since the start, so that a transfer can tell whether one came.
    int Failures() const { return failures_; }
    // The cause of the latest failure, without the command it hit.
    QString LastCause() const { return lastCause_; }

  signals:
    void changed();

  private:
    enum class Phase { None, Connecting, Up, Down };
    struct Entry {
        Activity activity;
        QString detail;
        std::deque<double> frameTimes;
    };
    void Record(const QString& cause, const QString& during, bool linkDown);
    QString During() const;

    QString endpoint_;
    Phase phase_ = Phase::None;
    QString cause_;
    QString lastCause_;  // of the latest failure, without the command it hit
    std::vector<Entry> running_;
    QString lastTransfer_;
    int unsent_ = 0;
    int failures_ = 0;
    bool stale_ = false;
    bool cursorReadout_ = false;
};

// An activity for as long as a block runs.
class ActivityScope {
  public:
    ActivityScope(StateLineModel& model, Activity activity, const QString& detail = {})
        : model_(model) {
        model_.BeginActivity(activity, detail);
    }
    ~ActivityScope() { model_.EndActivity(); }
    ActivityScope(const ActivityScope&) = delete;
    ActivityScope& operator=(const ActivityScope&) = delete;

  private:
    StateLineModel& model_;
};

class StateLine;
// Shows the model's texts on a main window's state line as they change.
void ShowStateLine(StateLineModel& model, StateLine& line);

}  // namespace tvx
