#include "recorder_panel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "dimming.h"
#include "frames.h"
#include "help.h"
#include "orders.h"
#include "panel_parts.h"
#include "record_file.h"
#include "scope_texts.h"
#include "shown_values.h"
#include "wait.h"
#include "window_placement.h"

namespace tvx {

namespace {

constexpr const char* kAttention = "ATTENTION!";
// 36 blanks stand before the line break.
constexpr const char* kWarningText =
    " Make sure, that the file is not opened by any other program."
    "                                    "
    "\n Otherwise it can not be saved.";
constexpr const char* kNoFileText = "No filename was choosen! \nRecording will not be done! ";
constexpr const char* kFileExistsText =
    "File already exist! \nDo you want to select existing file?";
constexpr const char* kFileNameText = "Are you sure, that you have selected the right file name?";
constexpr const char* kSavedText = "File has been saved!";
constexpr const char* kNotWrittenText = "The record file could not be written:\n";
constexpr const char* kGoesOnText =
    "\nRecording goes on: each later line is tried again,\n"
    "the lines that cannot be written are counted as LOST LINES.";
constexpr const char* kInfoDispLostLines =
    " Displays how many lines could not be written to the record file.";

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QSpinBox* MakeNumeric(QWidget* parent, int value) {
    auto* numeric = new QSpinBox(parent);
    numeric->setRange(1, 0xFFFF);
    numeric->setValue(value);
    numeric->setKeyboardTracking(false);
    return numeric;
}

QLineEdit* MakeNumberDisplay(QWidget* parent) {
    QLineEdit* display = MakeDisplay(parent, 60);
    display->setText(QStringLiteral("0"));
    return display;
}

QBoxLayout* BoxHolding(QWidget* owner, QWidget* widget) {
    for (QBoxLayout* box : owner->findChildren<QBoxLayout*>())
        if (box->indexOf(widget) >= 0) return box;
    return nullptr;
}

void SetButtonColour(QPushButton* button, const QColor& colour) {
    button->setStyleSheet(ButtonColourSheet(colour.rgb(), colour == QColor(Qt::red)));
}

}  // namespace

RecorderPanel::RecorderPanel(QWidget* parent)
    : Panel(QString::fromLatin1(kRecorderPanelTitle), parent) {
    editSelectDataRec = new QComboBox(this);
    editSelectDataRec->addItem(QStringLiteral("RECORD WITH INTERVAL"), kRecordTimed);
    editSelectDataRec->addItem(QStringLiteral("POLLING AND MANUAL RECORD"), kRecordPolling);

    timedInputs = new QWidget(this);
    editInterval = MakeNumeric(timedInputs, 1);
    editRecVal = MakeNumeric(timedInputs, 10);
    auto* inputs = new QGridLayout(timedInputs);
    inputs->setContentsMargins(0, 0, 0, 0);
    inputs->addWidget(LabelFor(editInterval, QStringLiteral("INTERVAL [s]")), 0, 0);
    inputs->addWidget(editInterval, 0, 1);
    inputs->addWidget(LabelFor(editRecVal, QStringLiteral("VALUES")), 1, 0);
    inputs->addWidget(editRecVal, 1, 1);

    dispRecordTime = new QWidget(this);
    dispDays = MakeNumberDisplay(dispRecordTime);
    dispHours = MakeNumberDisplay(dispRecordTime);
    dispMinutes = MakeNumberDisplay(dispRecordTime);
    dispSeconds = MakeNumberDisplay(dispRecordTime);
    auto* time = new QGridLayout(dispRecordTime);
    time->setContentsMargins(0, 0, 0, 0);
    time->addWidget(new QLabel(QStringLiteral("RECORD TIME"), dispRecordTime), 0, 0, 1, 4);
    int column = 0;
    for (auto [name, display] : {std::pair{"DAYS", dispDays}, std::pair{"HOURS", dispHours},
                                 std::pair{"MIN", dispMinutes}, std::pair{"SEC", dispSeconds}}) {
        time->addWidget(LabelFor(display, QString::fromLatin1(name)), 1, column);
        time->addWidget(display, 2, column++);
    }

    remaining = new QWidget(this);
    dispRemaining = MakeNumberDisplay(remaining);
    auto* remainingRow = new QHBoxLayout(remaining);
    remainingRow->setContentsMargins(0, 0, 0, 0);
    remainingRow->addWidget(LabelFor(dispRemaining, QStringLiteral("REMAINING VALUES")));
    remainingRow->addWidget(dispRemaining);
    dispRecordedValues = MakeNumberDisplay(this);
    dispLostLines = MakeNumberDisplay(this);

    dispRecFile = MakeDisplay(this, 320);
    buttonSelRecFile = new QPushButton(QStringLiteral("SELECT FILE"), this);
    buttonStartRecord = new QPushButton(QStringLiteral("START RECORD"), this);
    buttonStopRecord = new QPushButton(QStringLiteral("STOP RECORD"), this);
    buttonStartPolling = new QPushButton(QStringLiteral("START POLLING"), this);
    buttonStopPolling = new QPushButton(QStringLiteral("STOP POLLING"), this);
    buttonManualRecord = new QPushButton(QStringLiteral("MANUAL RECORD"), this);
    buttonCloseRecorder = new QPushButton(QStringLiteral("CLOSE"), this);
    // The recorder takes the main panel's place, and its data transfer that of GO and STOP: F11
    // and F12 start and stop it in either mode (the other mode's buttons are hidden).
    for (QPushButton* start : {buttonStartRecord, buttonStartPolling})
        start->setShortcut(QKeySequence(Qt::Key_F11));
    for (QPushButton* stop : {buttonStopRecord, buttonStopPolling})
        stop->setShortcut(QKeySequence(Qt::Key_F12));
    SetButtonColour(buttonStartRecord, QColor(0xE0E0E0));

    barRed = MakeColourBar(Qt::red, 4095, 160, this);
    barGreen = MakeColourBar(Qt::green, 4095, 160, this);
    barBlue = MakeColourBar(Qt::blue, 4095, 160, this);
    dispRed = MakeNumberDisplay(this);
    dispGreen = MakeNumberDisplay(this);
    dispBlue = MakeNumberDisplay(this);
    dispX = MakeNumberDisplay(this);
    dispY = MakeNumberDisplay(this);
    dispINT = MakeNumberDisplay(this);
    dispTemp = MakeNumberDisplay(this);
    labelX = new QLabel(QStringLiteral("X"), this);
    labelY = new QLabel(QStringLiteral("Y"), this);
    labelINT = new QLabel(QStringLiteral("INT"), this);

    auto* settings = new QVBoxLayout;
    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(LabelFor(editSelectDataRec, QStringLiteral("MODE")));
    modeRow->addWidget(editSelectDataRec, 1);
    settings->addLayout(modeRow);
    settings->addWidget(timedInputs);
    settings->addWidget(dispRecordTime);
    settings->addWidget(remaining);
    auto* recordedRow = new QHBoxLayout;
    recordedRow->addWidget(LabelFor(dispRecordedValues, QStringLiteral("RECORDED VALUES")));
    recordedRow->addWidget(dispRecordedValues);
    recordedRow->addWidget(LabelFor(dispLostLines, QStringLiteral("LOST LINES")));
    recordedRow->addWidget(dispLostLines);
    settings->addLayout(recordedRow);
    settings->addStretch(1);

    auto* live = new QGridLayout;
    int row = 0;
    for (auto [name, display] :
         {std::pair{"R", dispRed}, std::pair{"G", dispGreen}, std::pair{"B", dispBlue}}) {
        live->addWidget(LabelFor(display, QString::fromLatin1(name)), row, 0);
        live->addWidget(display, row++, 1);
    }
    for (auto [label, display] :
         {std::pair{labelX, dispX}, std::pair{labelY, dispY}, std::pair{labelINT, dispINT}}) {
        label->setBuddy(display);
        live->addWidget(label, row, 0);
        live->addWidget(display, row++, 1);
    }
    live->addWidget(LabelFor(dispTemp, QStringLiteral("TEMP")), row, 0);
    live->addWidget(dispTemp, row++, 1);
    live->setRowStretch(row, 1);
    auto* bars = new QHBoxLayout;
    bars->addWidget(barRed);
    bars->addWidget(barGreen);
    bars->addWidget(barBlue);

    auto* body = new QHBoxLayout;
    body->addLayout(settings, 1);
    body->addLayout(bars);
    body->addLayout(live);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(buttonSelRecFile);
    fileRow->addWidget(dispRecFile, 1);

    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {buttonStartRecord, buttonStopRecord, buttonStartPolling,
                           buttonStopPolling, buttonManualRecord})
        commands->addWidget(b);
    commands->addStretch(1);
    commands->addWidget(buttonCloseRecorder);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(fileRow);
    layout->addLayout(commands);
    stateLine = new StateLine(this);
    layout->addWidget(stateLine);
    // The record file's path stands beside the button that chooses it.
    dispRecFile->setAccessibleName(QStringLiteral("RECORD FILE"));
    resize(760, 460);
    CloseOnEscape();
}

