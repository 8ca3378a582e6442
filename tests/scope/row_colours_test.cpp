// Row colours in the running scope: set by hand or from the measurement, saved, loaded, and loaded
// again at the next start from the start-up file.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Tvx3v61.h"
#include "colour_array_file.h"
#include "help.h"
#include "info_texts.h"
#include "scope_fixture.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "user_actions.h"

namespace tvx {
namespace {

class RowColoursTest : public ScopeWithSensor {
  protected:
    void SetUp() override {
        ScopeWithSensor::SetUp();
        Start();
    }

    // The scope once more, as after a restart, on the teach page.
    void Start() {
        if (!scope) StartScope();
        scope->Controls().ParaInVis();
    }
    void Stop() { StopScope(); }

    RowColourPanel& Src() { return scope->RowColours(); }
    WordTable* Table() { return scope->Controls().gridTeach; }
    void OpenPanel() {
        Click(scope->RowColourOps().buttonColor);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Src()));
    }
    QString File(const char* name) const { return programDir.filePath(QString::fromLatin1(name)); }
};

TEST_F(RowColoursTest, BuiltInColoursUntilAStartupFileIsSet) {
    EXPECT_EQ(scope->State().rowcolors, DefaultRowColours());
    for (int r = 0; r < kTeachRows; ++r) EXPECT_FALSE(Table()->RowColour(r).isValid()) << r;
}

TEST_F(RowColoursTest, SetRowColorPaintsTheCellAndTheNextCircle) {
    OpenPanel();
    Enter(Src().editRow, 14);
    Src().editColour->setText(QStringLiteral("12AB34"));
    Click(Src().buttonSetRowColor);
    EXPECT_EQ(Table()->RowColour(14), QColor(0x12AB34));
    EXPECT_EQ(scope->State().rowcolors[14], 0x12AB34);
    EXPECT_FALSE(Table()->RowColour(13).isValid());

    Click(scope->Teach().buttonApplyFromAll);
    GraphControl* plane = scope->Main().graphData1;
    const auto* circle14 = qobject_cast<QCPItemEllipse*>(plane->item(1 + 3 * 14));
    ASSERT_NE(circle14, nullptr);
    EXPECT_EQ(circle14->pen().color(), QColor(0x12AB34));

    // A field that holds no colour changes nothing and says why.
    popups.Clear();
    Src().editColour->clear();
    Click(Src().buttonSetRowColor);
    EXPECT_EQ(popups.Count(), 1);
    EXPECT_EQ(scope->State().rowcolors[14], 0x12AB34);
}

TEST_F(RowColoursTest, ColourFromMeasurementDimsTheHandControlsAndColoursTheTaughtRow) {
    OpenPanel();
    Click(Src().switchSetColor);
    EXPECT_FALSE(Src().editRow->isEnabled());
    EXPECT_FALSE(Src().editColour->isEnabled());
    EXPECT_FALSE(Src().buttonSetRowColor->isEnabled());
    EXPECT_TRUE(scope->Main().colourPatch->isVisible());

    LiveValues& live = scope->State().live;
    live.dataR = 0;
    live.dataG = 4095;
    live.dataB = 800;
    scope->Live().SetPanelData();
    Enter(scope->Controls().editNo, 2);
    Click(scope->Controls().buttonTeachDataTo);
    EXPECT_EQ(Table()->RowColour(2), QColor(0x00FF32));
    EXPECT_EQ(scope->State().rowcolors[2], 0x00FF32);

    Click(Src().switchSetColor);
    EXPECT_TRUE(Src().buttonSetRowColor->isEnabled());
    EXPECT_FALSE(scope->Main().colourPatch->isVisible());
    Enter(scope->Controls().editNo, 3);
    Click(scope->Controls().buttonTeachDataTo);
    EXPECT_FALSE(Table()->RowColour(3).isValid());
    EXPECT_EQ(scope->State().rowcolors[3], DefaultRowColours()[3]);
}

