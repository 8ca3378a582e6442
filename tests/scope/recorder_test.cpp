// The data recorder and the signal graph in the running scope.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "record_file.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

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
    RecorderPanel& Rp() { return scope->Recorder(); }
    SignalGraphPanel& Gp() { return scope->SignalGraph(); }
    void OpenWithFile(int mode = kRecordTimed, int count = 5) {
        Click(scope->Recording().buttonOpenRecorder);
        popups.QueueFileSelection(recordPath);
        Click(Rp().buttonSelRecFile);
        Choose(Rp().editSelectDataRec, mode);
        if (mode == kRecordTimed) Enter(Rp().editInterval, 1);
        if (mode == kRecordTimed) Enter(Rp().editRecVal, count);
        Sensor().ClearRequests();
        popups.Clear();
    }
    void StartRecord(const std::function<bool()>& step = [] { return true; }) {
        popups.QueueConfirm(true);
        RunLoop(Rp().buttonStartRecord, step);
    }
    static QByteArray Content(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The record lines after the one header: MM-DD-YYYY, HH:MM:SS (zero-filled fields), values.
    QList<QByteArray> Lines() {
        const QByteArray content = Content(recordPath);
        EXPECT_TRUE(content.startsWith(RecordFileHeader()) && content.endsWith("\r\n"));
        EXPECT_EQ(content.count(RecordFileHeader()), 1);
        QList<QByteArray> lines = content.mid(RecordFileHeader().size()).split('\n');
        lines.removeLast();
        const QRegularExpression stamp(
            QStringLiteral("^\\d\\d-\\d\\d-\\d{4}\\0\\0\\t"
                           "\\d\\d:\\d\\d:\\d\\d\\0{4}\\t$"));
        for (QByteArray& line : lines) {
            EXPECT_TRUE(stamp.match(QString::fromLatin1(line.left(26))).hasMatch()) << line.data();
            line = line.mid(26) + '\n';
        }
        return lines;
    }
    int Samples() { return Gp().graphs[0]->PointCount(); }
    QByteArray Plotted(int sample) {
        RecordValues values{};
        for (std::size_t s = 0; s < values.size(); ++s)
            values[s] = static_cast<std::uint16_t>(Gp().graphs[s]->Point(sample).y());
        return RecordValueRow(values);
    }
    QTemporaryDir dataDir;
    QString recordPath = dataDir.filePath("record.dat");
};

TEST_F(RecorderTest, RecorderReplacesTheMainPanelAndTheRecordTimeFollowsItsFields) {
    Click(scope->Recording().buttonOpenRecorder);
    EXPECT_FALSE(Main().isVisible());
    struct Step {
        QSpinBox* field;
        int value;          // -1 / -2: one click on the up / down arrow
        const char* shown;  // days hours minutes seconds, remaining values
    };
    Enter(Rp().editInterval, 2);
    for (const Step& s :
         {Step{Rp().editRecVal, 3, "0 0 0 6 3"}, Step{Rp().editInterval, 3600, "0 3 0 0 3"},
          Step{Rp().editRecVal, 48, "2 0 0 0 48"}, Step{Rp().editRecVal, -1, "2 1 0 0 49"},
          Step{Rp().editInterval, -2, "2 0 59 11 49"}}) {
        if (s.value >= 0) Enter(s.field, s.value);
        if (s.value < 0) ClickArrow(s.field, s.value == -1);
        QStringList shown;
        for (QLineEdit* d : {Rp().dispDays, Rp().dispHours, Rp().dispMinutes, Rp().dispSeconds,
                             Rp().dispRemaining})
            shown << d->text();
        EXPECT_EQ(shown.join(' '), s.shown);
    }
    Rp().close();
    EXPECT_TRUE(Main().isVisible());
}