RecorderOperations::RecorderOperations(MainPanel& panel, RecorderPanel& recpanel,
                                       ParameterControls& controls, SignalGraphOperations& graph,
                                       ScopeCommands& commands, State state, Popups& popups,
                                       std::function<void()> changePanel)
    : panel_(panel),
      recpanel_(recpanel),
      controls_(controls),
      graph_(graph),
      commands_(commands),
      state_(state),
      popups_(popups),
      changePanel_(std::move(changePanel)) {
    buttonOpenRecorder = new QPushButton(QStringLiteral("OPEN RECORDER"), &panel_);
    if (QBoxLayout* row = BoxHolding(&panel_, panel_.buttonConnect))
        row->insertWidget(row->indexOf(panel_.buttonConnect) + 1, buttonOpenRecorder);
    controls_.AddDimmedCommand(buttonOpenRecorder);
    AddDispNamesRows();
    AttachHelpTexts();
    InitRecordPanel();
    CalcRecTime();

    RecorderPanel& rp = recpanel_;
    connect(buttonOpenRecorder, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonOpenRecorder);
    connect(rp.buttonCloseRecorder, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonCloseRecorder);
    connect(rp.editSelectDataRec, &QComboBox::activated, this,
            &RecorderOperations::CBF_EditSelectDataRec);
    // A value typed counts when committed, a step of the arrows at once.
    for (QSpinBox* numeric : {rp.editInterval, rp.editRecVal}) {
        const auto slot = numeric == rp.editInterval ? &RecorderOperations::CBF_EditInterval
                                                     : &RecorderOperations::CBF_EditRecVal;
        connect(numeric, &QSpinBox::editingFinished, this, slot);
        connect(numeric, &QSpinBox::valueChanged, this, slot);
    }
    connect(rp.buttonSelRecFile, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonSelRecFile);
    connect(rp.buttonStartRecord, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonStartRecord);
    connect(rp.buttonStopRecord, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonStopRecord);
    connect(rp.buttonStartPolling, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonStartPolling);
    connect(rp.buttonStopPolling, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonStopPolling);
    connect(rp.buttonManualRecord, &QPushButton::clicked, this,
            &RecorderOperations::CBF_ButtonManualRecord);
}