TEST_F(RowColoursTest, SaveAndGetThroughTheFileDialog) {
    OpenPanel();
    scope->State().rowcolors[0] = 0x010203;
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonSaveArray);
    const PopupRecord dialog = popups.Records().back();
    EXPECT_EQ(dialog.request.defaultFileName, "ColorArray.car");
    EXPECT_EQ(dialog.request.fileTypeList, "*.car");
    EXPECT_EQ(dialog.request.title, "ColorArray");
    EXPECT_EQ(dialog.request.startDirectory, programDir.path());
    EXPECT_TRUE(dialog.request.forSaving);
    EXPECT_TRUE(QFile::exists(File("mine.car")));

    scope->State().rowcolors = DefaultRowColours();
    popups.QueueFileSelection(File("mine.car"));
    Click(Src().buttonGetArray);
    EXPECT_EQ(scope->State().rowcolors[0], 0x010203);
    EXPECT_EQ(Table()->RowColour(0), QColor(0x010203));
    EXPECT_EQ(Table()->RowColour(1), QColor(0x80FF00));

    // Cancelled: the array stays, the cells are painted from it all the same.
    scope->State().rowcolors[5] = 0x0000AA;
    popups.QueueFileCancel();
    Click(Src().buttonGetArray);
    EXPECT_EQ(Table()->RowColour(5), QColor(0x0000AA));

    // A file that is not a colour array is reported; the colours it could not give stay.
    QFile bad(File("bad.car"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("7\nred\n");
    bad.close();
    popups.Clear();
    popups.QueueFileSelection(File("bad.car"));
    Click(Src().buttonGetArray);
    EXPECT_EQ(popups.Count(PopupKind::Message), 1);
    EXPECT_EQ(popups.Titles().last(), QString::fromLatin1(kFileErrorTitle));
    EXPECT_EQ(scope->State().rowcolors[0], 7);
    EXPECT_EQ(scope->State().rowcolors[5], 0x0000AA);
}

TEST_F(RowColoursTest, StartupFileIsLoadedAtTheNextStart) {
    RowColours colours = DefaultRowColours();
    colours[0] = 0x111111;
    colours[14] = 0xEEEEEE;
    ASSERT_TRUE(WriteColourArrayFile(File("startup.car"), colours).ok);
    OpenPanel();
    popups.Clear();
    popups.QueueFileSelection(File("startup.car"));
    Click(Src().buttonSetStartupArray);
    ASSERT_EQ(popups.Count(PopupKind::Message), 1);
    EXPECT_EQ(popups.Titles().last(), "Startup File is:");
    EXPECT_EQ(popups.Texts().last(), File("startup.car"));
    EXPECT_EQ(QFile(File("StartupPath.sup")).size(), 260);
    EXPECT_EQ(scope->State().rowcolors, DefaultRowColours()) << "nothing is loaded now";

    Stop();
    popups.Clear();
    Start();
    EXPECT_EQ(scope->State().rowcolors, colours);
    EXPECT_EQ(Table()->RowColour(0), QColor(0x111111));
    EXPECT_EQ(Table()->RowColour(14), QColor(0xEEEEEE));

    // The named file gone: silently the built-in colours, nothing painted.
    ASSERT_TRUE(QFile::remove(File("startup.car")));
    Stop();
    Start();
    EXPECT_EQ(scope->State().rowcolors, DefaultRowColours());
    EXPECT_FALSE(Table()->RowColour(0).isValid());

    // A cancelled SET STARTUP keeps the pointer file.
    popups.QueueFileCancel();
    OpenPanel();
    Click(Src().buttonSetStartupArray);
    EXPECT_EQ(QFile(File("StartupPath.sup")).size(), 260);
}

TEST_F(RowColoursTest, ColorButtonHelpIsTitledInfo) {
    ExpectHelp(scope->RowColourOps().buttonColor, info::InfoButtonColor, "Info");
}

}  // namespace
}  // namespace tvx
