// The three programs' windows as assistive technology reads them.
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <set>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "display_checks.h"
#include "scope_fixture.h"
#include "tool_fixture.h"

namespace tvx {
namespace {

QString GroupBoxTitleAround(QObject* object) {
    for (auto* w = qobject_cast<QWidget*>(object); w; w = w->parentWidget())
        if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    return {};
}

// Controls below `node` a user cannot tell by their name: none, the group box's title (Qt's
// fallback for a control without a label) or their own value. Their inner parts are skipped.
void FindUnnamed(QAccessibleInterface* node, int& controls, QStringList& unnamed) {
    using R = QAccessible::Role;
    const std::set<R> named{R::PushButton, R::CheckBox,     R::SpinBox, R::Slider,
                            R::ComboBox,   R::EditableText, R::Table};
    if (!named.count(node->role())) {
        for (int i = 0; i < node->childCount(); ++i)
            if (QAccessibleInterface* child = node->child(i)) FindUnnamed(child, controls, unnamed);
        return;
    }
    ++controls;
    const QString name = node->text(QAccessible::Name);
    const QString value = node->text(QAccessible::Value);
    if (name.trimmed().isEmpty() ||
        (node->role() != R::Table &&
         (name == value || name == GroupBoxTitleAround(node->object()))))
        unnamed << QStringLiteral("%1 \"%2\" = \"%3\"")
                       .arg(QLatin1String(node->object()->metaObject()->className()), name, value);
}

// Each window is a frame named by its title with every control named; a secondary panel goes
// on Escape, through the same callback as the window frame's close.
void ExpectReadable(Panel& main, const QList<Panel*>& secondaries) {
    for (Panel* window : QList<Panel*>{&main} + secondaries) {
        const std::string title = window->windowTitle().toStdString();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << title;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(accessible->role(), QAccessible::Window) << title;
        EXPECT_EQ(accessible->text(QAccessible::Name), window->windowTitle());
        int controls = 0;
        QStringList unnamed;
        FindUnnamed(accessible, controls, unnamed);
        EXPECT_GT(controls, 2) << title;
        EXPECT_TRUE(unnamed.isEmpty()) << title << ": " << unnamed.join(", ").toStdString();
        if (window == &main) continue;
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << title;
        QTest::keyClick(window, Qt::Key_Escape);
        EXPECT_FALSE(window->isVisible()) << title << " stays open on Escape";
        EXPECT_TRUE(main.isVisible()) << title;
    }
}

// A screen reader's "read the status bar" finds the state line as the window's status bar; each
// part says its name and gives its whole text, also where the line draws it cut in the middle.
void ExpectStatusBar(StateLine* line) {
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(line);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::StatusBar);
    const QString cause = QStringLiteral("not connected: connection refused: ").repeated(9);
    line->SetTexts({"192.168.100.200:50010", cause + "192.168.100.200:50010", "idle",
                    "read from RAM 12:00:00", ""});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const std::pair<StatePart*, const char*> parts[] = {{line->endpoint, "endpoint"},
                                                        {line->link, "link"},
                                                        {line->activity, "activity"},
                                                        {line->lastTransfer, "last transfer"}};
    for (const auto& [part, name] : parts) {
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(part);
        EXPECT_EQ(read->role(), QAccessible::StaticText) << name;
        EXPECT_EQ(read->text(QAccessible::Name), name);
        EXPECT_EQ(read->text(QAccessible::Value), part->text()) << name;
        ASSERT_NE(read->textInterface(), nullptr) << name;
        EXPECT_EQ(read->textInterface()->text(0, read->textInterface()->characterCount()),
                  part->text());
        EXPECT_EQ(part->toolTip(), part->text()) << name;
        EXPECT_EQ(bar->indexOfChild(read) >= 0, true) << name;
    }
    EXPECT_EQ(line->endpoint->ShownText(), line->endpoint->text());
    const QString cut = line->link->ShownText();
    EXPECT_TRUE(cut.contains(QChar(0x2026)) && cut.endsWith(":50010")) << cut.toStdString();
}

using CalibAccess = ToolWithSensor<calib::Tvx3CalibV61>;
TEST_F(CalibAccess, EveryWindowAndControlIsNamedAsShownAndDimmedButtonsLookDimmed) {
    StartOverTcp();
    ExpectReadable(tool->Main(), {&tool->Interface()});
    ExpectStatusBar(tool->Main().stateLine);
    calib::CalibPanel& p = tool->Main();
    // Raw and calibrated values are labelled alike on screen, each group under its title.
    QStringList names;
    for (QWidget* display : {p.dispRaw[0], p.dispRaw[1], p.dispRaw[2], p.dispDeltaRaw,
                             p.dispCalib[0], p.dispCalib[1], p.dispCalib[2], p.dispDeltaCalib})
        names << QAccessible::queryAccessibleInterface(display)->text(QAccessible::Name);
    EXPECT_EQ(names, QStringList({"RED raw", "GREEN raw", "BLUE raw", "DELTA raw", "RED calibrated",
                                  "GREEN calibrated", "BLUE calibrated", "DELTA calibrated"}));
    // The file dialog keeps Qt's own reading of its "Look in" box: its folder.
    QFileDialog dialog(&p);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.show();
    auto* lookIn = dialog.findChild<QComboBox*>(QStringLiteral("lookInCombo"));
    ASSERT_NE(lookIn, nullptr);
    const QString lookInName =
        QAccessible::queryAccessibleInterface(lookIn)->text(QAccessible::Name);
    EXPECT_FALSE(lookInName.isEmpty());
    EXPECT_EQ(lookInName, lookIn->currentText());
    // Dimmed, the coloured buttons fade as any other button does.
    for (int dimmed : {1, 0}) {
        p.SetButtonsDimmed(dimmed);
        for (QPushButton* b : {p.buttonCalcCF, p.buttonFinishCalib})
            EXPECT_EQ(TextContrast(b) < kReadableContrast, dimmed == 1) << dimmed;
    }
}

using TempCompAccess = ToolWithSensor<tempcomp::Tvx3TempCompV61>;
TEST_F(TempCompAccess, EveryWindowAndControlIsNamedAsShown) {
    StartOverTcp();
    ExpectReadable(tool->Main(), {&tool->Interface()});
    ExpectStatusBar(tool->Main().stateLine);
}

using ScopeAccess = ScopeWithSensor;
TEST_F(ScopeAccess, EveryWindowAndControlIsNamedAsShownAndTabFollowsTheParameterGrid) {
    Controls().ParaInVis();  // the teach page, then the parameter page with the other panels
    ExpectReadable(Main(), {});
    Controls().ParaVis();
    ExpectReadable(Main(),
                   {&scope->Interface(), &scope->Recorder(), &scope->RowColours(),
                    &scope->SignalGraph(), &scope->MeanValueTeach(), &scope->ColourGroups()});
    ExpectStatusBar(Main().stateLine);
    ParameterControls& c = Controls();
    const QList<QWidget*> rowByRow{c.slidePower,   c.editPmode,    c.editEvalmode, c.editCalcmode,
                                   c.editDynWinLo, c.editMaxcolNo, c.editAverage,  c.editDynWinHi,
                                   c.editOutmode,  c.editTrigger,  c.editIntlim,   c.editHold,
                                   c.editExteach};
    QList<QWidget*> chain{c.slidePower};
    for (QWidget* w = c.slidePower->nextInFocusChain(); w != c.slidePower;
         w = w->nextInFocusChain())
        if (rowByRow.contains(w)) chain << w;
    EXPECT_EQ(chain, rowByRow);
}

}  // namespace
}  // namespace tvx