void RecorderOperations::AddDispNamesRows() {
    using Row = ParameterControls;
    controls_.AddDispNamesRow(
        Row::LabelRow(recpanel_.labelX, QStringLiteral("X"), QStringLiteral("s")));
    controls_.AddDispNamesRow(
        Row::LabelRow(recpanel_.labelY, QStringLiteral("Y"), QStringLiteral("i")));
    controls_.AddDispNamesRow(
        Row::LabelRow(recpanel_.labelINT, QStringLiteral("INT"), QStringLiteral("M")));
}

void RecorderOperations::AttachHelpTexts() {
    using namespace info;
    const auto help = [this](QWidget* control, const char* text) {
        AttachHelp(control, popups_, Text(text));
    };
    RecorderPanel& rp = recpanel_;
    help(buttonOpenRecorder, InfoButtonOpenRecorder);
    help(rp.buttonCloseRecorder, InfoButtonCloseRecorder);
    help(rp.buttonSelRecFile, InfoButtonSelRecFile);
    help(rp.dispRecFile, InfoDisRecFile);
    help(rp.buttonStartRecord, InfoButtonStartRecord);
    help(rp.buttonStopRecord, InfoButtonStopRecord);
    help(rp.buttonStartPolling, InfoButtonStartPolling);
    help(rp.buttonStopPolling, InfoButtonStopPolling);
    help(rp.buttonManualRecord, InfoButtonManualRecord);
    help(rp.editSelectDataRec, InfoEditSelDataRec);
    help(rp.editInterval, InfoEditInterval);
    help(rp.editRecVal, InfoEditRecVal);
    for (QLineEdit* d : {rp.dispDays, rp.dispHours, rp.dispMinutes, rp.dispSeconds})
        help(d, InfoDispRecordTime);
    help(rp.dispRecordedValues, InfoDispRecordedValues);
    help(rp.dispRemaining, InfoDispRemaining);
    help(rp.dispLostLines, kInfoDispLostLines);
    help(rp.dispRed, InfoDispRAW);
    help(rp.dispGreen, InfoDispRAW);
    help(rp.dispBlue, InfoDispRAW);
    for (QWidget* bar : {static_cast<QWidget*>(rp.barRed), static_cast<QWidget*>(rp.barGreen),
                         static_cast<QWidget*>(rp.barBlue)})
        help(bar, InfoDispBars);
    help(rp.dispX, InfoDispX);
    help(rp.dispY, InfoDispY);
    help(rp.dispINT, InfoDispINT);
    help(rp.dispTemp, InfoDispTemp);
}