TEST_F(RecorderTest, TheRecordFileIsChosenWithItsQuestions) {
    Sensor().ClearRequests();
    Click(scope->Recording().buttonOpenRecorder);
    Click(Rp().buttonStartRecord);
    EXPECT_EQ(popups.Texts(), (QStringList{kNoFile}));
    const QString other = dataDir.filePath("other.dat");
    QFile file(other);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("older\r\n") == 7);
    file.close();
    struct Case {
        int confirm;     // the answer to the question about an existing file; -1: none asked
        QString select;  // the dialog's answer; empty: cancelled
        QString last;    // the last pop-up's text ("FILE ERROR!": its title)
        QString chosen;
        QByteArray otherContent;
    };
    const Case cases[] = {
        {-1, recordPath, QString(), recordPath, "older\r\n"},
        {0, other, kFileExists, recordPath, "older\r\n"},
        {1, other, kWarning, other, RecordFileHeader()},
        {-1, QString(), kNoFile, other, RecordFileHeader()},
        {-1, dataDir.filePath("missing/record.dat"), "FILE ERROR!", other, RecordFileHeader()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last.toStdString());
        popups.Clear();
        if (c.confirm >= 0) popups.QueueConfirm(c.confirm == 1);
        if (c.select.isEmpty()) popups.QueueFileCancel();
        if (!c.select.isEmpty()) popups.QueueFileSelection(c.select);
        Click(Rp().buttonSelRecFile);
        EXPECT_EQ(popups.LastTitle() == "FILE ERROR!" ? popups.LastTitle() : popups.LastText(),
                  c.last);
        EXPECT_EQ(Rp().dispRecFile->text(), c.chosen);
        EXPECT_EQ(Content(other), c.otherContent);
    }
    EXPECT_EQ(Content(recordPath), RecordFileHeader());
    popups.QueueConfirm(false);
    Click(Rp().buttonStartRecord);
    EXPECT_TRUE(SensorOrders().empty());
}

TEST_F(RecorderTest, TimedRecordingWritesOneLinePerFrameUntilTheCount) {
    OpenWithFile(kRecordTimed, 2);
    bool locked = false;
    StartRecord([&] {
        locked = Rp().editInterval->isReadOnly() && !Rp().buttonStartRecord->isEnabled() &&
                 !Rp().editSelectDataRec->isEnabled() &&
                 Rp().stateLine->activity->text().startsWith("RECORDING");
        return true;
    });
    EXPECT_TRUE(locked);
    EXPECT_EQ(popups.Texts(), (QStringList{kFileName, kWarning, kSaved}));
    EXPECT_EQ(SensorOrders(), (std::vector<int>{19, 19}));
    EXPECT_EQ(Lines(), QList<QByteArray>({Plotted(0), Plotted(1)}));
    EXPECT_EQ(Plotted(1), RecordValueRow(RecordValuesOf(scope->State().live)));
    EXPECT_TRUE(Rp().buttonStartRecord->isEnabled() && !Rp().editInterval->isReadOnly());
    Enter(Rp().editRecVal, 1);
    StartRecord();
    EXPECT_EQ(Lines().size(), 3);
    EXPECT_EQ(Samples(), 1);
}

TEST_F(RecorderTest, ARecordingEndedEarlyWritesTheFramesThatCame) {
    struct Case {
        QAbstractButton* endedBy;  // clicked after `after` requests; none: the sensor goes silent
        std::size_t after;
        int lines;
    };
    for (const Case& c : {Case{Rp().buttonStopRecord, 2, 2}, Case{Rp().buttonCloseRecorder, 1, 1},
                          Case{nullptr, 0, 1}}) {
        SCOPED_TRACE(c.lines);
        ASSERT_TRUE(!QFile::exists(recordPath) || QFile::remove(recordPath));
        Sensor().ClearFaults();
        sim::Fault silent;
        silent.kind = sim::FaultKind::NoReply;
        silent.order = 19;
        silent.skip = 1;
        if (!c.endedBy) Sensor().AddFault(silent);
        OpenWithFile();
        StartRecord([&] {
            if (Sensor().RequestCount() < c.after) return false;
            if (c.endedBy) Click(c.endedBy);
            return true;
        });
        EXPECT_EQ(popups.Count(), c.endedBy ? 3 : 4);
        EXPECT_EQ(FailureReports(popups), c.endedBy ? 0 : 1);
        EXPECT_EQ(ShownStale(Rp().dispTemp), !c.endedBy);
        EXPECT_EQ(SensorOrders().size(), c.endedBy ? c.after : 2u);
        const QList<QByteArray> lines = Lines();
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.last(), Plotted(c.lines - 1));
        if (Rp().isVisible()) Click(Rp().buttonCloseRecorder);
    }
}

