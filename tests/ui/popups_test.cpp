// The pop-ups as Qt shows them, answered from inside their loops as a user answers them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

#include "qt_popups.h"

// How Qt's platform plugins turn a window's title into the one the window system shows (exported
// by QtGui, header not shipped with the public development files).
class QPlatformWindow {
  public:
    static QString formatWindowTitle(const QString& title, const QString& separator);
};

namespace tvx {
namespace {

// Acts on the next modal dialog from inside its exec() loop, polled with a timer; gives up after a
// while, and reports and closes a dialog left open long after, so that the test always ends.
class NextModal {
  public:
    explicit NextModal(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    ~NextModal() { EXPECT_TRUE(acted_) << "no modal dialog appeared"; }

  private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!acted_ && modal && modal->isVisible()) {
            acted_ = true;
            ticks_ = 0;
            QTimer::singleShot(0, modal, [this, modal] { act_(modal); });
        } else if (acted_ ? !modal : ++ticks_ > 2000) {
            timer_.stop();
        } else if (acted_ && ++ticks_ > 200) {
            ticks_ = 0;
            ADD_FAILURE() << "dialog left open: " << modal->windowTitle().toStdString();
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
    }

    std::function<void(QWidget*)> act_;
    QTimer timer_;
    bool acted_ = false;
    int ticks_ = 0;
};

TEST(QtPopups, BoxesShowTitleAndPlainTextAndConfirmationsAnswerYesOrNo) {
    QtPopups popups;
    const QString text = " ATTENTION! \n \n MAXCOL-No. <b>IS</b> TOO HIGH ";
    // OK, by click and by Enter; then Yes, No, Escape (closing the box: a no) and Enter (the
    // question's default answer: yes, or no where yes would lose work).
    using Answer = Popups::DefaultAnswer;
    for (const auto& [button, key, byDefault, yes] :
         {std::tuple{QMessageBox::Ok, 0, Answer::Yes, false},
          {QMessageBox::Ok, Qt::Key_Return, Answer::Yes, false},
          {QMessageBox::Yes, 0, Answer::Yes, true},
          {QMessageBox::No, 0, Answer::Yes, false},
          {QMessageBox::No, Qt::Key_Escape, Answer::Yes, false},
          {QMessageBox::Yes, Qt::Key_Return, Answer::Yes, true},
          {QMessageBox::No, Qt::Key_Return, Answer::No, false},
          {QMessageBox::Yes, 0, Answer::No, true}}) {
        NextModal user([&, button = button, key = key](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle() + box->text(), "CONFIRM!" + text);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
            EXPECT_EQ(box->standardButtons(), button == QMessageBox::Ok
                                                  ? QMessageBox::Ok
                                                  : QMessageBox::Yes | QMessageBox::No);
            if (key)
                QTest::keyClick(w, static_cast<Qt::Key>(key));
            else
                QTest::mouseClick(box->button(button), Qt::LeftButton);
        });
        if (button == QMessageBox::Ok)
            popups.MessagePopup("CONFIRM!", text);
        else
            EXPECT_EQ(popups.ConfirmPopup("CONFIRM!", text, byDefault), yes) << button;
    }
}

TEST(QtPopups, AnEmptyTitleIsShownEmpty) {
    // Before any handshake the failure box is titled with the empty version text.
    QtPopups popups;
    for (const bool confirm : {false, true}) {
        QString shown = QStringLiteral("not shown");
        NextModal user([&](QWidget* w) {
            shown = QPlatformWindow::formatWindowTitle(w->windowHandle()->title(), " - ");
            qobject_cast<QDialog*>(w)->reject();
        });
        confirm ? void(popups.ConfirmPopup(QString(), "?")) : popups.MessagePopup(QString(), "!");
        EXPECT_TRUE(shown.trimmed().isEmpty()) << shown.toStdString();
    }
}

TEST(QtPopups, FileDialogOpensAsAskedAndTakesANameOfTheListsTypes) {
    QTemporaryDir dir;
    QFile(dir.filePath("record.dat")).open(QIODevice::WriteOnly);
    QFile(dir.filePath("para.dat")).open(QIODevice::WriteOnly);
    const std::tuple<bool, const char*, const char*> cases[] = {
        // Saving: Enter on the proposed name (nothing is created), the list's extension added to
        // a name of another type, in any letter case; an existing file (the programs ask their
        // own question). Opening: the file found by its name without extension. Escape cancels.
        {true, nullptr, "init.dat"},      {true, "para2.txt", "para2.txt.dat"},
        {true, "PARA3.DAT", "PARA3.DAT"}, {true, "record.dat", "record.dat"},
        {false, "para", "para.dat"},      {false, "", nullptr},
    };
    for (const auto& [forSaving, typed, chosen] : cases) {
        SCOPED_TRACE(typed ? typed : "proposed name");
        NextModal user([&, forSaving = forSaving, typed = typed](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "init");
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
            EXPECT_EQ(dialog->acceptMode(),
                      forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            EXPECT_TRUE(dialog->nameFilters().join(' ').contains("*.dat"));
            EXPECT_TRUE(dialog->findChild<QAbstractButton*>("newFolderButton")->isEnabled());
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            EXPECT_EQ(name->text(), "init.dat");
            if (typed) name->selectAll();
            if (typed) QTest::keyClicks(name, typed);
            QTest::keyClick(name, typed && !*typed ? Qt::Key_Escape : Qt::Key_Return);
        });
        const std::optional<QString> got =
            QtPopups().FileSelectPopup({dir.path(), "init.dat", "*.dat", "init", forSaving});
        EXPECT_EQ(got.value_or("-"),
                  chosen ? QFileInfo(dir.filePath(chosen)).absoluteFilePath() : QString("-"));
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("init.dat")));

    // The types of a list, and the extension added to a chosen name.
    EXPECT_EQ(FileTypePatterns("*.car; *.dat;") + FileTypePatterns("*.*") + FileTypePatterns("*"),
              QStringList({"*.car", "*.dat"}));
    const std::tuple<const char*, const char*, const char*> names[] = {
        {"/d/init", "*.dat", "/d/init.dat"},
        {"/d/eq.equ.bak", "*.equ", "/d/eq.equ.bak.equ"},
        {"/d/colors", "*.dat;*.car", "/d/colors.dat"},
        {"/d/any.txt", "*.*", "/d/any.txt"},
    };
    for (const auto& [path, types, expected] : names)
        EXPECT_EQ(RestrictToFileTypes(path, types), expected) << path << " " << types;
}

}  // namespace
}  // namespace tvx
