#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "frames.h"
#include "loop_flags.h"
#include "main_panel.h"
#include "panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"
#include "record_time.h"
#include "scope_commands.h"
#include "signal_graph_panel.h"
#include "state_line.h"

namespace tvx {

inline constexpr const char* kRecorderPanelTitle = "DATA RECORDER";

// Codes of the recorder's mode ring.
inline constexpr int kRecordTimed = 0;    // a set number of frames at a set interval
inline constexpr int kRecordPolling = 1;  // live frames, a line on MANUAL RECORD

// The data recorder panel: mode, interval and count, the record time, the counters, the record
// file, the commands of both modes and the live values.
class RecorderPanel : public Panel {
    Q_OBJECT
  public:
    explicit RecorderPanel(QWidget* parent = nullptr);

    QComboBox* editSelectDataRec;
    QSpinBox* editInterval;   // seconds, 1 ... 65535
    QSpinBox* editRecVal;     // lines, 1 ... 65535
    QWidget* dispRecordTime;  // the four numerics below with their labels
    QLineEdit* dispDays;
    QLineEdit* dispHours;
    QLineEdit* dispMinutes;
    QLineEdit* dispSeconds;
    QWidget* remaining;  // the remaining-values display with its label
    QLineEdit* dispRemaining;
    QLineEdit* dispRecordedValues;
    QLineEdit* dispLostLines;  // lines of the recording that could not be written
    QLineEdit* dispRecFile;
    QPushButton* buttonSelRecFile;
    QPushButton* buttonStartRecord;
    QPushButton* buttonStopRecord;
    QPushButton* buttonStartPolling;
    QPushButton* buttonStopPolling;
    QPushButton* buttonManualRecord;
    QPushButton* buttonCloseRecorder;
    QWidget* timedInputs;  // interval and count with their labels

    QProgressBar* barRed;
    QProgressBar* barGreen;
    QProgressBar* barBlue;
    QLineEdit* dispRed;
    QLineEdit* dispGreen;
    QLineEdit* dispBlue;
    QLineEdit* dispX;
    QLineEdit* dispY;
    QLineEdit* dispINT;
    QLineEdit* dispTemp;
    QLabel* labelX;
    QLabel* labelY;
    QLabel* labelINT;

    // The main panel's state line, here too: the recorder takes the main panel's place.
    StateLine* stateLine;
};

// What the recorder does: timed recordings and polling against the sensor (order 19), record
// lines appended to the record file, every recorded frame handed to the signal graph.
class RecorderOperations : public QObject {
    Q_OBJECT
  public:
    // The state the recorder works on: its loop's exchange on the frame buffers into the live
    // values, the record file and the counts.
    struct State {
        LoopFlags& flags;
        LiveValues& live;
        ProgramFiles& files;
        RecorderState& recorder;
    };

    // changePanel takes the user back from the recorder to the main panel.
    RecorderOperations(MainPanel& panel, RecorderPanel& recpanel, ParameterControls& controls,
                       SignalGraphOperations& graph, ScopeCommands& commands, State state,
                       Popups& popups, std::function<void()> changePanel);

    QPushButton* buttonOpenRecorder;  // on the main panel, one of the dimmed commands

    int Mode() const;
    // Shows the controls of the chosen mode and hides those of the other.
    void InitRecordPanel();
    // The interval and count into zeitint and anzwerte, the counters reset, the record time shown.
    void CalcRecTime();
    void SelRecFile();
    void Record();
    void RecordFrame();
    void RecordPolling();
    void RecordManually();
    // Any running recorder loop ends at its next pass, and an interval wait at once.
    void StopRecord();
    // Greys out the live values (older than the last failure of the link) or shows them live.
    void ShowStale(bool stale);

  signals:
    void recordStopped();

  public slots:
    void CBF_ButtonOpenRecorder();
    void CBF_ButtonCloseRecorder();
    void CBF_EditSelectDataRec();
    void CBF_EditInterval();
    void CBF_EditRecVal();
    void CBF_ButtonSelRecFile();
    void CBF_ButtonStartRecord();
    void CBF_ButtonStopRecord();
    void CBF_ButtonStartPolling();
    void CBF_ButtonStopPolling();
    void CBF_ButtonManualRecord();

  private:
    void AddDispNamesRows();
    void AttachHelpTexts();
    // One order-19 exchange; the reply unpacked into the live values. False on a time-out.
    bool FetchRecordFrame();
    void SetRecordData();
    // Waits the interval after a frame; ends at once when the recording is stopped.
    void SlowDown();
    // The path display's first line; a no-file message when it is empty.
    bool TakeFileName();
    // Appends one record line with the current values and counts it. A line that cannot be
    // written is counted as lost and the recording goes on; the first loss of a recording is
    // reported. True when the recording has now taken all its lines.
    bool RecordLine();
    void ShowCounters(bool withRemaining);
    void SetTimedInputsLocked(bool locked);

    MainPanel& panel_;
    RecorderPanel& recpanel_;
    ParameterControls& controls_;
    SignalGraphOperations& graph_;
    ScopeCommands& commands_;
    State state_;
    Popups& popups_;
    std::function<void()> changePanel_;
};

}  // namespace tvx
