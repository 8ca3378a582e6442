// The data recorder and the signal graph in the running scope against the simulated sensor:
// timed recordings and polling with manual lines written to the record file, the file choice,
// stopping, a sensor that stops answering, and the graph fed with every recorded frame.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "fault_plan.h"
#include "info_texts.h"
#include "record_file.h"
#include "scope_fixture.h"
#include "sensor_orders.h"

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
    RecorderOperations& Ops() { return scope->Recording(); }
    SignalGraphPanel& Gp() { return scope->SignalGraph(); }

    void OpenRecorder() {
        Click(Ops().buttonOpenRecorder);
        ASSERT_TRUE(Rp().isVisible());
    }
    // SELECT FILE with the given answer of the file dialog.
    void SelectFile(const QString& path) {
        popups.QueueFileSelection(path);
        Click(Rp().buttonSelRecFile);
    }
    // START RECORD, answering the file-name question with yes.
    void StartRecord(const std::function<bool()>& step = [] { return true; }) {
        popups.Clear();
        popups.QueueConfirm(true);
        RunLoop(Rp().buttonStartRecord, step);
    }
    QByteArray FileContent() {
        QFile file(recordPath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    // The record lines after the header.
    QList<QByteArray> Lines() {
        QByteArray content = FileContent();
        EXPECT_TRUE(content.startsWith(RecordFileHeader()));
        content.remove(0, RecordFileHeader().size());
        QList<QByteArray> lines = content.split('\n');
        EXPECT_TRUE(lines.last().isEmpty()) << "the file must end with CR LF";
        lines.removeLast();
        for (QByteArray& line : lines) line.append('\n');
        return lines;
    }
    // The value of signal `signal` in sample `sample` as the signal graph holds it.
    std::uint16_t Plotted(int signal, int sample) {
        TracePlot* graph = Gp().graphs[static_cast<std::size_t>(signal)];
        EXPECT_EQ(graph->LineCount(), 1);
        EXPECT_LT(sample, graph->PointCount());
        EXPECT_EQ(graph->Point(sample).x(), sample);
        return static_cast<std::uint16_t>(graph->Point(sample).y());
    }
    int Samples() { return Gp().graphs[0]->PointCount(); }
    RecordValues PlottedValues(int sample) {
        RecordValues values{};
        for (int s = 0; s < kSignalCount; ++s)
            values[static_cast<std::size_t>(s)] = Plotted(s, sample);
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
    std::vector<int> SensorOrders() { return Orders(Sensor().Requests()); }

    QTemporaryDir dataDir;
    QString recordPath;
};

TEST_F(RecorderTest, OpeningReplacesTheMainPanelAndClosingReturnsIt) {
    OpenRecorder();
    EXPECT_FALSE(Main().isVisible());
    // Mode 0: the timed recording's controls; the record time of the panel's interval and count.
    EXPECT_TRUE(Rp().buttonStartRecord->isVisible());
    EXPECT_TRUE(Rp().editInterval->isVisible());
    EXPECT_TRUE(Rp().dispRecordTime->isVisible());
    EXPECT_FALSE(Rp().buttonStartPolling->isVisible());
    EXPECT_FALSE(Rp().buttonManualRecord->isVisible());
    Click(Rp().buttonCloseRecorder);
    EXPECT_FALSE(Rp().isVisible());
    EXPECT_TRUE(Main().isVisible());
    // The window's own close does the same.
    OpenRecorder();
    Rp().close();
    EXPECT_FALSE(Rp().isVisible());
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(SensorOrders().empty());
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(RecorderTest, OpeningEndsTheLiveLoopAndIsDimmedWithTheOtherCommands) {
    RunLoop(Main().buttonGo, [&] {
        if (Sensor().RequestCount() < 1) return false;
        EXPECT_FALSE(Ops().buttonOpenRecorder->isEnabled());
        // SHOW GRAPH stays operable and ends the live loop.
        EXPECT_TRUE(Gp().isHidden());
        Click(scope->SignalGraphOps().buttonShowGraph);
        return true;
    });
    EXPECT_EQ(scope->State().flags.poll, 0);
    EXPECT_TRUE(Gp().isVisible());
    EXPECT_TRUE(Ops().buttonOpenRecorder->isEnabled());
    // The live loop does not feed the signal graph.
    EXPECT_EQ(Samples(), 0);
}

TEST_F(RecorderTest, RecordTimeFollowsIntervalAndCount) {
    OpenRecorder();
    Enter(Rp().editInterval, 2);
    Enter(Rp().editRecVal, 3);
    EXPECT_EQ(Rp().dispDays->text(), "0");
    EXPECT_EQ(Rp().dispHours->text(), "0");
    EXPECT_EQ(Rp().dispMinutes->text(), "0");
    EXPECT_EQ(Rp().dispSeconds->text(), "6");
    EXPECT_EQ(Rp().dispRemaining->text(), "3");
    Enter(Rp().editInterval, 3600);
    Enter(Rp().editRecVal, 48);
    EXPECT_EQ(Rp().dispDays->text(), "2");
    EXPECT_EQ(Rp().dispHours->text(), "0");
    EXPECT_EQ(Rp().dispSeconds->text(), "0");
    EXPECT_EQ(Rp().dispRemaining->text(), "48");
    // A step of the arrows counts at once: 49 values, then 3599 s between them.
    ClickArrow(Rp().editRecVal, true);
    EXPECT_EQ(Rp().dispRemaining->text(), "49");
    EXPECT_EQ(Rp().dispHours->text(), "1");
    ClickArrow(Rp().editInterval, false);
    EXPECT_EQ(Rp().dispDays->text(), "2");
    EXPECT_EQ(Rp().dispHours->text(), "0");
    EXPECT_EQ(Rp().dispMinutes->text(), "59");
    EXPECT_EQ(Rp().dispSeconds->text(), "11");
    // The count cannot be 0: a recording must be able to reach its count.
    EXPECT_EQ(Rp().editRecVal->minimum(), 1);
    EXPECT_EQ(Rp().editInterval->minimum(), 1);
}

TEST_F(RecorderTest, ChoosingTheFileWritesTheHeaderAndAnExistingFileOnlyOnYes) {
    OpenRecorder();
    SelectFile(recordPath);
    EXPECT_EQ(popups.Count(PopupKind::FileSelect), 1);
    const FileSelectRequest& request = popups.Records().at(0).request;
    EXPECT_EQ(request.defaultFileName, "record.dat");
    EXPECT_EQ(request.fileTypeList, "*.dat");
    EXPECT_EQ(request.title, "FILENAME!");
    EXPECT_EQ(request.startDirectory, scope->State().files.proj_dir);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(Rp().dispRecFile->text(), recordPath);
    EXPECT_EQ(FileContent(), RecordFileHeader());

    // An existing file, answer No: the file and the path display stay as they were.
    const QString other = dataDir.filePath("other.dat");
    {
        QFile file(other);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("older measurements\r\n");
    }
    popups.Clear();
    popups.QueueConfirm(false);
    SelectFile(other);
    EXPECT_EQ(popups.Texts(), (QStringList{QString(), kFileExists}));
    EXPECT_EQ(Rp().dispRecFile->text(), recordPath);
    QFile kept(other);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "older measurements\r\n");
    kept.close();

    // Yes: the warning, then the file holds only the new header.
    popups.Clear();
    popups.QueueConfirm(true);
    SelectFile(other);
    EXPECT_EQ(popups.Texts(), (QStringList{QString(), kFileExists, kWarning}));
    EXPECT_EQ(popups.Titles().value(2), kAttention);
    EXPECT_EQ(Rp().dispRecFile->text(), other);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), RecordFileHeader());

    // Cancelled: the no-file message; the path stays.
    popups.Clear();
    popups.QueueFileCancel();
    Click(Rp().buttonSelRecFile);
    EXPECT_EQ(popups.Texts(), (QStringList{QString(), kNoFile}));
    EXPECT_EQ(popups.Titles().value(1), kAttention);
    EXPECT_EQ(Rp().dispRecFile->text(), other);
    EXPECT_TRUE(SensorOrders().empty());
}

