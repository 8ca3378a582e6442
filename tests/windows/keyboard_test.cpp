// The three programs' windows from the keyboard alone: Tab through every panel and out of its
// tables, Return on buttons, where the focus is after a wait, the function keys.
#include <QApplication>
#include <set>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "closed_port.h"
#include "scope_fixture.h"
#include "tool_fixture.h"

namespace tvx {
namespace {

void Activate(QWidget* window) {
    window->show();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << window->windowTitle().toStdString();
}

// A key as the window system delivers it: to the focused control, shortcuts first.
void Press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(window->windowHandle(), key, modifiers);
}

// Tab, or Shift+Tab as the keyboard gives it (Backtab), with Ctrl when asked.
void PressTab(QWidget* window, bool forward, bool ctrl = false) {
    const Qt::KeyboardModifiers control = ctrl ? Qt::ControlModifier : Qt::NoModifier;
    if (forward)
        Press(window, Qt::Key_Tab, control);
    else
        Press(window, Qt::Key_Backtab, control | Qt::ShiftModifier);
}

// The control a focused widget belongs to: a ring's or a numeric's own text field is the ring or
// the numeric.
QWidget* ControlOf(QWidget* w) {
    QWidget* parent = w ? w->parentWidget() : nullptr;
    if (parent && (parent->inherits("QComboBox") || parent->inherits("QAbstractSpinBox")))
        return parent;
    return w;
}

// The controls a user can Tab to in the window as it is shown.
std::set<QWidget*> TabStops(QWidget* window) {
    std::set<QWidget*> stops;
    for (QWidget* w : window->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->focusProxy() == nullptr && w->isVisible() &&
            w->isEnabled() && w->window() == window)
            stops.insert(ControlOf(w));
    return stops;
}

// The controls Tab (or Shift+Tab) visits from `from` until it is back there, each once however
// many cells of a table it takes; empty when it never comes back.
QList<QWidget*> TabWalk(QWidget* window, QWidget* from, bool forward) {
    from->setFocus(Qt::OtherFocusReason);
    QList<QWidget*> visited{from};
    for (int presses = 0; presses < 2000; ++presses) {
        PressTab(window, forward);
        QWidget* now = ControlOf(window->focusWidget());
        if (now == from) return visited;
        if (now != visited.last()) visited << now;
    }
    return {};
}

// Walks the window both ways from its first stop (a table's first cell at hand): every stop once,
// backward the reverse of forward; the walk forward.
QList<QWidget*> ExpectTabRoundTrip(QWidget* window) {
    const std::string title = window->windowTitle().toStdString();
    Activate(window);
    for (auto* table : window->findChildren<QTableWidget*>()) table->setCurrentCell(0, 0);
    const std::set<QWidget*> stops = TabStops(window);
    QWidget* from = nullptr;
    for (QWidget* w = window->nextInFocusChain(); w != window && !from; w = w->nextInFocusChain())
        if (stops.count(w) && !qobject_cast<QTableWidget*>(w)) from = w;
    if (!from) {
        ADD_FAILURE() << title << ": no stop";
        return {};
    }
    const QList<QWidget*> forward = TabWalk(window, from, true);
    EXPECT_EQ(std::set<QWidget*>(forward.begin(), forward.end()), stops) << title;
    EXPECT_EQ(forward.size(), static_cast<int>(stops.size())) << title << ": a stop twice";
    QList<QWidget*> reverse = forward.mid(1);
    std::reverse(reverse.begin(), reverse.end());
    EXPECT_EQ(TabWalk(window, from, false), QList<QWidget*>{from} + reverse) << title;
    return forward;
}

// `expected` follow one another in `walk` (a cycle), in this order.
void ExpectInOrder(const QList<QWidget*>& walk, const QList<QWidget*>& expected, const char* what) {
    const int start = walk.indexOf(expected.first());
    ASSERT_GE(start, 0) << what;
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(walk.value((start + i) % walk.size()), expected[i]) << what << ", stop " << i;
}

class ScopeKeys : public ScopeWithSensor {
  protected:
    StateLineModel& Line() { return scope->Link().StateLineData(); }
    void OpenInterfacePanel() {
        Click(Main().buttonConnect);
        Activate(&scope->Interface());
    }
};

TEST_F(ScopeKeys, TabGoesThroughEveryPanelAndOutOfItsTablesInTheOrderOfTheScreen) {
    ExpectTabRoundTrip(&Main());
    Controls().ParaInVis();
    ParameterControls& c = Controls();
    TeachOperations& t = scope->Teach();
    ExpectInOrder(ExpectTabRoundTrip(&Main()),
                  {c.gridTeach, c.buttonTeachDataTo, c.editNo, c.radioInc,
                   scope->MeanTeach().buttonTeachMeanVal, t.buttonApplyFromAll, t.buttonAutoAdjust,
                   t.buttonZoom, t.buttonResetTable},
                  "teach page");
    GroupPanel& g = scope->ColourGroups();
    ExpectInOrder(
        ExpectTabRoundTrip(&g),
        {g.switchColorGroups, g.gridGroups, g.buttonResetGroupTable, g.buttonGroupPanelClose},
        "groups");
    MeanTeachPanel& m = scope->MeanValueTeach();
    ExpectInOrder(ExpectTabRoundTrip(&m), {m.gridTpValues, m.gridTpMean}, "mean teach");
    for (Panel* panel : QList<Panel*>{&scope->Interface(), &scope->RowColours(),
                                      &scope->SignalGraph(), &scope->Recorder()})
        ExpectTabRoundTrip(panel);
}

TEST_F(ScopeKeys, CtrlTabLeavesATableFromAnyCellAndAnOpenEditorCommitsFirst) {
    Controls().ParaInVis();
    GroupPanel& g = scope->ColourGroups();
    WordTable* teach = Controls().gridTeach;
    struct Case {
        QWidget* window;
        WordTable* table;
        int row, column;
        bool forward, ctrl, editing;
        QWidget* after;  // null: the control before the table
    };
    for (const Case& c : {
             Case{&Main(), teach, 3, 2, true, true, false, Controls().buttonTeachDataTo},
             Case{&Main(), teach, 3, 2, false, true, false, nullptr},
             Case{&Main(), teach, 7, 1, true, true, true, Controls().buttonTeachDataTo},
             Case{&g, g.gridGroups, 14, 0, true, false, true, g.buttonResetGroupTable},
             Case{&g, g.gridGroups, 0, 0, false, false, true, g.switchColorGroups},
         }) {
        SCOPED_TRACE(c.table->accessibleName().toStdString() + " " + std::to_string(c.row));
        Activate(c.window);
        c.table->setFocus();
        c.table->setCurrentCell(c.row, c.column);
        if (c.editing) {
            Press(c.window, Qt::Key_F2);
            for (QSpinBox* editor : c.table->viewport()->findChildren<QSpinBox*>())
                if (editor->isVisible()) {
                    editor->selectAll();
                    QTest::keyClicks(editor, "7");
                }
        }
        PressTab(c.window, c.forward, c.ctrl);
        QWidget* now = c.window->focusWidget();
        EXPECT_NE(now, c.table);
        if (c.after) {
            EXPECT_EQ(now, c.after);
        }
        if (c.editing) {
            EXPECT_EQ(c.table->Value(c.row, c.column), 7);
        }
        // Back the other way, Tab reaches the table again at once.
        PressTab(c.window, !c.forward);
        EXPECT_EQ(c.window->focusWidget(), c.table);
    }
}

TEST_F(ScopeKeys, ReturnPressesTheFocusedButtonOrTheDefaultOne) {
    Controls().ParaInVis();
    GroupPanel& g = scope->ColourGroups();
    InterfacePanel& ip = scope->Interface();
    struct Case {
        const char* what;
        QWidget* window;
        QWidget* focus;
        std::function<void()> before;
        std::function<bool()> pressed;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"a toggle", &Main(), Main().selectEEPROM, [] {},
              [&] { return Main().selectEEPROM->isChecked(); }},
             {"RESET TABLE", &Main(), scope->Teach().buttonResetTable,
              [&] { Controls().gridTeach->SetValue(4, 0, 900); },
              [&] { return Controls().gridTeach->Value(4, 0) == 1; }},
             {"a check box keeps Return for nothing", &Main(), Controls().radioInc,
              [&] { Controls().radioInc->setChecked(false); },
              [&] { return !Controls().radioInc->isChecked(); }},
             {"RESET GROUP TABLE", &g, g.buttonResetGroupTable,
              [&] { g.gridGroups->SetValue(2, 0, 5); },
              [&] { return g.gridGroups->Value(2, 0) == 0; }},
             {"CLOSE", &g, g.buttonGroupPanelClose, [] {}, [&] { return !g.isVisible(); }},
             {"TRY TO CONNECT", &ip, ip.buttonTryToConnect, [&] { Sensor().ClearRequests(); },
              [&] { return Sensor().RequestCount() > 0; }},
             {"the default button, ACCEPT, after a successful attempt", &ip, ip.stringPortNumber,
              [&] { Click(ip.buttonTryToConnect); }, [&] { return !ip.isVisible(); }},
             {"a changed address commits; ACCEPT is dimmed", &ip, ip.stringIpAdress,
              [&] {
                  Click(ip.buttonTryToConnect);
                  Sensor().ClearRequests();
                  QTest::keyClicks(ip.stringIpAdress->lineEdit(), " ");
              },
              [&] {
                  return ip.isVisible() && !ip.buttonAccept->isEnabled() &&
                         Sensor().RequestCount() == 0;
              }},
             {"DISCARD", &ip, ip.buttonDiscard, [] {}, [&] { return !ip.isVisible(); }},
         }) {
        SCOPED_TRACE(c.what);
        if (c.window == &ip) Click(Main().buttonConnect);
        Activate(c.window);
        c.before();
        c.focus->setFocus(Qt::TabFocusReason);
        Press(c.window, Qt::Key_Return);
        EXPECT_TRUE(c.pressed());
    }
}

