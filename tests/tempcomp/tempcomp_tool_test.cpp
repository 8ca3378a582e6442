// The temperature-compensation tool in-process against the simulated sensor in a thread of its
// own, over TCP on 127.0.0.1 or a pseudo-terminal, with scripted pop-ups.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "Tvx3TempCompV61.h"
#include "display_checks.h"
#include "equation_file.h"
#include "help_check.h"
#include "info_texts.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"
#include "startup_probe.h"
#include "tool_fixture.h"
#include "user_actions.h"

namespace tvx::tempcomp {
namespace {

const QString kTimeoutText = QString::fromLatin1(info::tempcomp::InfoTimeoutVer);
const QString kVersion = QStringLiteral("TRIVEX-SIM V6.1");

class TempCompToolTest : public ToolWithSensor<Tvx3TempCompV61> {
  protected:
    TempCompPanel& Main() { return tool->Main(); }
    CompensationTables& Tables() { return tool->State().tables; }

    // Red: 10 T + 500; green: a falling square; blue: flat. All within the 16-bit factors.
    void EnterCurves() {
        Coefficients c{};
        c[3] = 10;
        c[4] = 500;
        c[7] = -0.05;
        c[9] = 1500;
        c[14] = 800;
        Main().SetCoefficientBoxes(c);
        Enter(Main().editSetValue[0], 1000);
        Enter(Main().editSetValue[1], 1200);
        Enter(Main().editSetValue[2], 900);
    }
    // The requests of a whole send: start, 32 root blocks, 3 x 10 factor blocks, handshake,
    // 5 reads.
    static std::vector<int> SendOrders() {
        std::vector<int> orders{43};
        orders.insert(orders.end(), 32, 50);
        for (int o : {40, 41, 42}) orders.insert(orders.end(), 10, o);
        for (int o : {7, 44, 45, 46, 51, 51}) orders.push_back(o);
        return orders;
    }
    void ExpectSensorHoldsTheTables() {
        const sim::SensorState s = Sensor().State();
        for (int T = 0; T < kSteps; ++T) {
            ASSERT_EQ(s.cfTables[0][T], Tables().dataCfRot[T]) << T;
            ASSERT_EQ(s.cfTables[1][T], Tables().dataCfGruen[T]) << T;
            ASSERT_EQ(s.cfTables[2][T], Tables().dataCfBlau[T]) << T;
        }
        for (int i = 0; i < kRootSize; ++i) ASSERT_EQ(s.rootTable[i], Tables().data3rdRoot[i]);
    }
    void ExpectTimeoutReport() {
        EXPECT_EQ(Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
        ASSERT_GE(popups.Count(PopupKind::Message), 1);
        EXPECT_EQ(popups.LastTitle(), kVersion);
        EXPECT_EQ(popups.LastText(), kTimeoutText);
    }
};

TEST(TempCompStartUp, TheWindowShowsTheStatusWhileTheFirstAttemptWaits) {
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3TempCompV61>(programDir.path());
}

TEST_F(TempCompToolTest, StartsWithTheHandshakeAloneAndShowsTheVersion) {
    ASSERT_TRUE(sensor.Start()) << sensor.Error().toStdString();
    StartOptions options;
    options.comprotocol = 1;
    options.tcpHost = QStringLiteral("127.0.0.1");
    options.tcpPort = QString::number(sensor.TcpPort());
    StartTool(options);  // forgets the requests: look at the state instead
    EXPECT_EQ(Main().windowTitle(), QStringLiteral("TRIVEX-TEMPCOMP-Scope V6.1"));
    EXPECT_EQ(Main().dispStatus->text(), kVersion);
    EXPECT_EQ(tool->Interface().dispConnectStatus->text(), kVersion);
    EXPECT_TRUE(tool->Interface().buttonAccept->isEnabled());
    EXPECT_EQ(tool->State().exchange.sync, 85);
    EXPECT_EQ(tool->State().exchange.anzframe, 18);
    EXPECT_EQ(tool->State().ipComboBoxFileName,
              QDir(programDir.path()).filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    // The main panel has no right-click help; the interface panel keeps its own.
    RightClick(Main().buttonSendCF);
    EXPECT_EQ(popups.Count(), 0);
    Click(Main().buttonConnect);
    ExpectHelp(popups, tool->Interface().buttonTryToConnect,
               info::tempcomp::InfoButtonTryToConnect);
    // The coefficients are not fitted: nothing was sent beyond the handshake.
    EXPECT_EQ(Sensor().State().cfTables, sim::DefaultSensorState().cfTables);
}

TEST_F(TempCompToolTest, SendOverTcpTransfersEveryBlockReadsBackAndReportsSuccess) {
    StartOverTcp();
    EnterCurves();
    Click(Main().buttonSendCF);
    EXPECT_EQ(Orders(Sensor().Requests()), SendOrders());
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("SUCCESS"));
    EXPECT_EQ(TempCompPanel::ButtonColour(Main().buttonSendCF), kColourLightGrey);
    EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();
    ExpectSensorHoldsTheTables();
    // The tables follow the boxes: red 10 T + 500 against 1000.
    EXPECT_EQ(Tables().dataCfRot[0], 2048);
    EXPECT_EQ(Tables().dataCfRot[99], 687);

    const auto requests = Sensor().Requests();
    // Start frame: sync, order, 0, nothing else.
    EXPECT_EQ(requests[0].Word(0), 85);
    for (int w = 2; w < 18; ++w) EXPECT_EQ(requests[0].Word(w), 0) << w;
    // Root block 31 carries entries 248 ... 255.
    const auto& root31 = requests[32];
    EXPECT_EQ(root31.Order(), 50);
    EXPECT_EQ(root31.Word(2), 31);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(root31.Word(3 + k), Tables().data3rdRoot[248 + k]);
    // Blue block 9 carries entries 90 ... 99.
    const auto& blue9 = requests[62];
    EXPECT_EQ(blue9.Order(), 42);
    EXPECT_EQ(blue9.Word(2), 9);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(blue9.Word(3 + k), Tables().dataCfBlau[90 + k]);
    // The second half of the root table is asked for from 128.
    EXPECT_EQ(requests[68].Word(2), 128);
    EXPECT_EQ(Tables().saved3rdRoot, Tables().data3rdRoot);
}

TEST_F(TempCompToolTest, SendOverASerialLineReadsBackTheSameTables) {
    StartOverPty();
    EnterCurves();
    Click(Main().buttonSendCF);
    EXPECT_EQ(Orders(Sensor().Requests()), SendOrders());
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("SUCCESS"));
    ExpectSensorHoldsTheTables();
}

// What the panel shows during the transfer's pauses: the old result is gone at once.
void ExpectTryToSaveWhileSending(TempCompPanel& main) {
    main.dispSaveResult->setText(QStringLiteral("SUCCESS"));
    QString seenResult;
    std::uint32_t seenColour = 0;
    QObject probe;
    QTimer::singleShot(300, &probe, [&] {
        seenResult = main.dispSaveResult->text();
        seenColour = TempCompPanel::ButtonColour(main.buttonSendCF);
    });
    Click(main.buttonSendCF);
    EXPECT_EQ(seenResult, QStringLiteral("TRY TO SAVE"));
    EXPECT_EQ(seenColour, kColourRed);
    EXPECT_EQ(main.dispSaveResult->text(), QStringLiteral("SUCCESS"));
}

TEST_F(TempCompToolTest, TheTransferShowsTryToSaveWhileItRunsOverTcp) {
    StartOverTcp();
    EnterCurves();
    ExpectTryToSaveWhileSending(Main());
}

TEST_F(TempCompToolTest, TheTransferShowsTryToSaveWhileItRunsOverASerialLine) {
    StartOverPty();
    EnterCurves();
    ExpectTryToSaveWhileSending(Main());
}

TEST_F(TempCompToolTest, AFailedWriteEndsTheTransferAtOnce) {
    StartOverTcp();
    EnterCurves();
    // The sensor hangs up after the fifth root block: the sixth cannot be written.
    Sensor().AddFault(*sim::Fault::Parse(QStringLiteral("disconnect:5,order=50"), nullptr));
    // The report comes while the transfer runs and the send button is red: it still reads well.
    QRgb colourDuringSend = 0;
    double contrastDuringSend = 0;
    popups.SetHook([&](const PopupRecord&) {
        colourDuringSend = BackgroundOf(Main().buttonSendCF);
        contrastDuringSend = TextContrast(Main().buttonSendCF);
    });
    Click(Main().buttonSendCF);
    popups.SetHook({});
    EXPECT_EQ(colourDuringSend, kColourRed);
    EXPECT_GE(contrastDuringSend, kReadableContrast);
    EXPECT_EQ(BackgroundOf(Main().buttonSendCF), kColourLightGrey);
    EXPECT_GE(TextContrast(Main().buttonSendCF), kReadableContrast);
    std::vector<int> sent{43};
    sent.insert(sent.end(), 5, 50);
    EXPECT_EQ(Orders(Sensor().Requests()), sent);
    ExpectTimeoutReport();
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("TRY TO SAVE"));
    EXPECT_EQ(TempCompPanel::ButtonColour(Main().buttonSendCF), kColourLightGrey);
    EXPECT_TRUE(Main().buttonSendCF->isEnabled());
}

TEST_F(TempCompToolTest, AShortReplyEndsTheReadBackWithoutAComparison) {
    StartOverTcp();
    EnterCurves();
    Sensor().AddFault(*sim::Fault::Parse(QStringLiteral("short:199,order=45,times=once"), nullptr));
    Click(Main().buttonSendCF);
    auto orders = SendOrders();
    orders.resize(orders.size() - 3);  // nothing after the green read
    EXPECT_EQ(Orders(Sensor().Requests()), orders);
    ExpectTimeoutReport();
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("TRY TO SAVE"));