TEST_F(RecorderTest, TimedRecordingWritesOneLinePerFrameUntilTheCount) {
    OpenRecorder();
    SelectFile(recordPath);
    Enter(Rp().editInterval, 1);
    Enter(Rp().editRecVal, 2);
    bool lockedWhileRecording = false;
    StartRecord([&] {
        if (Sensor().RequestCount() < 1) return false;
        lockedWhileRecording = Rp().editInterval->isReadOnly() && Rp().editRecVal->isReadOnly() &&
                               !Rp().buttonStartRecord->isEnabled() &&
                               !Rp().editSelectDataRec->isEnabled() &&
                               Rp().buttonStartRecord->styleSheet().contains("#ff0000");
        return true;
    });
    EXPECT_TRUE(lockedWhileRecording);
    EXPECT_EQ(popups.Texts(), (QStringList{kFileName, kWarning, kSaved}));
    EXPECT_EQ(popups.Titles(), (QStringList{kAttention, kAttention, "INFO!"}));
    // One order-19 exchange per line, nothing else.
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19}));
    EXPECT_EQ(Rp().dispRecordedValues->text(), "2");
    EXPECT_EQ(Rp().dispRemaining->text(), "0");
    // Each line holds the frame the graph received for it, and the last one is on the displays.
    ASSERT_EQ(Samples(), 2);
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    ExpectLine(lines[0], PlottedValues(0));
    ExpectLine(lines[1], PlottedValues(1));
    const LiveValues& live = scope->State().live;
    EXPECT_EQ(PlottedValues(1), RecordValuesOf(live));
    EXPECT_EQ(Rp().dispRed->text().toUInt(), live.dataR);
    EXPECT_EQ(Rp().dispINT->text().toUInt(), live.dataINT);
    EXPECT_EQ(Rp().dispTemp->text().toUInt(), live.dataTemp);
    EXPECT_EQ(Rp().barBlue->value(), std::min<int>(live.dataB, 4095));
    // The controls are operable again.
    EXPECT_FALSE(Rp().editInterval->isReadOnly());
    EXPECT_TRUE(Rp().buttonStartRecord->isEnabled());
    EXPECT_TRUE(Rp().editSelectDataRec->isEnabled());
    EXPECT_TRUE(Rp().buttonStartRecord->styleSheet().contains("#e0e0e0"));

    // A second recording appends below the first; the header stays once, at the top, and the
    // signal graph starts again at sample 0.
    Enter(Rp().editRecVal, 1);
    StartRecord();
    EXPECT_EQ(Lines().size(), 3);
    EXPECT_EQ(FileContent().count(RecordFileHeader()), 1);
    EXPECT_EQ(Samples(), 1);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "1");
}

