// Unsent work in the running scope: the marks and their count, and the question before a read
// replaces them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QSignalSpy>

#include "scope_fixture.h"
#include "unsent_mark.h"

namespace tvx {
namespace {

class UnsentTest : public ScopeWithSensor {
  protected:
    UnsentWork& Unsent() { return scope->Unsent(); }
    WordTable* Teach() { return Controls().gridTeach; }
    // Sends the panels so nothing is unsent, then changes teach row `row`'s X through its cell.
    void SettleThenEdit(int row) {
        if (!Main().selectRAM->isChecked()) Click(Main().selectRAM);
        if (Unsent().UnsentCount() > 0) Click(Main().buttonSend);
        Controls().ParaInVis();
        ASSERT_TRUE(EditCell(Teach(), row, 0, Teach()->Value(row, 0) + 1));
        ASSERT_EQ(Unsent().UnsentCount(), 1);
        popups.Clear();
        Sensor().ClearRequests();
    }
    static QString Description(QObject* object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Description);
    }
    QString CellDescription(WordTable* table, int row, int column) {
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(table);
        return grid->tableInterface()->cellAt(row, column)->text(QAccessible::Description);
    }
};

TEST_F(UnsentTest, ChangedValuesAreMarkedAndCounted) {
    QSignalSpy counts(&Unsent(), &UnsentWork::unsentCountChanged);
    const int average = Controls().editAverage->value();
    Enter(Controls().editAverage, average + 1);
    Controls().ParaInVis();
    ASSERT_TRUE(EditCell(Teach(), 1, 2, Teach()->Value(1, 2) + 5));
    Click(Controls().buttonColorGroups);
    WordTable* groups = scope->ColourGroups().gridGroups;
    ASSERT_TRUE(EditCell(groups, 3, 0, (scope->ColourGroups().Group(3) + 1) % 4));
    EXPECT_EQ(Unsent().UnsentCount(), 3);
    EXPECT_EQ(counts.size(), 3);
    EXPECT_TRUE(MarkedUnsent(Controls().editAverage));
    EXPECT_TRUE(Teach()->MarkedUnsent(1, 2) && groups->MarkedUnsent(3, 0));
    EXPECT_FALSE(Teach()->MarkedUnsent(1, 1) || MarkedUnsent(Controls().editHold));
    EXPECT_EQ(CellDescription(Teach(), 1, 2), kUnsentDescription);
    EXPECT_TRUE(Description(Controls().editAverage).endsWith(kUnsentDescription));

    // The frame is drawn over the cell's own painting, selection included.
    const QRect cell = Teach()->visualItemRect(Teach()->item(1, 2));
    const QImage shot = Teach()->viewport()->grab(cell).toImage();
    EXPECT_EQ(shot.pixelColor(0, cell.height() / 2), QColor(kUnsentMarkColour));

    Controls().ParaVis();
    Enter(Controls().editAverage, average);
    EXPECT_EQ(Unsent().UnsentCount(), 2);
    EXPECT_FALSE(MarkedUnsent(Controls().editAverage));
    EXPECT_FALSE(Description(Controls().editAverage).contains(kUnsentDescription));
}

TEST_F(UnsentTest, AWholeTransferTakesTheMarksAReadAsksFirst) {
    using Button = QPushButton* MainPanel::*;
    struct Case {
        const char* name;
        Button memory;
        Button command;
        std::optional<bool> answer;  // none: no question
        bool file;
        int noReplyOrder;  // 0: the sensor answers
        int unsentAfter;
    };
    const Button ram = &MainPanel::selectRAM, eeprom = &MainPanel::selectEEPROM,
                 file = &MainPanel::selectFILE, send = &MainPanel::buttonSend,
                 get = &MainPanel::buttonGet;
    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    int row = 0;
    for (const Case& c : {Case{"send to RAM", ram, send, {}, false, 0, 0},
                          Case{"send to EEPROM", eeprom, send, {}, false, 0, 0},
                          Case{"save to a file", file, send, {}, true, 0, 0},
                          Case{"load a file, replacing", file, get, true, true, 0, 0},
                          Case{"load a file, keeping", file, get, false, false, 0, 1},
                          Case{"get, replacing", ram, get, true, false, 0, 0},
                          Case{"get, keeping", ram, get, false, false, 0, 1},
                          Case{"get without an answer", ram, get, true, false, 3, 1},
                          Case{"send without an answer", ram, send, {}, false, -1, 1}}) {
        SCOPED_TRACE(c.name);
        SettleThenEdit(++row);
        const std::uint16_t edited = Teach()->Value(row, 0);
        if (!(Main().*c.memory)->isChecked()) Click(Main().*c.memory);
        if (c.answer) popups.QueueConfirm(*c.answer);
        if (c.file) popups.QueueFileSelection(path);
        if (c.noReplyOrder > 0) Sensor().AddFault({sim::FaultKind::NoReply, c.noReplyOrder, 1});
        if (c.noReplyOrder < 0) scope->Link().DisconnectTCP();
        Click(Main().*c.command);
        EXPECT_EQ(popups.Count(PopupKind::Confirm), c.answer ? 1 : 0);
        if (c.answer) {
            EXPECT_EQ(popups.Texts().value(0),
                      "1 value differs from the sensor and has not been sent.\n"
                      "Replace it with what is read?");
        }
        EXPECT_EQ(popups.Count(PopupKind::FileSelect), c.file ? 1 : 0);
        EXPECT_EQ(Unsent().UnsentCount(), c.unsentAfter);
        EXPECT_EQ(Teach()->MarkedUnsent(row, 0), c.unsentAfter > 0);
        if (c.answer == false) {
            EXPECT_EQ(Teach()->Value(row, 0), edited);
            EXPECT_EQ(Sensor().RequestCount(), 0u);
        }
    }
}

TEST_F(UnsentTest, AConnectionAsksBeforeItsReadReplacesUnsentWork) {
    InterfacePanel& ip = scope->Interface();
    struct Case {
        const char* name;
        bool edit;
        std::optional<bool> answer;  // none: no question
        std::function<void()> whileAsked;
        bool read;
        int unsentAfter;
    };
    for (const Case& c :
         {Case{"nothing unsent", false, {}, {}, true, 0},
          Case{"replacing", true, true, {}, true, 0}, Case{"keeping", true, false, {}, false, 1},
          Case{"reconnected while asked", true, true, [&] { Click(ip.buttonDiscard); }, true, 0},
          Case{"the sensor gone while asked", true, true, [&] { sensor.Stop(); }, false, 1}}) {
        SCOPED_TRACE(c.name);
        if (c.edit) SettleThenEdit(3);
        Click(Main().buttonConnect);
        Sensor().ClearRequests();
        popups.Clear();
        if (c.answer) popups.QueueConfirm(*c.answer);
        popups.SetHook([&](const PopupRecord& record) {
            popups.SetHook({});
            if (record.kind == PopupKind::Confirm && c.whileAsked) c.whileAsked();
        });
        Click(ip.buttonTryToConnect);
        EXPECT_EQ(popups.Count(PopupKind::Confirm), c.answer ? 1 : 0);
        EXPECT_EQ(Unsent().UnsentCount(), c.unsentAfter);
        EXPECT_EQ(Teach()->MarkedUnsent(3, 0), c.unsentAfter > 0);
        if (sensor.Running()) {
            const auto orders = SensorOrders();
            EXPECT_EQ(orders.front(), kOrderVersion);
            EXPECT_EQ(std::count(orders.begin(), orders.end(), kOrderReadModes), c.read ? 1 : 0);
        }
        EXPECT_TRUE(Main().buttonGet->isEnabled());
    }
}

}  // namespace
}  // namespace tvx