TEST_F(ScopeKeys, AfterAConnectionAttemptTheFocusIsOnAcceptOrBackWhereItWas) {
    InterfacePanel& ip = scope->Interface();
    OpenInterfacePanel();
    ip.buttonTryToConnect->setFocus(Qt::TabFocusReason);
    Press(&ip, Qt::Key_Space);
    EXPECT_TRUE(ip.buttonAccept->isEnabled());
    EXPECT_EQ(ip.focusWidget(), ip.buttonAccept) << "a working link is kept by the next Space";

    ip.stringPortNumber->setFocus(Qt::TabFocusReason);
    ip.stringPortNumber->selectAll();
    QTest::keyClicks(ip.stringPortNumber, QString::number(ClosedLocalPort()));
    PressTab(&ip, false);  // leaving the field takes the port
    ip.buttonTryToConnect->setFocus(Qt::TabFocusReason);
    Press(&ip, Qt::Key_Space);
    EXPECT_EQ(ip.dispConnectStatus->text(), "CONNECTION FAILURE");
    EXPECT_FALSE(ip.buttonAccept->isEnabled());
    EXPECT_EQ(ip.focusWidget(), ip.buttonTryToConnect);
}

TEST_F(ScopeKeys, AfterALoopTheFocusIsBackOnItsButtonAndNowhereMeanwhile) {
    Controls().ParaInVis();
    Activate(&Main());
    for (QPushButton* button : {Main().buttonGo, scope->Teach().buttonZoom}) {
        SCOPED_TRACE(button->text().toStdString());
        button->setFocus(Qt::TabFocusReason);
        QWidget* focusDuringLoop = button;
        RunLoop([&] { Press(&Main(), Qt::Key_Space); },
                [&] {
                    if (scope->State().flags.poll != 1) return false;
                    focusDuringLoop = Main().focusWidget();
                    Press(&Main(), Qt::Key_F12);
                    return true;
                });
        EXPECT_EQ(focusDuringLoop, nullptr) << "nothing to press by mistake while it runs";
        EXPECT_EQ(Main().focusWidget(), button);
    }
}