TEST_F(RecorderTest, StopDuringTheIntervalWaitWritesTheLineOfTheFrameFetched) {
    OpenRecorder();
    SelectFile(recordPath);
    Enter(Rp().editInterval, 1);
    Enter(Rp().editRecVal, 5);
    StartRecord([&] {
        if (Sensor().RequestCount() < 2) return false;
        Click(Rp().buttonStopRecord);
        return true;
    });
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19}));
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    ExpectLine(lines[1], PlottedValues(1));
    EXPECT_EQ(Rp().dispRecordedValues->text(), "2");
    EXPECT_EQ(Rp().dispRemaining->text(), "3");
    EXPECT_EQ(popups.LastText(), kSaved);
}

TEST_F(RecorderTest, SensorTimeOutEndsTheRecordingWithOneReportAndNoInventedLine) {
    sim::Fault fault;
    fault.kind = sim::FaultKind::NoReply;
    fault.order = 19;
    fault.skip = 1;
    Sensor().AddFault(fault);
    OpenRecorder();
    SelectFile(recordPath);
    Enter(Rp().editInterval, 1);
    Enter(Rp().editRecVal, 4);
    StartRecord();
    EXPECT_EQ(popups.Texts(),
              (QStringList{kFileName, kWarning, QString::fromUtf8(info::InfoTimeoutVer), kSaved}));
    EXPECT_EQ(popups.Titles().value(2), scope->State().exchange.version.Text());
    EXPECT_EQ(Main().dispStatus->text(), "TIMEOUT");
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19}));
    // Only the frame that came is in the file.
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 1);
    ExpectLine(lines[0], PlottedValues(0));
    EXPECT_EQ(Rp().dispRecordedValues->text(), "1");
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
}