    // GET compares what the sensor holds with the tables of the last computation.
    Sensor().ClearRequests();
    popups.Clear();
    Click(Main().buttonGet);
    EXPECT_EQ(Orders(Sensor().Requests()), (std::vector<int>{44, 45, 46, 51, 51}));
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("SUCCESS"));

    // An incomplete GET leaves no earlier result standing.
    Sensor().AddFault(*sim::Fault::Parse(QStringLiteral("noreply,order=51,times=once"), nullptr));
    Click(Main().buttonGet);
    ExpectTimeoutReport();
    EXPECT_EQ(Main().dispSaveResult->text(), QString());
}

TEST_F(TempCompToolTest, GetComparesWithTheLastComputationNotTheBoxes) {
    StartOverTcp();
    // Nothing computed yet: the tables are all 0, the sensor's are not.
    Click(Main().buttonGet);
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("FAILURE"));
    EnterCurves();
    Click(Main().buttonSendCF);
    ASSERT_EQ(Main().dispSaveResult->text(), QStringLiteral("SUCCESS"));
    // A changed box without a recomputation changes nothing a GET compares.
    Main().editCoefficient[4]->setValue(700);
    Click(Main().buttonGet);
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("SUCCESS"));
    // Recomputed factors no longer match the sensor's.
    Click(Main().buttonCalcCurves);
    Click(Main().buttonCalcCalib);
    Click(Main().buttonGet);
    EXPECT_EQ(Main().dispSaveResult->text(), QStringLiteral("FAILURE"));
}

