// The data recorder and the signal graph in the running scope: the file choice, timed recordings
// and polling with manual lines written to the record file, how a recording ends (its count,
// STOP, closing, a sensor that stops answering, a file that cannot be written), and the graph fed
// with every recorded frame.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "record_file.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

const QString kAttention = QStringLiteral("ATTENTION!");
const QString kWarning = QStringLiteral(
    " Make sure, that the file is not opened by any other program.                                 "
    "   "
    "\n Otherwise it can not be saved.");
const QString kNoFile = QStringLiteral("No filename was choosen! \nRecording will not be done! ");
const QString kFileExists =
    QStringLiteral("File already exist! \nDo you want to select existing file?");
const QString kFileName =
    QStringLiteral("Are you sure, that you have selected the right file name?");
const QString kSaved = QStringLiteral("File has been saved!");

class RecorderTest : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        recordPath = dataDir.filePath("record.dat");
        Sensor().ClearRequests();
    }
    RecorderPanel& Rp() { return scope->Recorder(); }
    SignalGraphPanel& Gp() { return scope->SignalGraph(); }

    void OpenRecorder() {
        Click(scope->Recording().buttonOpenRecorder);
        ASSERT_TRUE(Rp().isVisible());
    }
    void SelectFile(const QString& path) {
        popups.QueueFileSelection(path);
        Click(Rp().buttonSelRecFile);
    }
    // A timed recording of `count` frames a second apart into the record file.
    void PrepareTimed(int count) {
        OpenRecorder();
        SelectFile(recordPath);
        Enter(Rp().editInterval, 1);
        Enter(Rp().editRecVal, count);
    }
    // START RECORD, answering the file-name question with yes.
    void StartRecord(const std::function<bool()>& step = [] { return true; }) {
        popups.Clear();
        popups.QueueConfirm(true);
        RunLoop(Rp().buttonStartRecord, step);
    }
    QByteArray FileContent(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    // The record lines after the header.
    QList<QByteArray> Lines() {
        QByteArray content = FileContent(recordPath);
        EXPECT_TRUE(content.startsWith(RecordFileHeader()));
        EXPECT_EQ(content.count(RecordFileHeader()), 1);
        content.remove(0, RecordFileHeader().size());
        QList<QByteArray> lines = content.split('\n');
        EXPECT_TRUE(lines.last().isEmpty()) << "the file must end with CR LF";
        lines.removeLast();
        for (QByteArray& line : lines) line.append('\n');
        return lines;
    }
    int Samples() { return Gp().graphs[0]->PointCount(); }
    // The values of sample `sample` as the signal graph holds them.
    RecordValues Plotted(int sample) {
        RecordValues values{};
        for (int s = 0; s < kSignalCount; ++s) {
            TracePlot* graph = Gp().graphs[static_cast<std::size_t>(s)];
            EXPECT_LT(sample, graph->PointCount());
            EXPECT_EQ(graph->Point(sample).x(), sample);
            values[static_cast<std::size_t>(s)] =
                static_cast<std::uint16_t>(graph->Point(sample).y());
        }
        return values;
    }
    // A record line: a zero-filled MM-DD-YYYY field, TAB, a zero-filled HH:MM:SS field, TAB,
    // the values.
    void ExpectLine(const QByteArray& line, const RecordValues& values) {
        ASSERT_GE(line.size(), 26);
        const QByteArray date = line.left(12), time = line.mid(13, 12);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d{4}$"))
                        .match(QString::fromLatin1(date.left(10)))
                        .hasMatch())
            << date.toStdString();
        EXPECT_EQ(date.mid(10), QByteArray(2, '\0'));
        EXPECT_TRUE(QDate::fromString(QString::fromLatin1(date.left(10)), "MM-dd-yyyy").isValid());
        EXPECT_EQ(line.at(12), '\t');
        EXPECT_TRUE(QTime::fromString(QString::fromLatin1(time.left(8)), "HH:mm:ss").isValid())
            << time.toStdString();
        EXPECT_EQ(time.mid(8), QByteArray(4, '\0'));
        EXPECT_EQ(line.at(25), '\t');
        EXPECT_EQ(line.mid(26), RecordValueRow(values));
    }

    QTemporaryDir dataDir;
    QString recordPath;
};