TEST_F(RecorderTest, LinesThatCannotBeWrittenAreReportedOnceCountedAndTheRecordingGoesOn) {
    // The record file's folder goes away for two lines (a share that drops, a stick pulled out)
    // and comes back.
    QDir dir(dataDir.path());
    ASSERT_TRUE(dir.mkdir("share"));
    recordPath = dir.filePath("share/record.dat");
    OpenRecorder();
    SelectFile(recordPath);
    Enter(Rp().editInterval, 1);
    Enter(Rp().editRecVal, 4);
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
    EXPECT_EQ(Rp().dispRemaining->text(), "0");
    // The lines before and after the gap are in the file; the graph has every frame.
    const QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 2);
    ExpectLine(lines[0], PlottedValues(0));
    ExpectLine(lines[1], PlottedValues(3));
    EXPECT_EQ(Samples(), 4);

    // A file that cannot be made is not offered for recording.
    popups.Clear();
    SelectFile(dir.filePath("missing/record.dat"));
    EXPECT_EQ(popups.LastTitle(), "FILE ERROR!");
    EXPECT_EQ(Rp().dispRecFile->text(), recordPath);
}

TEST_F(RecorderTest, RecordingWithoutAFileAsksForOneAndFetchesNothing) {
    OpenRecorder();
    popups.Clear();
    Click(Rp().buttonStartRecord);
    EXPECT_EQ(popups.Texts(), (QStringList{kNoFile}));
    EXPECT_TRUE(SensorOrders().empty());
    // Answering No to the file-name question records nothing either.
    SelectFile(recordPath);
    popups.Clear();
    popups.QueueConfirm(false);
    Click(Rp().buttonStartRecord);
    EXPECT_EQ(popups.Texts(), (QStringList{kFileName}));
    EXPECT_TRUE(SensorOrders().empty());
    EXPECT_EQ(FileContent(), RecordFileHeader());
}

TEST_F(RecorderTest, PollingShowsFramesAndManualRecordAppendsTheLastOne) {
    OpenRecorder();
    SelectFile(recordPath);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    EXPECT_TRUE(Rp().buttonStartPolling->isVisible());
    EXPECT_TRUE(Rp().buttonManualRecord->isVisible());
    EXPECT_FALSE(Rp().buttonStartRecord->isVisible());
    EXPECT_FALSE(Rp().editInterval->isVisible());
    EXPECT_FALSE(Rp().dispRemaining->isVisible());
    EXPECT_TRUE(Rp().dispRecordedValues->isVisible());

    // Three manual lines without polling: the same values, the counter up to 3.
    for (int i = 0; i < 3; ++i) Click(Rp().buttonManualRecord);
    EXPECT_TRUE(SensorOrders().empty());
    EXPECT_EQ(Rp().dispRecordedValues->text(), "3");
    QList<QByteArray> lines = Lines();
    ASSERT_EQ(lines.size(), 3);
    for (const QByteArray& line : lines) ExpectLine(line, RecordValuesOf(scope->State().live));
    EXPECT_LE(lines[0].mid(13, 8), lines[2].mid(13, 8));
    EXPECT_EQ(Samples(), 3);

    // Polling: frames shown, nothing written until MANUAL RECORD.
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
    EXPECT_GE(orders.size(), 2u);
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 19));
    lines = Lines();
    ASSERT_EQ(lines.size(), 4);
    ExpectLine(lines[3], PlottedValues(3));
    EXPECT_EQ(Rp().dispRed->text().toUInt(), scope->State().live.dataR);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "4");
    // Polled frames do not go to the graph, only the manual line did.
    EXPECT_EQ(Samples(), 4);

    // Changing into mode 1 again restarts the counter and the graph.
    Choose(Rp().editSelectDataRec, kRecordTimed);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "0");
    EXPECT_EQ(Samples(), 0);
    Click(Rp().buttonManualRecord);
    EXPECT_EQ(Rp().dispRecordedValues->text(), "1");
    EXPECT_EQ(Samples(), 1);
}

