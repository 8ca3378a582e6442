// The temperature-compensation tool against the simulated sensor: in-process over TCP on
// 127.0.0.1 or a pseudo-terminal with scripted pop-ups, and as a program.
#include <QFile>

#include "Tvx3TempCompV61.h"
#include "display_checks.h"
#include "equation_file.h"
#include "help_check.h"
#include "program_process.h"
#include "sensor_orders.h"
#include "startup_probe.h"
#include "tempcomp_texts.h"
#include "tool_fixture.h"

namespace tvx::tempcomp {
namespace {

const QString kVersion = QStringLiteral("TRIVEX-SIM V6.1");

class TempCompToolTest : public ToolWithSensor<Tvx3TempCompV61> {
  protected:
    TempCompPanel& Main() { return tool->Main(); }
    CompensationTables& Tables() { return tool->State().tables; }

    // Red: 10 T + 500; green: a falling square; blue: flat. All within the 16-bit factors.
    void EnterCurves() {
        Main().SetCoefficientBoxes({0, 0, 0, 10, 500, 0, 0, -0.05, 0, 1500, 0, 0, 0, 0, 800});
        Enter(Main().editSetValue[0], 1000);
        Enter(Main().editSetValue[1], 1200);
        Enter(Main().editSetValue[2], 900);
    }
    QString Result() { return Main().dispSaveResult->text(); }
    void ExpectSendSucceeds() {
        std::vector<int> orders{43};  // start, 32 root blocks, 3 x 10 factor blocks, handshake,
        orders.insert(orders.end(), 32, 50);  // then the reads
        for (int o : {40, 41, 42}) orders.insert(orders.end(), 10, o);
        for (int o : {7, 44, 45, 46, 51, 51}) orders.push_back(o);
        EnterCurves();
        // During the transfer's pauses the old result is gone and the button is red.
        Main().dispSaveResult->setText(QStringLiteral("SUCCESS"));
        QString seen;
        std::uint32_t colour = 0;
        QObject probe;
        QTimer::singleShot(300, &probe, [&] {
            seen = Result();
            colour = TempCompPanel::ButtonColour(Main().buttonSendCF);
        });
        Click(Main().buttonSendCF);
        EXPECT_EQ(seen, QStringLiteral("TRY TO SAVE"));
        EXPECT_EQ(colour, kColourRed);
        EXPECT_EQ(Orders(Sensor().Requests()), orders);
        EXPECT_EQ(Result(), QStringLiteral("SUCCESS"));
        EXPECT_EQ(TempCompPanel::ButtonColour(Main().buttonSendCF), kColourLightGrey);
        EXPECT_EQ(popups.Count(), 0) << popups.LastText().toStdString();
        const sim::SensorState s = Sensor().State();
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_TRUE(std::equal(Tables().Factors(ch).begin(), Tables().Factors(ch).end(),
                                   s.cfTables[ch].begin()));
        EXPECT_TRUE(std::equal(Tables().data3rdRoot.begin(), Tables().data3rdRoot.end(),
                               s.rootTable.begin()));
    }
    QString WriteFile(const char* name, const std::string& text) {
        QFile file(QDir(programDir.path()).filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.c_str());
        return file.fileName();
    }
};

TEST(TempCompTexts, TheToolKeepsItsOwnWording) {
    const char* const report =
        " ATTENTION! \n \n TIMEOUT \n NO SERIAL CONNECTION TO SENSOR.                           "
        "\n The version of the sensor is displayed as the name of this dialog box.";
    EXPECT_STREQ(info::tempcomp::InfoTimeoutVer, report) << "27 blanks after SENSOR.";
}

TEST(TempCompProgram, StartsShownAndEndsWithTheRightCode) {
    const QString exe = QStringLiteral(TVX_TEMPCOMP_EXE);
    ExpectNoWindowSystemEndsTheStart(exe);
    ExpectTerminationEndsAProgramWithABoxOpen(exe);
    QTemporaryDir programDir;
    ExpectTheStartUpPaintsWhileItWaits<Tvx3TempCompV61>(programDir.path());
}

TEST_F(TempCompToolTest, StartsHelpsOnTheInterfacePanelOnlyAndSendsOverTcp) {
    StartOverTcp();
    EXPECT_EQ(Main().dispStatus->text(), kVersion);
    EXPECT_EQ(tool->State().ipComboBoxFileName,
              QDir(programDir.path()).filePath(QStringLiteral("IPComboBoxTvx3v61.ipa")));
    RightClick(Main().buttonSendCF);
    EXPECT_EQ(popups.Count(), 0);
    Click(Main().buttonConnect);
    ExpectHelp(popups, tool->Interface().buttonTryToConnect, info::InfoButtonTryToConnect);
    EXPECT_EQ(Sensor().RequestCount(), 0u);  // nothing beyond the handshake
    popups.Clear();
    ExpectSendSucceeds();

    // The sensor hangs up after the fifth root block: the transfer ends at once with one report
    // that comes while the button is red and still reads well.
    Sensor().AddFault(*sim::Fault::Parse(QStringLiteral("disconnect:5,order=50"), nullptr));
    Sensor().ClearRequests();
    double contrast = 0;
    popups.SetHook([&](auto&) { contrast = TextContrast(Main().buttonSendCF); });
    Click(Main().buttonSendCF);
    popups.SetHook({});
    EXPECT_GE(contrast, kReadableContrast);
    EXPECT_EQ(Orders(Sensor().Requests()), (std::vector<int>{43, 50, 50, 50, 50, 50}));
    EXPECT_EQ(popups.LastText(), QString::fromLatin1(info::tempcomp::InfoTimeoutVer));
    EXPECT_EQ(Result(), QStringLiteral("TRY TO SAVE"));
    EXPECT_EQ(TempCompPanel::ButtonColour(Main().buttonSendCF), kColourLightGrey);
    Main().close();
    EXPECT_TRUE(tool->QuitRequested());
    ForgetQuitRequest();
}

TEST_F(TempCompToolTest, SendOverASerialLineTransfersEveryBlockReadsBackAndReportsSuccess) {
    StartOverPty();
    ExpectSendSucceeds();
}

TEST_F(TempCompToolTest, GetComparesWithTheLastComputationAndUnfitFactorsAreNeverSent) {
    StartOverTcp();
    Click(Main().buttonGet);  // nothing computed yet: the tables are all 0, the sensor's are not
    EXPECT_EQ(Result(), QStringLiteral("FAILURE"));
    EnterCurves();
    Click(Main().buttonSendCF);
    ASSERT_EQ(Result(), QStringLiteral("SUCCESS"));
    Main().editCoefficient[4]->setValue(700);  // a box changed without a recomputation
    Click(Main().buttonGet);
    EXPECT_EQ(Result(), QStringLiteral("SUCCESS"));
    Click(Main().buttonCalcCurves);
    Click(Main().buttonCalcCalib);
    Click(Main().buttonGet);
    EXPECT_EQ(Result(), QStringLiteral("FAILURE"));
    // An unfinished read-back leaves no earlier result standing.
    Sensor().AddFault(*sim::Fault::Parse(QStringLiteral("noreply,order=51,times=once"), nullptr));
    Click(Main().buttonGet);
    EXPECT_EQ(popups.LastTitle(), kVersion);
    EXPECT_EQ(Result(), QString());

    const sim::SensorState before = Sensor().State();
    Main().editCoefficient[14]->setValue(12);  // blue flat at 12: 900 * 1024 / 12 = 76800
    Click(Main().buttonSendCF);
    EXPECT_EQ(Sensor().State(), before);  // nothing sent
    EXPECT_EQ(popups.LastTitle(), QString::fromLatin1(kFactorRangeTitle));
    EXPECT_EQ(popups.LastText(), QString::fromLatin1(kFactorRangeText));
    EXPECT_EQ(Result(), QString::fromLatin1(kNotSentText));
    // Tables and charts hold the low 16 bits of the quotient, as the conversion leaves them.
    EXPECT_EQ(Tables().dataCfBlau[50], 76800 - 65536);
    EXPECT_EQ(Main().chartCf[3]->TraceValues(2)[50], 76800 - 65536);
}

TEST_F(TempCompToolTest, ChartsSwitchAndFollowTheirTables) {
    StartUnconnected();  // the charts need no sensor
    WindowSizeWatch window(&Main());
    EnterCurves();
    using P = TempCompPanel;
    struct Case {
        QPushButton* P::*button;
        std::array<StripChart*, 4> P::*charts;
        int shown;
    };
    const Case cases[] = {
        {&P::buttonShowGreen, &P::chartCurve, 1}, {&P::buttonCalcCurves, &P::chartCurve, 3},
        {&P::buttonShowRed, &P::chartCurve, 0},   {&P::buttonShowBlue, &P::chartCurve, 2},
        {&P::buttonShowCfGreen, &P::chartCf, 1},  {&P::buttonCalcCalib, &P::chartCf, 3},
        {&P::buttonShowCfRed, &P::chartCf, 0},    {&P::buttonShowCfBlue, &P::chartCf, 2},
    };
    for (const Case& c : cases) {
        Click(Main().*c.button);
        window.Expect((Main().*c.button)->text().toStdString());
        for (int i = 0; i < 4; ++i) EXPECT_EQ((Main().*c.charts)[i]->isVisible(), i == c.shown);
    }
    // Red 500 ... 1490: axis 450 ... 1540; the combined chart spans red's 500 to green's 1500.
    EXPECT_EQ(Main().chartCurve[0]->yAxis->range().lower, 450);
    EXPECT_EQ(Main().chartCurve[0]->yAxis->range().upper, 1540);
    EXPECT_EQ(Main().chartCurve[3]->yAxis->range().upper, 1550);
    EXPECT_EQ(Main().chartCurve[3]->TraceValues(1)[10], 1495);
    EXPECT_EQ(Main().chartCf[0]->yAxis->range().lower, 687 - 50);
    EXPECT_EQ(Main().chartCf[3]->TraceValues(2)[0], 1152);  // 900 * 1024 / 800
    // The temperature step shows the three curves there.
    Enter(Main().editTemp, 20);
    EXPECT_EQ(Main().dispCurve[0]->text(), QStringLiteral("700"));
    EXPECT_EQ(Main().dispCurve[1]->text(), QStringLiteral("1480"));
    EXPECT_EQ(Main().dispCurve[2]->text(), QStringLiteral("800"));
}

TEST_F(TempCompToolTest, EquationFilesFillTheBoxesWithFullPrecision) {
    StartUnconnected();
    const std::string text =
        "1e-300\n-1.2345678901234567e-13\n1e-13\n   1.234567e-09 \n1000.1234567890123\n"
        "0\n-0.000000000000123\n0.1\n-12345678901234567890\n1500\n"
        "2.2250738585072014e-308\n-1e-13\n1.7976931348623157e+308\n.5\n800\n";
    const Coefficients exact = ParseEquationText(text).coefficients;
    popups.QueueFileSelection(WriteFile("exact.equ", text));
    Click(Main().buttonGetEquation);
    const FileSelectRequest& request = popups.Records().back().request;
    EXPECT_EQ((QStringList{request.title, request.defaultFileName, request.fileTypeList}),
              (QStringList{"equation", "equation.equ", "*.equ"}));
    EXPECT_EQ(request.startDirectory, programDir.path());
    EXPECT_FALSE(request.forSaving);
    EXPECT_EQ(Main().CoefficientBoxes(), exact);
    // Readable: the shortest text of each value, in exponent notation where that is shorter.
    EXPECT_EQ(Main().editCoefficient[3]->text(), QStringLiteral("1.234567e-09"));
    EXPECT_EQ(Main().editCoefficient[4]->text(), QStringLiteral("1000.1234567890123"));
    // Loading fills the boxes only; the tables are computed from exactly these values.
    EXPECT_EQ(Tables().dataRot, CompensationTables{}.dataRot);
    Click(Main().buttonCalcCurves);
    EXPECT_EQ(Tables().CoefficientValues(), exact);
    const QString again = QDir(programDir.path()).filePath(QStringLiteral("again.equ"));
    popups.QueueFileSelection(again);
    Click(Main().buttonSaveEquation);
    EXPECT_TRUE(popups.Records().back().request.forSaving);
    EXPECT_EQ(ReadEquationFile(again.toStdString()).coefficients, exact);

    // A malformed file is refused and changes nothing; a cancel does nothing at all.
    popups.QueueFileSelection(WriteFile("bad.equ", "1\n2\n3\n"));
    Click(Main().buttonGetEquation);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("FILE ERROR!"));
    EXPECT_TRUE(popups.LastText().contains(QStringLiteral("3 lines")));
    popups.QueueFileCancel();
    Click(Main().buttonGetEquation);
    EXPECT_EQ(Main().CoefficientBoxes(), exact);

    // Typed values are taken exactly; text that is no number is not taken.
    CoefficientBox* box = Main().editCoefficient[0];
    const std::tuple<const char*, double, const char*> typed[] = {
        {"0.0000000000001", 1e-13, "1e-13"},
        {"-9.87654321012345e-200", -9.87654321012345e-200, "-9.87654321012345e-200"},
        {"12x3", 123, "123"},  // the letter is refused as it is typed
        {"1e", 123, "123"},    // unfinished: the box keeps its value
    };
    for (const auto& [keys, value, shown] : typed) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(keys));
        QTest::keyClick(box, Qt::Key_Return);
        Main().editCoefficient[1]->setFocus();  // leaving the box
        EXPECT_EQ(box->value(), value) << keys;
        EXPECT_EQ(box->text(), QString::fromLatin1(shown)) << keys;
    }
}

}  // namespace
}  // namespace tvx::tempcomp