// The recorder replaces the main panel until it is closed; it is dimmed with the other commands
// while GO runs, and SHOW GRAPH ends the live loop, whose frames do not feed the graph.
TEST_F(RecorderTest, RecorderReplacesTheMainPanelAndTheRecordTimeFollowsItsFields) {
    RunLoop(Main().buttonGo, [&] {
        if (Sensor().RequestCount() < 1) return false;
        EXPECT_FALSE(scope->Recording().buttonOpenRecorder->isEnabled());
        Click(scope->SignalGraphOps().buttonShowGraph);
        return true;
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(Gp().isVisible());
    EXPECT_EQ(Samples(), 0);
    for (const bool byButton : {true, false}) {
        OpenRecorder();
        EXPECT_FALSE(Main().isVisible());
        if (byButton) Click(Rp().buttonCloseRecorder);
        if (!byButton) Rp().close();
        EXPECT_FALSE(Rp().isVisible());
        EXPECT_TRUE(Main().isVisible());
    }

    OpenRecorder();
    struct Step {
        QSpinBox* field;
        int value;  // -1 / -2: one click on the up / down arrow
        const char *days, *hours, *minutes, *seconds, *remaining;
    };
    const Step steps[] = {{Rp().editInterval, 2, "0", "0", "0", "0", "1"},
                          {Rp().editRecVal, 3, "0", "0", "0", "6", "3"},
                          {Rp().editInterval, 3600, "0", "3", "0", "0", "3"},
                          {Rp().editRecVal, 48, "2", "0", "0", "0", "48"},
                          {Rp().editRecVal, -1, "2", "1", "0", "0", "49"},
                          {Rp().editInterval, -2, "2", "0", "59", "11", "49"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.value);
        if (s.value >= 0) Enter(s.field, s.value);
        if (s.value < 0) ClickArrow(s.field, s.value == -1);
        if (s.field == Rp().editInterval && s.value == 2) continue;  // the count is not known
        EXPECT_EQ(
            QStringList({Rp().dispDays->text(), Rp().dispHours->text(), Rp().dispMinutes->text(),
                         Rp().dispSeconds->text(), Rp().dispRemaining->text()}),
            QStringList({s.days, s.hours, s.minutes, s.seconds, s.remaining}));
    }
    EXPECT_EQ(Rp().editRecVal->minimum(), 1) << "a recording must be able to reach its count";
    EXPECT_EQ(popups.Count(), 0);
}

// SELECT FILE writes the header; an existing file is taken (and emptied) only on yes; a cancel or
// a file that cannot be made keeps the file chosen before. Without a file, or with the file-name
// question answered no, nothing is fetched.
TEST_F(RecorderTest, TheRecordFileIsChosenWithItsQuestions) {
    OpenRecorder();
    Click(Rp().buttonStartRecord);
    EXPECT_EQ(popups.Texts(), (QStringList{kNoFile}));
    popups.Clear();
    SelectFile(recordPath);
    const auto request = popups.Records().at(0).request;
    EXPECT_EQ(request.defaultFileName, "record.dat");
    EXPECT_EQ(request.fileTypeList, "*.dat");
    EXPECT_EQ(request.title, "FILENAME!");
    EXPECT_EQ(request.startDirectory, scope->State().files.proj_dir);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(Rp().dispRecFile->text(), recordPath);
    EXPECT_EQ(FileContent(recordPath), RecordFileHeader());

    const QString other = dataDir.filePath("other.dat");
    {
        QFile file(other);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("older measurements\r\n");
    }
    struct Case {
        const char* what;
        int confirm;     // the answer to the question about an existing file; -1: none asked
        QString select;  // the dialog's answer; empty: cancelled
        QStringList texts;
        QString chosen;
        QByteArray otherContent;
    };
    const Case cases[] = {
        {"existing, no", 0, other, {QString(), kFileExists}, recordPath, "older measurements\r\n"},
        {"existing, yes", 1, other, {QString(), kFileExists, kWarning}, other, RecordFileHeader()},
        {"cancelled", -1, QString(), {QString(), kNoFile}, other, RecordFileHeader()},
        {"cannot be made",
         -1,
         dataDir.filePath("missing/record.dat"),
         {QString(), "FILE ERROR!"},
         other,
         RecordFileHeader()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        popups.Clear();
        if (c.confirm >= 0) popups.QueueConfirm(c.confirm == 1);
        if (c.select.isEmpty()) popups.QueueFileCancel();
        if (!c.select.isEmpty()) popups.QueueFileSelection(c.select);
        Click(Rp().buttonSelRecFile);
        QStringList seen = popups.Texts();
        if (popups.Titles().value(1) == "FILE ERROR!") seen[1] = "FILE ERROR!";
        EXPECT_EQ(seen, c.texts);
        if (seen.size() > 2) EXPECT_EQ(popups.Titles().value(2), kAttention);
        EXPECT_EQ(Rp().dispRecFile->text(), c.chosen);
        EXPECT_EQ(FileContent(other), c.otherContent);
    }
    popups.Clear();
    popups.QueueConfirm(false);
    Click(Rp().buttonStartRecord);
    EXPECT_EQ(popups.Texts(), (QStringList{kFileName}));
    EXPECT_TRUE(SensorOrders().empty());
}

// A timed recording fetches one frame (order 19) per line until its count, with its controls
// locked meanwhile; each line holds the frame the graph received for it. A second recording
// appends below the first and the graph starts again.
TEST_F(RecorderTest, TimedRecordingWritesOneLinePerFrameUntilTheCount) {
    PrepareTimed(2);
    bool locked = false;
    StartRecord([&] {
        if (Sensor().RequestCount() < 1) return false;
        locked = Rp().editInterval->isReadOnly() && Rp().editRecVal->isReadOnly() &&
                 !Rp().buttonStartRecord->isEnabled() && !Rp().editSelectDataRec->isEnabled() &&
                 Rp().buttonStartRecord->styleSheet().contains("#ff0000");
        return true;
    });
    EXPECT_TRUE(locked);
    EXPECT_EQ(popups.Texts(), (QStringList{kFileName, kWarning, kSaved}));
    EXPECT_EQ(popups.Titles(), (QStringList{kAttention, kAttention, "INFO!"}));
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19}));
    EXPECT_EQ(Rp().dispRecordedValues->text(), "2");
    EXPECT_EQ(Rp().dispRemaining->text(), "0");
    ASSERT_EQ(Samples(), 2);
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    ExpectLine(lines[0], Plotted(0));
    ExpectLine(lines[1], Plotted(1));
    const LiveValues& live = scope->State().live;
    EXPECT_EQ(Plotted(1), RecordValuesOf(live));
    EXPECT_EQ(Rp().dispRed->text().toUInt(), live.dataR);
    EXPECT_EQ(Rp().dispTemp->text().toUInt(), live.dataTemp);
    EXPECT_EQ(Rp().barBlue->value(), std::min<int>(live.dataB, 4095));
    EXPECT_FALSE(Rp().editInterval->isReadOnly());
    EXPECT_TRUE(Rp().buttonStartRecord->isEnabled() && Rp().editSelectDataRec->isEnabled());
    EXPECT_TRUE(Rp().buttonStartRecord->styleSheet().contains("#e0e0e0"));

    Enter(Rp().editRecVal, 1);
    StartRecord();
    EXPECT_EQ(Lines().size(), 3);
    EXPECT_EQ(Samples(), 1);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "1");
}