int RecorderOperations::Mode() const {
    return recpanel_.editSelectDataRec->currentData().toInt();
}

void RecorderOperations::InitRecordPanel() {
    const bool timed = Mode() == kRecordTimed;
    RecorderPanel& rp = recpanel_;
    for (QWidget* w :
         {rp.timedInputs, rp.dispRecordTime, rp.remaining,
          static_cast<QWidget*>(rp.buttonStartRecord), static_cast<QWidget*>(rp.buttonStopRecord)})
        w->setVisible(timed);
    for (QWidget* w : {rp.buttonStartPolling, rp.buttonStopPolling, rp.buttonManualRecord})
        w->setVisible(!timed);
}

void RecorderOperations::CalcRecTime() {
    RecorderState& rec = state_.recorder;
    rec.zeitint = static_cast<std::uint16_t>(recpanel_.editInterval->value());
    rec.anzwerte = static_cast<std::uint16_t>(recpanel_.editRecVal->value());
    recpanel_.dispRecordedValues->setText(QStringLiteral("0"));
    recpanel_.dispLostLines->setText(QStringLiteral("0"));
    recpanel_.dispRemaining->setText(QString::number(rec.anzwerte));
    const RecordTime t = CalcRecordTime(rec.zeitint, rec.anzwerte);
    recpanel_.dispDays->setText(QString::number(t.days));
    recpanel_.dispHours->setText(QString::number(t.hours));
    recpanel_.dispMinutes->setText(QString::number(t.minutes));
    recpanel_.dispSeconds->setText(QString::number(t.seconds));
}

void RecorderOperations::SelRecFile() {
    FileSelectRequest request;
    request.startDirectory = state_.files.proj_dir;
    request.defaultFileName = QStringLiteral("record.dat");
    request.fileTypeList = QStringLiteral("*.dat");
    request.title = QStringLiteral("FILENAME!");
    request.forSaving = true;
    const std::optional<QString> chosen = popups_.FileSelectPopup(request);
    if (!chosen || chosen->isEmpty()) {
        popups_.MessagePopup(Text(kAttention), Text(kNoFileText));
        return;
    }
    state_.files.file_name = *chosen;
    if (QFileInfo::exists(*chosen)) {
        if (!popups_.ConfirmPopup(Text(kAttention), Text(kFileExistsText))) return;
        popups_.MessagePopup(Text(kAttention), Text(kWarningText));
    }
    // A file that cannot be started is not offered for recording.
    if (!WriteFileHeader(*chosen)) {
        popups_.MessagePopup(QString::fromLatin1(kFileErrorTitle), Text(kNotWrittenText) + *chosen);
        return;
    }
    recpanel_.dispRecFile->setText(*chosen);
}