TEST_F(TempCompToolTest, FactorsThatDoNotFitAreNeverSent) {
    StartOverTcp();
    EnterCurves();
    Main().editCoefficient[14]->setValue(12);  // blue flat at 12: 900 * 1024 / 12 = 76800
    Click(Main().buttonSendCF);
    EXPECT_TRUE(Sensor().Requests().empty());
    EXPECT_EQ(popups.LastTitle(), QString::fromLatin1(kFactorRangeTitle));
    EXPECT_EQ(popups.LastText(), QString::fromLatin1(kFactorRangeText));
    EXPECT_EQ(Main().dispSaveResult->text(), QString::fromLatin1(kNotSentText));
    EXPECT_EQ(Sensor().State().cfTables, sim::DefaultSensorState().cfTables);
    // Tables and charts hold the low 16 bits of the quotient, as the conversion leaves them.
    EXPECT_EQ(Tables().dataCfBlau[50], 76800 - 65536);
    EXPECT_EQ(Main().chartCf[2]->TraceValues(0)[50], 76800 - 65536);
    EXPECT_EQ(Main().chartCf[3]->TraceValues(2)[50], 76800 - 65536);
}

TEST_F(TempCompToolTest, ChartsSwitchAndFollowTheirTables) {
    StartUnconnected();  // the charts need no sensor
    WindowSizeWatch window(&Main());
    EnterCurves();
    auto visible = [](const std::array<StripChart*, 4>& charts) {
        int shown = -1, count = 0;
        for (int i = 0; i < 4; ++i)
            if (charts[i]->isVisible()) shown = i, ++count;
        return count == 1 ? shown : -1;
    };
    Click(Main().buttonShowGreen);
    window.Expect("after buttonShowGreen");
    EXPECT_EQ(visible(Main().chartCurve), 1);
    Click(Main().buttonCalcCurves);
    window.Expect("after buttonCalcCurves");
    EXPECT_EQ(visible(Main().chartCurve), 3);
    Click(Main().buttonShowRed);
    window.Expect("after buttonShowRed");
    EXPECT_EQ(visible(Main().chartCurve), 0);
    Click(Main().buttonShowBlue);
    window.Expect("after buttonShowBlue");
    EXPECT_EQ(visible(Main().chartCurve), 2);
    EXPECT_EQ(visible(Main().chartCf), 3);
    Click(Main().buttonShowCfGreen);
    window.Expect("after buttonShowCfGreen");
    EXPECT_EQ(visible(Main().chartCf), 1);
    Click(Main().buttonCalcCalib);
    window.Expect("after buttonCalcCalib");
    EXPECT_EQ(visible(Main().chartCf), 3);
    Click(Main().buttonShowCfRed);
    window.Expect("after buttonShowCfRed");
    EXPECT_EQ(visible(Main().chartCf), 0);
    Click(Main().buttonShowCfBlue);
    window.Expect("after buttonShowCfBlue");
    EXPECT_EQ(visible(Main().chartCf), 2);

    // Red 500 ... 1490: axis 450 ... 1540; the combined chart spans red's 500 to green's 1500.
    StripChart* red = Main().chartCurve[0];
    EXPECT_EQ(red->yAxis->range().lower, 450);
    EXPECT_EQ(red->yAxis->range().upper, 1540);
    EXPECT_EQ(red->TraceValues(0).size(), 100);
    EXPECT_EQ(red->TraceValues(0)[99], 1490);
    StripChart* all = Main().chartCurve[3];
    EXPECT_EQ(all->yAxis->range().lower, 450);
    EXPECT_EQ(all->yAxis->range().upper, 1550);
    EXPECT_EQ(Main().chartCurve[1]->yAxis->range().lower,
              static_cast<int>(1500 - 0.05 * 99 * 99) - 50);
    EXPECT_EQ(all->TraceValues(1)[10], 1495);
    StripChart* cfRed = Main().chartCf[0];
    EXPECT_EQ(cfRed->yAxis->range().lower, 687 - 50);
    EXPECT_EQ(cfRed->yAxis->range().upper, 2048 + 50);
    EXPECT_EQ(Main().chartCf[3]->TraceValues(2)[0], 1152);  // 900 * 1024 / 800

    // The temperature step shows the three curves there.
    Enter(Main().editTemp, 20);
    EXPECT_EQ(Main().dispCurve[0]->text(), QStringLiteral("700"));
    EXPECT_EQ(Main().dispCurve[1]->text(), QStringLiteral("1480"));
    EXPECT_EQ(Main().dispCurve[2]->text(), QStringLiteral("800"));
    EXPECT_EQ(Main().editTemp->maximum(), 99);
}