// A recording ended early keeps exactly the frames that came: by STOP during the interval wait,
// by closing the recorder, or by a sensor that stops answering (one report, no invented line).
TEST_F(RecorderTest, ARecordingEndedEarlyWritesTheFramesThatCame) {
    struct Case {
        const char* what;
        QAbstractButton* endedBy;  // clicked after `after` requests; none: the sensor goes silent
        std::size_t after;
        int lines;
        QStringList texts;
    };
    const Case cases[] = {
        {"STOP", Rp().buttonStopRecord, 2, 2, {kFileName, kWarning, kSaved}},
        {"CLOSE", Rp().buttonCloseRecorder, 1, 1, {kFileName, kWarning, kSaved}},
        {"a silent sensor",
         nullptr,
         0,
         1,
         {kFileName, kWarning, Text(info::InfoTimeoutVer), kSaved}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QFile::remove(recordPath) || !QFile::exists(recordPath));
        const bool silent = c.endedBy == nullptr;
        Sensor().ClearFaults();
        if (silent) {
            sim::Fault fault;
            fault.kind = sim::FaultKind::NoReply;
            fault.order = 19;
            fault.skip = 1;
            Sensor().AddFault(fault);
        }
        PrepareTimed(5);
        Sensor().ClearRequests();
        StartRecord([&] {
            if (Sensor().RequestCount() < c.after) return false;
            if (c.endedBy) Click(c.endedBy);
            return true;
        });
        EXPECT_EQ(popups.Texts(), c.texts);
        EXPECT_EQ(SensorOrders(), std::vector<int>(silent ? 2 : c.lines, 19));
        const QList<QByteArray> lines = Lines();
        ASSERT_EQ(lines.size(), c.lines);
        ExpectLine(lines.last(), Plotted(c.lines - 1));
        EXPECT_EQ(Rp().dispRecordedValues->text(), QString::number(c.lines));
        EXPECT_EQ(Rp().dispRemaining->text(), QString::number(5 - c.lines));
        EXPECT_EQ(scope->State().flags.pollrecord, 0);
        if (silent) EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
        if (silent) EXPECT_EQ(popups.Titles().value(2), scope->State().exchange.version.Text());
        EXPECT_EQ(Main().isVisible(), !Rp().isVisible());
        if (Rp().isVisible()) Click(Rp().buttonCloseRecorder);
    }
}