bool RecorderOperations::TakeFileName() {
    state_.files.file_name = recpanel_.dispRecFile->text().section(QLatin1Char('\n'), 0, 0);
    if (!state_.files.file_name.isEmpty()) return true;
    popups_.MessagePopup(Text(kAttention), Text(kNoFileText));
    return false;
}

void RecorderOperations::SetTimedInputsLocked(bool locked) {
    RecorderPanel& rp = recpanel_;
    rp.editInterval->setReadOnly(locked);
    rp.editRecVal->setReadOnly(locked);
    rp.editInterval->setButtonSymbols(locked ? QAbstractSpinBox::NoButtons
                                             : QAbstractSpinBox::UpDownArrows);
    rp.editRecVal->setButtonSymbols(locked ? QAbstractSpinBox::NoButtons
                                           : QAbstractSpinBox::UpDownArrows);
    SetButtonColour(rp.buttonStartRecord, QColor(locked ? 0xFF0000 : 0xE0E0E0));
}

void RecorderOperations::Record() {
    if (!TakeFileName()) return;
    if (!popups_.ConfirmPopup(Text(kAttention), Text(kFileNameText))) return;
    popups_.MessagePopup(Text(kAttention), Text(kWarningText));
    SetTimedInputsLocked(true);
    RecordFrame();
    SetTimedInputsLocked(false);
}

bool RecorderOperations::FetchRecordFrame() {
    return commands_.FetchDataFrame(kOrderRecordData);
}

void RecorderOperations::RecordFrame() {
    RecorderState& rec = state_.recorder;
    StateLineModel& line = commands_.StateLine();
    CalcRecTime();
    rec.otcrec.Start(rec.anzwerte);
    // A frame that never came ends the recording with its report, and no line: the file holds
    // measurements only.
    RunLiveLoop(
        state_.flags.pollrecord,
        {[this] { return FetchRecordFrame(); },
         [this] {
             SetRecordData();
             graph_.SetPanelGraphData();
         },
         [this] { commands_.FailureReport(); },
         [this, &rec, &line] {
             if (state_.flags.pollrecord != 1) return;
             SlowDown();
             const bool complete = RecordLine();
             ShowCounters(true);
             line.SetActivityDetail(
                 QStringLiteral("%1 of %2 lines").arg(rec.otcrec.otcrec()).arg(rec.anzwerte));
             if (complete) state_.flags.pollrecord = 0;
         },
         &line, Activity::Recording});
    popups_.MessagePopup(Text(kInfoTitle), Text(kSavedText));
}

void RecorderOperations::SlowDown() {
    RecorderState& rec = state_.recorder;
    rec.tstart = SecondsTimer();
    rec.tdiff = 0;
    Pause(0.05, WaitMode::ServeUserInput);
    const WaitResult waited = WaitUntil(
        [this] { return state_.flags.pollrecord != 1; }, rec.zeitint, WaitMode::ServeUserInput,
        {WakeSource(this, &RecorderOperations::recordStopped)}, rec.tstart);
    rec.tdiff = waited.elapsedSeconds;
}

bool RecorderOperations::RecordLine() {
    RecordCounter& counter = state_.recorder.otcrec;
    if (ToFile(state_.files.file_name, QDateTime::currentDateTime(), RecordValuesOf(state_.live)))
        return counter.LineWritten();
    const bool complete = counter.LineLost();
    // Once a recording; a notice that does not hold the recording up while it is read.
    if (counter.lost() == 1)
        popups_.NoticePopup(QString::fromLatin1(kFileErrorTitle),
                            Text(kNotWrittenText) + state_.files.file_name + Text(kGoesOnText));
    return complete;
}

void RecorderOperations::ShowCounters(bool withRemaining) {
    const RecordCounter& counter = state_.recorder.otcrec;
    recpanel_.dispRecordedValues->setText(QString::number(counter.otcrec()));
    recpanel_.dispLostLines->setText(QString::number(counter.lost()));
    if (withRemaining) recpanel_.dispRemaining->setText(QString::number(counter.Remaining()));
}