TEST_F(TempCompToolTest, EquationFilesKeepTheBoxesAndNothingElse) {
    StartUnconnected();
    EnterCurves();
    Main().editCoefficient[0]->setValue(-1.25e-7);
    const Coefficients saved = Main().CoefficientBoxes();
    const QString path = QDir(programDir.path()).filePath(QStringLiteral("curves.equ"));
    popups.QueueFileSelection(path);
    Click(Main().buttonSaveEquation);
    ASSERT_EQ(popups.Count(PopupKind::FileSelect), 1);
    const FileSelectRequest& request = popups.Records().back().request;
    EXPECT_EQ(request.title, QStringLiteral("equation"));
    EXPECT_EQ(request.defaultFileName, QStringLiteral("equation.equ"));
    EXPECT_EQ(request.fileTypeList, QStringLiteral("*.equ"));
    EXPECT_EQ(request.startDirectory, programDir.path());
    EXPECT_TRUE(request.forSaving);
    EXPECT_EQ(ReadEquationFile(path.toStdString()).coefficients, saved);

    // Loading fills the boxes only: no chart and no table changes until the next computation.
    Click(Main().buttonCalcCurves);
    const auto curve = Tables().dataRot;
    for (auto* box : Main().editCoefficient) box->setValue(1);
    popups.QueueFileSelection(path);
    Click(Main().buttonGetEquation);
    EXPECT_FALSE(popups.Records().back().request.forSaving);
    EXPECT_EQ(Main().CoefficientBoxes(), saved);
    EXPECT_EQ(Tables().dataRot, curve);
    EXPECT_EQ(Tables().RX4, saved[0]);

    // A malformed file is refused and changes nothing; a cancel does nothing at all.
    QFile bad(QDir(programDir.path()).filePath(QStringLiteral("bad.equ")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("1\n2\n3\n");
    bad.close();
    Main().editCoefficient[4]->setValue(123);
    const Coefficients before = Main().CoefficientBoxes();
    popups.QueueFileSelection(bad.fileName());
    Click(Main().buttonGetEquation);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("FILE ERROR!"));
    EXPECT_TRUE(popups.LastText().contains(QStringLiteral("3 lines")));
    EXPECT_EQ(Main().CoefficientBoxes(), before);
    const int shown = popups.Count();
    popups.QueueFileCancel();
    Click(Main().buttonGetEquation);
    EXPECT_EQ(popups.Count(), shown + 1);
    EXPECT_EQ(Main().CoefficientBoxes(), before);
}

TEST_F(TempCompToolTest, CoefficientsKeepFullPrecisionFromFileToTablesToFile) {
    StartUnconnected();
    const std::string text =
        "1e-300\n-1.2345678901234567e-13\n1e-13\n   1.234567e-09 \n1000.1234567890123\n"
        "0\n-0.000000000000123\n0.1\n-12345678901234567890\n1500\n"
        "2.2250738585072014e-308\n-1e-13\n1.7976931348623157e+308\n.5\n800\n";
    const auto parsed = ParseEquationText(text);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    const QString path = QDir(programDir.path()).filePath(QStringLiteral("exact.equ"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.c_str());
    file.close();
    popups.QueueFileSelection(path);
    Click(Main().buttonGetEquation);
    EXPECT_EQ(Main().CoefficientBoxes(), parsed.coefficients);
    // Readable: the shortest text of each value, in exponent notation where that is shorter.
    EXPECT_EQ(Main().editCoefficient[2]->text(), QStringLiteral("1e-13"));
    EXPECT_EQ(Main().editCoefficient[3]->text(), QStringLiteral("1.234567e-09"));
    EXPECT_EQ(Main().editCoefficient[4]->text(), QStringLiteral("1000.1234567890123"));

    // The tables are computed from exactly these values.
    Click(Main().buttonCalcCurves);
    CompensationTables expected;
    CalcCurves(expected, parsed.coefficients);
    EXPECT_EQ(Tables().CoefficientValues(), parsed.coefficients);
    EXPECT_EQ(Tables().dataRot, expected.dataRot);
    EXPECT_EQ(Tables().dataGruen, expected.dataGruen);

    // Saved again, the file holds the same doubles.
    const QString again = QDir(programDir.path()).filePath(QStringLiteral("again.equ"));
    popups.QueueFileSelection(again);
    Click(Main().buttonSaveEquation);
    EXPECT_EQ(ReadEquationFile(again.toStdString()).coefficients, parsed.coefficients);

    // Typed values are taken exactly; text that is no number is not taken.
    CoefficientBox* box = Main().editCoefficient[0];
    struct Typed {
        const char* keys;
        double value;
        const char* shown;
    };
    const Typed typed[] = {
        {"0.0000000000001", 1e-13, "1e-13"},
        {"-9.87654321012345e-200", -9.87654321012345e-200, "-9.87654321012345e-200"},
        {"12x3", 123, "123"},  // the letter is refused as it is typed
        {"1e", 123, "123"},    // unfinished: the box keeps its value
    };
    for (const Typed& t : typed) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(t.keys));
        QTest::keyClick(box, Qt::Key_Return);
        Main().editCoefficient[1]->setFocus();  // leaving the box
        EXPECT_EQ(box->value(), t.value) << t.keys;
        EXPECT_EQ(box->text(), QString::fromLatin1(t.shown)) << t.keys;
    }
}

TEST_F(TempCompToolTest, ClosingTheMainPanelEndsTheProgram) {
    StartUnconnected();
    EXPECT_FALSE(tool->QuitRequested());
    Main().close();
    EXPECT_TRUE(tool->QuitRequested());
    EXPECT_FALSE(Main().isVisible());
}

}  // namespace
}  // namespace tvx::tempcomp