TEST_F(RecorderTest, LinesThatCannotBeWrittenAreReportedOnceCountedAndTheRecordingGoesOn) {
    // The record file's folder goes away for two lines (a share that drops, a stick pulled out)
    // and comes back.
    QDir dir(dataDir.path());
    ASSERT_TRUE(dir.mkdir("share"));
    recordPath = dir.filePath("share/record.dat");
    PrepareTimed(4);
    StartRecord([&] {
        const int taken = Rp().dispRecordedValues->text().toInt();
        if (taken == 1 && dir.exists("share")) EXPECT_TRUE(dir.rename("share", "gone"));
        if (taken == 3 && dir.exists("gone")) EXPECT_TRUE(dir.rename("gone", "share"));
        return taken >= 3 && dir.exists("share");
    });
    ASSERT_EQ(popups.Count(), 4) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Titles().value(2), "FILE ERROR!");
    EXPECT_TRUE(popups.Texts().value(2).contains(recordPath));
    EXPECT_EQ(popups.LastText(), kSaved);
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19, 19, 19}));
    EXPECT_EQ(Rp().dispRecordedValues->text(), "4");
    EXPECT_EQ(Rp().dispLostLines->text(), "2");
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    ExpectLine(lines[0], Plotted(0));
    ExpectLine(lines[1], Plotted(3));
    EXPECT_EQ(Samples(), 4);
}

// Polling shows frames and writes nothing until MANUAL RECORD, which appends the last frame and
// feeds the graph; entering the polling mode again restarts the counter and the graph.
TEST_F(RecorderTest, PollingShowsFramesAndManualRecordAppendsTheLastOne) {
    OpenRecorder();
    SelectFile(recordPath);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    EXPECT_TRUE(Rp().buttonStartPolling->isVisible() && Rp().buttonManualRecord->isVisible());
    EXPECT_FALSE(Rp().buttonStartRecord->isVisible() || Rp().editInterval->isVisible() ||
                 Rp().dispRemaining->isVisible());
    for (int i = 0; i < 3; ++i) Click(Rp().buttonManualRecord);
    EXPECT_TRUE(SensorOrders().empty());
    QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    for (const QByteArray& line : lines) ExpectLine(line, RecordValuesOf(scope->State().live));
    EXPECT_LE(lines[0].mid(13, 8), lines[2].mid(13, 8));

    popups.Clear();
    int manual = 0;
    RunLoop(Rp().buttonStartPolling, [&] {
        if (Sensor().RequestCount() < 2) return false;
        if (manual++ == 0) {
            EXPECT_FALSE(Rp().buttonStartPolling->isEnabled());
            EXPECT_FALSE(Rp().editSelectDataRec->isEnabled());
            EXPECT_EQ(Lines().size(), 3);
            Click(Rp().buttonManualRecord);
            return false;
        }
        Click(Rp().buttonStopPolling);
        return true;
    });
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_TRUE(Rp().buttonStartPolling->isEnabled());
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 19));
    lines = Lines();
    ASSERT_EQ(lines.size(), 4);
    ExpectLine(lines[3], Plotted(3));
    EXPECT_EQ(Rp().dispRed->text().toUInt(), scope->State().live.dataR);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "4");
    EXPECT_EQ(Samples(), 4) << "polled frames do not go to the graph";

    Choose(Rp().editSelectDataRec, kRecordTimed);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "0");
    EXPECT_EQ(Samples(), 0);
}

