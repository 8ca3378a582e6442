// Every action of the three programs takes the value a box shows, also when the text came
// without a commit (assistive technology, a script, typing and then a keyboard shortcut); a text
// that is no value stops the action with a message.
#include <QAccessible>
#include <QDir>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "equation_file.h"
#include "parameter_file.h"
#include "scope_fixture.h"
#include "shown_values.h"
#include "tool_fixture.h"

namespace tvx {
namespace {

// A box, the text it is given, the action that reads it, and what went out or into the file
// (none: the text is no value, so nothing goes out and a box names the box).
struct ShownValueCase {
    const char* box;
    QWidget* field;
    QString text;
    std::function<void()> act;
    std::function<void()> check;
};

void RunCases(const std::vector<ShownValueCase>& cases, ScriptedPopups& popups,
              sim::SimServer& sensor) {
    for (const ShownValueCase& c : cases) {
        SCOPED_TRACE(c.box);
        popups.Clear();
        sensor.ClearRequests();
        const sim::SensorState before = sensor.State();
        // As assistive technology puts it in: no Return, no change of focus.
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(c.field);
        accessible->editableTextInterface()->replaceText(
            0, accessible->textInterface()->characterCount(), c.text);
        c.act();
        if (c.check) c.check();
        const bool refused = !c.check;
        EXPECT_EQ(popups.Count(PopupKind::Message), refused ? 1 : 0)
            << popups.LastText().toStdString();
        if (refused) {
            EXPECT_EQ(popups.LastTitle(), QString::fromLatin1(kInvalidValueTitle));
            EXPECT_TRUE(popups.LastText().contains(QLatin1String(c.box)));
            EXPECT_EQ(sensor.State(), before);
        }
    }
}

std::uint16_t Word(const QString& file, int word) {
    const ParameterFileRead read = ReadParameterFile(file);
    return read.ok() ? (*read.image)[static_cast<std::size_t>(word)] : 0;
}

using TempCompShown = ToolWithSensor<tempcomp::Tvx3TempCompV61>;
TEST_F(TempCompShown, SendAndSaveEquationTakeTheBoxesAsShown) {
    StartOverTcp();
    tempcomp::TempCompPanel& p = tool->Main();
    const QString equation = QDir(programDir.path()).filePath(QStringLiteral("shown.equ"));
    const auto send = [&] { p.buttonSendCF->click(); };
    const auto redFactor = [&](std::uint16_t factor) {
        return [&, factor] {
            EXPECT_EQ(Sensor().State().cfTables[0][0], factor);
            EXPECT_EQ(p.dispSaveResult->text(), QStringLiteral("SUCCESS"));
        };
    };
    RunCases(
        {{"RED CONST", p.editCoefficient[4], "700", send, redFactor(1000 * 1024 / 700)},
         {"RED SET VALUE", p.editSetValue[0], "1400", send, redFactor(2048)},
         {"GREEN T", p.editCoefficient[8], "2.5",
          [&] {
              popups.QueueFileSelection(equation);
              p.buttonSaveEquation->click();
          },
          [&] {
              EXPECT_EQ(tempcomp::ReadEquationFile(equation.toStdString()).coefficients[8], 2.5);
          }},
         {"BLUE T^2", p.editCoefficient[12], "1,5", send, {}},
         {"GREEN SET VALUE", p.editSetValue[1], "70000", [&] { p.buttonCalcCalib->click(); }, {}}},
        popups, Sensor());
}

using CalibShown = ToolWithSensor<calib::Tvx3CalibV61>;
TEST_F(CalibShown, SendCfTakesTheFactorsAsShown) {
    StartOverTcp();
    calib::CalibPanel& p = tool->Main();
    // GET CF after SEND CF: its reply follows the factors' arrival and shows what the sensor has.
    const auto sendCf = [&] {
        p.buttonSendCF->click();
        p.buttonGetCF->click();
    };
    RunCases(
        {{"CF RED", p.editCFR, "1500", sendCf, [&] { EXPECT_EQ(Sensor().State().cf[0], 1500); }},
         {"CF BLUE", p.editCFB, "abc", sendCf, {}},
         {"CF GREEN", p.editCFG, "70000", sendCf, {}}},
        popups, Sensor());
}

using ScopeShown = ScopeWithSensor;
TEST_F(ScopeShown, SendTakesTheParameterBoxesAsShownToTheSensorAndToAFile) {
    ParameterControls& c = Controls();
    const QString file = QDir(programDir.path()).filePath(QStringLiteral("shown.dat"));
    const auto send = [&] { Main().buttonSend->click(); };
    const auto ramWord = [&](int word, std::uint16_t value) {
        return [&, word, value] {
            EXPECT_EQ(Sensor().State().ram[static_cast<std::size_t>(word)], value);
        };
    };
    RunCases({{"AVERAGE", c.editAverage, "77", send, ramWord(2, 77)},
              {"MAXCOL-No.", c.editMaxcolNo, "7", send, ramWord(6, 7)},
              {"HOLD", c.editHold, "33",
               [&] {
                   Main().selectFILE->click();
                   popups.QueueFileSelection(file);
                   send();
                   Main().selectRAM->click();
               },
               [&] { EXPECT_EQ(Word(file, 4), 33); }},
              {"INT LIMIT", c.editIntlim, "70000", send, {}}},
             popups, Sensor());
}

}  // namespace
}  // namespace tvx