void RecorderOperations::RecordPolling() {
    RunLiveLoop(
        state_.flags.pollrecord,
        {[this] { return FetchRecordFrame(); }, [this] { SetRecordData(); },
         [this] { commands_.FailureReport(); }, [] { Pause(0.05, WaitMode::ServeUserInput); },
         &commands_.StateLine(), Activity::Polling});
}

void RecorderOperations::RecordManually() {
    if (!TakeFileName()) return;
    graph_.SetPanelGraphData();
    RecordLine();
    ShowCounters(false);
}

void RecorderOperations::ShowStale(bool stale) {
    RecorderPanel& rp = recpanel_;
    for (QWidget* display : std::initializer_list<QWidget*>{
             rp.barRed, rp.barGreen, rp.barBlue, rp.dispRed, rp.dispGreen, rp.dispBlue, rp.dispX,
             rp.dispY, rp.dispINT, rp.dispTemp})
        tvx::ShowStale(display, stale);
}

void RecorderOperations::SetRecordData() {
    const LiveValues& live = state_.live;
    RecorderPanel& rp = recpanel_;
    rp.dispRed->setText(QString::number(live.dataR));
    rp.dispGreen->setText(QString::number(live.dataG));
    rp.dispBlue->setText(QString::number(live.dataB));
    rp.barRed->setValue(std::min<int>(live.dataR, rp.barRed->maximum()));
    rp.barGreen->setValue(std::min<int>(live.dataG, rp.barGreen->maximum()));
    rp.barBlue->setValue(std::min<int>(live.dataB, rp.barBlue->maximum()));
    rp.dispX->setText(QString::number(live.dataX));
    rp.dispY->setText(QString::number(live.dataY));
    rp.dispINT->setText(QString::number(live.dataINT));
    rp.dispTemp->setText(QString::number(live.dataTemp));
}

void RecorderOperations::StopRecord() {
    state_.flags.pollrecord = 0;
    emit recordStopped();
}

void RecorderOperations::CBF_ButtonOpenRecorder() {
    state_.flags.poll = 0;
    panel_.hide();
    ShowPanel(recpanel_, &panel_);
    recpanel_.raise();
    InitRecordPanel();
    if (Mode() == kRecordTimed) CalcRecTime();
}

void RecorderOperations::CBF_ButtonCloseRecorder() {
    changePanel_();
}

void RecorderOperations::CBF_EditSelectDataRec() {
    StopRecord();
    if (Mode() == kRecordPolling) {
        state_.recorder.otcrec.Start(0);
        ShowCounters(false);
    } else {
        CalcRecTime();
    }
    graph_.InitPanelGraph();
    InitRecordPanel();
}

void RecorderOperations::CBF_EditInterval() {
    CalcRecTime();
}

void RecorderOperations::CBF_EditRecVal() {
    CalcRecTime();
}

void RecorderOperations::CBF_ButtonSelRecFile() {
    SelRecFile();
}

void RecorderOperations::CBF_ButtonStartRecord() {
    if (!TakeShownValues({recpanel_.editInterval, recpanel_.editRecVal}, popups_)) return;
    const QList<QWidget*> dimmed{recpanel_.editSelectDataRec, recpanel_.buttonStartRecord};
    SetControlsDimmed(dimmed, true);
    graph_.InitPanelGraph();
    Record();
    SetControlsDimmed(dimmed, false);
}

void RecorderOperations::CBF_ButtonStopRecord() {
    StopRecord();
}

void RecorderOperations::CBF_ButtonStartPolling() {
    const QList<QWidget*> dimmed{recpanel_.buttonStartPolling, recpanel_.editSelectDataRec};
    SetControlsDimmed(dimmed, true);
    RecordPolling();
    SetControlsDimmed(dimmed, false);
}

void RecorderOperations::CBF_ButtonStopPolling() {
    StopRecord();
}

void RecorderOperations::CBF_ButtonManualRecord() {
    RecordManually();
}

}  // namespace tvx
