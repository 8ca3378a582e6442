// Unsent work in the running scope: the marks and their count, and the question before a read
// replaces them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QSignalSpy>

#include "quit_request.h"
#include "scope_fixture.h"
#include "unsent_mark.h"

namespace tvx {
namespace {

class UnsentTest : public ScopeWithSensor {
  protected:
    UnsentWork& Unsent() { return scope->Unsent(); }
    WordTable* Teach() { return Controls().gridTeach; }
    // Sends the panels so nothing is unsent, then changes teach row 3's X through its cell.
    void Settle(bool edit) {
        if (!Main().selectRAM->isChecked()) Click(Main().selectRAM);
        if (Unsent().UnsentCount() > 0) Click(Main().buttonSend);
        Controls().ParaInVis();
        ASSERT_TRUE(!edit || EditCell(Teach(), 3, 0, Teach()->Value(3, 0) + 1));
        ASSERT_EQ(Unsent().UnsentCount(), edit ? 1 : 0);
        popups.Clear();
        if (sensor.Running()) Sensor().ClearRequests();
    }
    static QString Description(QAccessibleInterface* control) {
        return control->text(QAccessible::Description);
    }
};

TEST_F(UnsentTest, ChangedValuesAreMarkedAndCounted) {
    QSignalSpy counts(&Unsent(), &UnsentWork::unsentCountChanged);
    const int averaged = Controls().editAverage->value();
    Enter(Controls().editAverage, averaged + 1);
    Controls().ParaInVis();
    ASSERT_TRUE(EditCell(Teach(), 1, 2, Teach()->Value(1, 2) + 5));
    Click(Controls().buttonColorGroups);
    WordTable* groups = scope->ColourGroups().gridGroups;
    ASSERT_TRUE(EditCell(groups, 3, 0, (scope->ColourGroups().Group(3) + 1) % 4));
    EXPECT_EQ(Unsent().UnsentCount(), 3);
    EXPECT_EQ(counts.size(), 3);
    EXPECT_EQ(Main().stateLine->unsent->text(), QStringLiteral("3 unsent changes"));
    EXPECT_TRUE(MarkedUnsent(Controls().editAverage));
    EXPECT_TRUE(Teach()->MarkedUnsent(1, 2) && groups->MarkedUnsent(3, 0));
    EXPECT_FALSE(Teach()->MarkedUnsent(1, 1) || MarkedUnsent(Controls().editHold));
    QAccessibleInterface* average = QAccessible::queryAccessibleInterface(Controls().editAverage);
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(Teach());
    EXPECT_EQ(Description(table->tableInterface()->cellAt(1, 2)), kUnsentDescription);
    EXPECT_TRUE(Description(average).endsWith(kUnsentDescription));

    // The frame is drawn over the cell's own painting, selection included.
    const QRect cell = Teach()->visualItemRect(Teach()->item(1, 2));
    const QImage shot = Teach()->viewport()->grab(cell).toImage();
    EXPECT_EQ(shot.pixelColor(0, cell.height() / 2), QColor(kUnsentMarkColour));

    Controls().ParaVis();
    Enter(Controls().editAverage, averaged);
    EXPECT_EQ(Unsent().UnsentCount(), 2);
    EXPECT_FALSE(MarkedUnsent(Controls().editAverage));
    EXPECT_FALSE(Description(average).contains(kUnsentDescription));
}

// Each case starts with one teach cell changed (or none) and runs one command.
TEST_F(UnsentTest, AWholeTransferTakesTheMarksAReadAsksFirst) {
    InterfacePanel& ip = scope->Interface();
    std::uint16_t shown = 0;
    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    auto command = [&](QPushButton* memory, QPushButton* button, bool file = false) {
        return [=, this] {
            if (!memory->isChecked()) Click(memory);
            if (file) popups.QueueFileSelection(path);
            Click(button);
        };
    };
    auto connectAgain = [&] {
        Click(Main().buttonConnect);
        Click(ip.buttonTryToConnect);
    };
    // A number typed into a cell and not yet committed when F10 asks for a read.
    auto typedThenGet = [&] {
        QApplication::setActiveWindow(&Main());
        const QRect cell = Teach()->visualItemRect(Teach()->item(3, 0));
        QTest::mouseClick(Teach()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::keyClick(Teach(), Qt::Key_F2);
        qobject_cast<QSpinBox*>(QApplication::focusWidget())->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QString::number(shown + 1));
        QTest::keyClick(Main().windowHandle(), Qt::Key_F10);
        EXPECT_TRUE(QTest::qWaitFor([&] { return popups.Count() > 0; }));
    };
    MainPanel& m = Main();
    struct Case {
        const char* name;
        bool edit;
        std::function<void()> act;
        std::optional<bool> answer;  // none: no question
        std::function<void()> whileAsked;
        int unsentAfter;
    };
    for (const Case& c :
         {Case{"send to RAM", true, command(m.selectRAM, m.buttonSend), {}, {}, 0},
          Case{"send to EEPROM", true, command(m.selectEEPROM, m.buttonSend), {}, {}, 0},
          Case{"save to a file", true, command(m.selectFILE, m.buttonSend, true), {}, {}, 0},
          Case{"load a file", true, command(m.selectFILE, m.buttonGet, true), true, {}, 0},
          Case{"load no file", true, command(m.selectFILE, m.buttonGet), false, {}, 1},
          Case{"get, nothing unsent", false, command(m.selectRAM, m.buttonGet), {}, {}, 0},
          Case{"get, replacing", true, command(m.selectRAM, m.buttonGet), true, {}, 0},
          Case{"get, keeping", true, command(m.selectRAM, m.buttonGet), false, {}, 1},
          Case{"get, keeping a typed number", false, typedThenGet, false, {}, 1},
          Case{"get, no reply", true, command(m.selectRAM, m.buttonGet), true,
               [&] {
                   Sensor().AddFault({sim::FaultKind::NoReply, kOrderReadModes, 1});
               },
               1},
          Case{"connect, nothing unsent", false, connectAgain, {}, {}, 0},
          Case{"connect, replacing", true, connectAgain, true, {}, 0},
          Case{"connect, keeping", true, connectAgain, false, {}, 1},
          Case{"reconnected while asked", true, connectAgain, true,
               [&] { Click(ip.buttonDiscard); }, 0},
          // The sensor stays stopped for the last case.
          Case{"the sensor gone while asked", true, command(m.selectRAM, m.buttonGet), true,
               [&] { sensor.Stop(); }, 1},
          Case{"send to no sensor", true, command(m.selectRAM, m.buttonSend), {}, {}, 1}}) {
        SCOPED_TRACE(c.name);
        Settle(c.edit);
        shown = Teach()->Value(3, 0);
        if (c.answer) popups.QueueConfirm(*c.answer);
        popups.SetHook([&](const PopupRecord& record) {
            if (record.kind == PopupKind::Confirm && c.whileAsked) c.whileAsked();
        });
        c.act();
        popups.SetHook({});
        EXPECT_EQ(popups.Count(PopupKind::Confirm), c.answer ? 1 : 0);
        if (c.answer) {
            EXPECT_EQ(popups.Texts().value(0),
                      "1 value differs from the sensor and has not been sent.\n"
                      "Replace it with what is read?");
            // Enter keeps the work.
            EXPECT_EQ(popups.Records().front().byDefault, Popups::DefaultAnswer::No);
        }
        EXPECT_EQ(Unsent().UnsentCount(), c.unsentAfter);
        EXPECT_EQ(Teach()->MarkedUnsent(3, 0), c.unsentAfter > 0);
        if (c.answer == false) {  // kept, and only the read was skipped
            EXPECT_EQ(Teach()->Value(3, 0), c.edit ? shown : shown + 1);
            const auto orders = SensorOrders();
            EXPECT_EQ(std::count(orders.begin(), orders.end(), kOrderReadModes), 0);
            EXPECT_EQ(m.dispStatus->text(), sim::kDefaultVersion);
            EXPECT_TRUE(m.stateLine->lastTransfer->text().contains("skipped, unsent changes kept"));
        }
        EXPECT_TRUE(m.buttonGet->isEnabled());
    }
}

TEST_F(UnsentTest, ClosingWithUnsentChangesAsksFirstAndNoKeepsTheWindow) {
    const struct {
        const char* name;
        bool edit;
        std::optional<bool> answer;  // none: no question
        bool closed;
    } cases[] = {{"nothing unsent", false, {}, true},
                 {"unsent, kept", true, false, false},
                 {"unsent, lost", true, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settle(c.edit);
        if (c.answer) popups.QueueConfirm(*c.answer);
        Main().close();
        EXPECT_EQ(popups.Count(PopupKind::Confirm), c.answer ? 1 : 0);
        if (c.answer) {
            EXPECT_EQ(popups.LastTitle(), "UNSENT CHANGES");
            EXPECT_EQ(popups.LastText(),
                      "1 value differs from the sensor and has not been sent.\n"
                      "Close the program and lose it?");
            EXPECT_EQ(popups.Records().back().byDefault, Popups::DefaultAnswer::No);
        }
        EXPECT_EQ(scope->QuitRequested(), c.closed);
        EXPECT_EQ(Main().isVisible(), !c.closed);
        if (!c.closed) continue;
        ForgetQuitRequest();
        StopScope();
        popups.Clear();
        StartScope();
    }
}

}  // namespace
}  // namespace tvx