TEST_F(RecorderTest, LinesThatCannotBeWrittenAreReportedOnceCountedAndTheRecordingGoesOn) {
    QDir dir(dataDir.path());
    ASSERT_TRUE(dir.mkdir("share"));
    recordPath = dir.filePath("share/record.dat");
    OpenWithFile(kRecordTimed, 4);
    StartRecord([&] {
        const int taken = Rp().dispRecordedValues->text().toInt();
        EXPECT_TRUE(taken != 1 || !dir.exists("share") || dir.rename("share", "gone"));
        EXPECT_TRUE(taken != 3 || !dir.exists("gone") || dir.rename("gone", "share"));
        return taken >= 3 && dir.exists("share");
    });
    ASSERT_EQ(popups.Count(), 4) << popups.Texts().join('|').toStdString();
    EXPECT_EQ(popups.Titles().value(2), "FILE ERROR!");
    EXPECT_EQ(SensorOrders().size(), 4u);
    EXPECT_EQ(Rp().dispLostLines->text(), "2");
    EXPECT_EQ(Lines(), QList<QByteArray>({Plotted(0), Plotted(3)}));
}

TEST_F(RecorderTest, PollingShowsFramesAndManualRecordAppendsTheLastOne) {
    OpenWithFile(kRecordPolling);
    EXPECT_FALSE(Rp().buttonStartRecord->isVisible() || Rp().editInterval->isVisible());
    Click(Rp().buttonManualRecord);
    int manual = 0;
    RunLoop(Rp().buttonStartPolling, [&] {
        if (Sensor().RequestCount() < 2) return false;
        if (manual++ == 0) {
            EXPECT_FALSE(Rp().buttonStartPolling->isEnabled() ||
                         Rp().editSelectDataRec->isEnabled());
            EXPECT_EQ(Lines().size(), 1);
            Click(Rp().buttonManualRecord);
            return false;
        }
        Click(Rp().buttonStopPolling);
        return true;
    });
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 19));
    EXPECT_EQ(Lines(), QList<QByteArray>({Plotted(0), Plotted(1)}));
    EXPECT_EQ(Samples(), 2) << "polled frames do not go to the graph";
}

TEST_F(RecorderTest, SignalGraphShowsEveryRecordedSampleOfTheChosenSignal) {
    OpenWithFile(kRecordPolling);
    const auto red = [](int i) { return static_cast<std::uint16_t>(100 + 330 * i); };
    const auto temp = [](int i) { return static_cast<std::uint16_t>(20 + 5 * (i % 7)); };
    for (int i = 0; i < 12; ++i) {
        scope->State().live.dataR = red(i);
        scope->State().live.dataTemp = temp(i);
        Click(Rp().buttonManualRecord);
    }
    Click(Rp().buttonCloseRecorder);
    Click(scope->SignalGraphOps().buttonShowGraph);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Gp()));
    for (auto [signal, value] : {std::pair{0, +red}, std::pair{6, +temp}}) {
        Choose(Gp().editSignal, signal);
        TracePlot* graph = Gp().VisibleGraph();
        ASSERT_EQ(graph, Gp().graphs[static_cast<std::size_t>(signal)]);
        const QImage shot = graph->grab().toImage();
        for (int i = 0; i < 12; ++i) {
            const QPoint at(static_cast<int>(graph->xAxis->coordToPixel(i)),
                            static_cast<int>(graph->yAxis->coordToPixel(value(i))));
            EXPECT_EQ(shot.pixelColor(at), graph->TraceColour()) << signal << " sample " << i;
        }
    }
}

}  // namespace
}  // namespace tvx