TEST_F(RecorderTest, ClosingTheRecorderEndsARunningRecording) {
    OpenRecorder();
    SelectFile(recordPath);
    Enter(Rp().editInterval, 1);
    Enter(Rp().editRecVal, 100);
    StartRecord([&] {
        if (Sensor().RequestCount() < 1) return false;
        Click(Rp().buttonCloseRecorder);
        return true;
    });
    EXPECT_TRUE(Main().isVisible());
    EXPECT_FALSE(Rp().isVisible());
    EXPECT_EQ(scope->State().flags.pollrecord, 0);
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19}));
    EXPECT_EQ(Lines().size(), 1);
    EXPECT_EQ(popups.LastText(), kSaved);
}

TEST_F(RecorderTest, SignalSelectionShowsOneGraphAndTheCalculationModeRelabels) {
    OpenRecorder();
    SelectFile(recordPath);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    Click(Rp().buttonManualRecord);
    Click(Rp().buttonManualRecord);
    Click(Rp().buttonCloseRecorder);
    Click(scope->SignalGraphOps().buttonShowGraph);
    ASSERT_TRUE(Gp().isVisible());
    EXPECT_EQ(Gp().VisibleGraph(), Gp().graphs[0]);
    Choose(Gp().editSignal, 6);
    EXPECT_EQ(Gp().VisibleGraph(), Gp().graphs[6]);
    EXPECT_EQ(Gp().graphs[6]->TraceColour(), QColor(0x008080));
    EXPECT_EQ(Gp().graphs[1]->TraceColour(), QColor(0x00FF00));
    // Hidden graphs keep their samples; the first sample is a single point at X = 0.
    for (TracePlot* graph : Gp().graphs) {
        EXPECT_EQ(graph->PointCount(), 2);
        EXPECT_TRUE(graph->StartsLine(0));
        EXPECT_FALSE(graph->StartsLine(1));
    }
    EXPECT_EQ(Gp().displays[6]->text().toUInt(), scope->State().live.dataTemp);

    Choose(Controls().editCalcmode, 1);
    popups.Clear();
    EXPECT_EQ(Gp().labelX->text(), "s");
    EXPECT_EQ(Gp().labelINT->text(), "M");
    EXPECT_EQ(Gp().editSignal->itemText(3), "s");
    EXPECT_EQ(Gp().editSignal->itemText(5), "M");
    EXPECT_EQ(Gp().editSignal->itemText(0), "RED");
    EXPECT_EQ(Rp().labelY->text(), "i");
    EXPECT_EQ(Gp().graphs[3]->PointCount(), 2);
    // Each value axis holds the largest value its signal can take in the mode: raw R, G, B are
    // 12-bit; s, i, M reach 10000, 4000 and 1200; X, Y, INT are 12-bit again.
    const auto expectAxesHold = [&](const std::array<int, 6>& largest) {
        for (std::size_t s = 0; s < largest.size(); ++s) {
            const QCPRange range = Gp().graphs[s]->yAxis->range();
            EXPECT_LE(range.lower, 0) << s;
            EXPECT_GE(range.upper, largest[s]) << s;
            // Not so far beyond that the trace shrinks to a sliver.
            EXPECT_LE(range.upper, 1.25 * largest[s]) << s;
        }
    };
    expectAxesHold({4095, 4095, 4095, 10000, 4000, 1200});
    Choose(Controls().editCalcmode, 0);
    EXPECT_EQ(Gp().labelX->text(), "X");
    EXPECT_EQ(Rp().labelINT->text(), "INT");
    expectAxesHold({4095, 4095, 4095, 4095, 4095, 4095});

    // Closing the graph panel only hides it.
    Gp().close();
    EXPECT_FALSE(Gp().isVisible());
    EXPECT_EQ(Gp().graphs[0]->PointCount(), 2);
}