TEST_F(ScopeKeys, ZoomStartsFromGoOnceTheLiveLoopIsOver) {
    Controls().ParaInVis();
    Sensor().ClearRequests();
    bool zoomed = false;
    RunLoop(Main().buttonGo, [&] {
        if (Line().Running(Activity::Live) && Sensor().RequestCount() > 2) {
            EXPECT_TRUE(scope->Teach().buttonZoom->isEnabled());
            Click(scope->Teach().buttonZoom);
            return false;
        }
        if (!Line().Running(Activity::Zoom) || scope->State().flags.poll != 1) return false;
        zoomed = scope->Live().ZoomGraphInFront() && !Main().buttonGo->isEnabled() &&
                 !scope->Teach().buttonZoom->isEnabled();
        Click(Main().buttonStop);
        return true;
    });
    EXPECT_TRUE(zoomed);
    EXPECT_TRUE(Main().buttonGo->isEnabled() && scope->Teach().buttonZoom->isEnabled());
    const std::vector<int> orders = SensorOrders();
    EXPECT_EQ(orders, std::vector<int>(orders.size(), 5));
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
}

TEST_F(ScopeKeys, F11AndF12StartAndStopTheRecorderInEitherMode) {
    QTemporaryDir dataDir;
    Click(scope->Recording().buttonOpenRecorder);
    RecorderPanel& r = scope->Recorder();
    popups.QueueFileSelection(dataDir.filePath("record.dat"));
    Click(r.buttonSelRecFile);
    for (int mode : {kRecordTimed, kRecordPolling}) {
        SCOPED_TRACE(mode);
        Choose(r.editSelectDataRec, mode);
        Activate(&r);
        popups.Clear();
        popups.SetDefaultConfirm(true);
        Sensor().ClearRequests();
        bool running = false;
        // A key presses its button a moment later, as a click would look.
        RunLoop(
            [&] {
                Press(&r, Qt::Key_F11);
                EXPECT_TRUE(QTest::qWaitFor([&] { return running; }, 20000));
            },
            [&] {
                if (scope->State().flags.pollrecord != 1 || Sensor().RequestCount() < 1)
                    return false;
                running = true;
                Press(&r, Qt::Key_F12);
                return true;
            });
        EXPECT_TRUE(running);
        EXPECT_EQ(scope->State().flags.pollrecord, 0);
        const std::vector<int> orders = SensorOrders();
        EXPECT_EQ(orders, std::vector<int>(orders.size(), 19));
    }
}