// SIGNAL shows one graph; hidden graphs keep their samples and show a disc in the trace colour
// on each; the calculation mode relabels and rescales them.
TEST_F(RecorderTest, SignalGraphShowsEveryRecordedSampleOfTheChosenSignal) {
    OpenRecorder();
    SelectFile(recordPath);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    constexpr int kLines = 12;
    LiveValues& live = scope->State().live;
    const auto red = [](int i) { return static_cast<std::uint16_t>(100 + 330 * i); };
    const auto temp = [](int i) { return static_cast<std::uint16_t>(20 + 5 * (i % 7)); };
    for (int i = 0; i < kLines; ++i) {
        live.dataR = red(i);
        live.dataTemp = temp(i);
        Click(Rp().buttonManualRecord);
    }
    Click(Rp().buttonCloseRecorder);
    Click(scope->SignalGraphOps().buttonShowGraph);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Gp()));
    EXPECT_EQ(Gp().VisibleGraph(), Gp().graphs[0]);
    for (auto [signal, value] : {std::pair{0, +red}, std::pair{6, +temp}}) {
        Choose(Gp().editSignal, signal);
        TracePlot* graph = Gp().VisibleGraph();
        ASSERT_EQ(graph, Gp().graphs[static_cast<std::size_t>(signal)]);
        EXPECT_TRUE(graph->StartsLine(0));
        EXPECT_FALSE(graph->StartsLine(1));
        const QImage shot = graph->grab().toImage();
        for (int i = 0; i < kLines; ++i) {
            const QPoint at(static_cast<int>(graph->xAxis->coordToPixel(i)),
                            static_cast<int>(graph->yAxis->coordToPixel(value(i))));
            EXPECT_EQ(shot.pixelColor(at), graph->TraceColour()) << signal << " sample " << i;
        }
    }
    EXPECT_EQ(Gp().graphs[6]->TraceColour(), QColor(0x008080));
    EXPECT_EQ(Gp().graphs[1]->TraceColour(), QColor(0x00FF00));
    EXPECT_EQ(Gp().displays[6]->text().toUInt(), live.dataTemp);

    // Each value axis holds the largest value its signal can take in the mode, without shrinking
    // the trace to a sliver.
    struct Mode {
        int calcmode;
        const char *x, *intensity, *recorderY;
        std::array<int, 6> largest;
    };
    for (const Mode& m : {Mode{1, "s", "M", "i", {4095, 4095, 4095, 10000, 4000, 1200}},
                          Mode{0, "X", "INT", "Y", {4095, 4095, 4095, 4095, 4095, 4095}}}) {
        Choose(Controls().editCalcmode, m.calcmode);
        EXPECT_EQ(Gp().labelX->text(), m.x);
        EXPECT_EQ(Gp().labelINT->text(), m.intensity);
        EXPECT_EQ(Gp().editSignal->itemText(3), m.x);
        EXPECT_EQ(Rp().labelY->text(), m.recorderY);
        for (std::size_t s = 0; s < m.largest.size(); ++s) {
            const QCPRange range = Gp().graphs[s]->yAxis->range();
            EXPECT_LE(range.lower, 0) << s;
            EXPECT_GE(range.upper, m.largest[s]) << s;
            EXPECT_LE(range.upper, 1.25 * m.largest[s]) << s;
        }
    }
    Gp().close();
    EXPECT_FALSE(Gp().isVisible());
    EXPECT_EQ(Gp().graphs[3]->PointCount(), kLines);
}

}  // namespace
}  // namespace tvx