TEST_F(RecorderTest, GraphShownAfterRecordingWhileClosedShowsEverySample) {
    OpenRecorder();
    SelectFile(recordPath);
    Choose(Rp().editSelectDataRec, kRecordPolling);
    // Manual lines of changing frames while the graph panel is closed.
    constexpr int kLines = 12;
    LiveValues& live = scope->State().live;
    const auto red = [](int i) { return static_cast<std::uint16_t>(100 + 330 * i); };
    const auto temp = [](int i) { return static_cast<std::uint16_t>(20 + 5 * (i % 7)); };
    for (int i = 0; i < kLines; ++i) {
        live.dataR = red(i);
        live.dataTemp = temp(i);
        Click(Rp().buttonManualRecord);
    }
    EXPECT_TRUE(Gp().isHidden());
    Click(Rp().buttonCloseRecorder);
    Click(scope->SignalGraphOps().buttonShowGraph);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Gp()));
    // The visible graph and one shown only later by SIGNAL: a disc in the trace colour on every
    // sample.
    for (auto [signal, value] : {std::pair{0, +red}, std::pair{6, +temp}}) {
        Choose(Gp().editSignal, signal);
        TracePlot* graph = Gp().VisibleGraph();
        ASSERT_EQ(graph, Gp().graphs[static_cast<std::size_t>(signal)]);
        const QImage shot = graph->grab().toImage();
        for (int i = 0; i < kLines; ++i) {
            const QPoint at(static_cast<int>(graph->xAxis->coordToPixel(i)),
                            static_cast<int>(graph->yAxis->coordToPixel(value(i))));
            EXPECT_EQ(shot.pixelColor(at), graph->TraceColour()) << signal << " sample " << i;
        }
    }
}

TEST_F(RecorderTest, EveryControlExplainsItself) {
    using namespace info;
    ExpectHelp(Ops().buttonOpenRecorder, InfoButtonOpenRecorder);
    ExpectHelp(scope->SignalGraphOps().buttonShowGraph, InfoButtonShowGraph);
    OpenRecorder();
    RecorderPanel& rp = Rp();
    ExpectHelp(rp.buttonCloseRecorder, InfoButtonCloseRecorder);
    ExpectHelp(rp.buttonSelRecFile, InfoButtonSelRecFile);
    ExpectHelp(rp.dispRecFile, InfoDisRecFile);
    ExpectHelp(rp.buttonStartRecord, InfoButtonStartRecord);
    ExpectHelp(rp.buttonStopRecord, InfoButtonStopRecord);
    ExpectHelp(rp.editSelectDataRec, InfoEditSelDataRec);
    ExpectHelp(rp.editInterval, InfoEditInterval);
    ExpectHelp(rp.editRecVal, InfoEditRecVal);
    ExpectHelp(rp.dispDays, InfoDispRecordTime);
    ExpectHelp(rp.dispSeconds, InfoDispRecordTime);
    ExpectHelp(rp.dispRecordedValues, InfoDispRecordedValues);
    ExpectHelp(rp.dispRemaining, InfoDispRemaining);
    ExpectHelp(rp.dispTemp, InfoDispTemp);
    Choose(rp.editSelectDataRec, kRecordPolling);
    ExpectHelp(rp.buttonStartPolling, InfoButtonStartPolling);
    ExpectHelp(rp.buttonStopPolling, InfoButtonStopPolling);
    ExpectHelp(rp.buttonManualRecord, InfoButtonManualRecord);
    Click(rp.buttonCloseRecorder);
    Click(scope->SignalGraphOps().buttonShowGraph);
    ExpectHelp(Gp().editSignal, InfoEditSignal);
    ExpectHelp(Gp().VisibleGraph(), InfoGraphPanel);
}

}  // namespace
}  // namespace tvx