// A tool's main panel and interface panel: Tab round both, Return on a command that waits for
// the sensor, and the focus after it and after a connection attempt.
template <typename Tool>
class ToolKeys : public ToolWithSensor<Tool> {
  protected:
    void ExpectKeyboardUse(QPushButton* (*commandOf)(Tool&)) {
        this->StartOverTcp();
        Tool& tool = *this->tool;
        QPushButton* command = commandOf(tool);
        ExpectTabRoundTrip(&tool.Main());
        Activate(&tool.Main());
        command->setFocus(Qt::TabFocusReason);
        Press(&tool.Main(), Qt::Key_Return);
        EXPECT_GT(this->Sensor().RequestCount(), 0) << command->text().toStdString();
        EXPECT_EQ(tool.Main().focusWidget(), command);

        InterfacePanel& ip = tool.Interface();
        ExpectTabRoundTrip(&ip);
        ip.buttonTryToConnect->setFocus(Qt::TabFocusReason);
        Press(&ip, Qt::Key_Space);
        EXPECT_EQ(ip.focusWidget(), ip.buttonAccept);
        EXPECT_EQ(this->popups.Count(), 0) << this->popups.Texts().join('|').toStdString();
    }
};

using CalibKeys = ToolKeys<calib::Tvx3CalibV61>;
TEST_F(CalibKeys, TabReturnAndTheFocusAfterAWait) {
    ExpectKeyboardUse([](calib::Tvx3CalibV61& t) { return t.Main().buttonGetCF; });
}

using TempCompKeys = ToolKeys<tempcomp::Tvx3TempCompV61>;
TEST_F(TempCompKeys, TabReturnAndTheFocusAfterAWait) {
    ExpectKeyboardUse([](tempcomp::Tvx3TempCompV61& t) { return t.Main().buttonGet; });
}

}  // namespace
}  // namespace tvx
