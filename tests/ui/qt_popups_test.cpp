#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
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

// Acts on the next modal dialog once it is shown, as a user would, from inside its exec() loop.
// The watch polls with a timer (no spinning) and gives up after a generous number of ticks. The
// action runs apart from the watch, so that a dialog it opens in turn (a warning of the file
// dialog) cannot stop the watch; whatever is left open afterwards is reported and closed, innermost
// first, so that the test always ends.
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
        if (!acted_) {
            if (modal && modal->isVisible()) {
                acted_ = true;
                ticks_ = 0;
                QTimer::singleShot(0, modal, [this, modal] { act_(modal); });
            } else if (++ticks_ > 2000) {
                timer_.stop();
            }
            return;
        }
        if (!modal) {
            timer_.stop();
        } else if (++ticks_ > 200) {
            ticks_ = 0;
            QString text = modal->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) text += ": " + box->text();
            ADD_FAILURE() << "dialog left open: " << text.toStdString();
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
    }

    std::function<void(QWidget*)> act_;
    QTimer timer_;
    bool acted_ = false;
    int ticks_ = 0;
};

TEST(QtPopups, MessageBoxShowsTitleAndExactTextWithAnOkButton) {
    QtPopups popups;
    const QString text =
        " ATTENTION! \n \n MAXCOL-No. IS TOO HIGH \n DECREASE MAXCOL-No. OR SWITCH TO "
        "OUTMODE=BINARY";
    NextModal user([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "INFO!");
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButton(box->buttons()[0]), QMessageBox::Ok);
        QTest::mouseClick(box->buttons()[0], Qt::LeftButton);
    });
    popups.MessagePopup("INFO!", text);
}

TEST(QtPopups, AnEmptyTitleIsShownEmptyNotAsTheProgramsName) {
    // Before any handshake the failure box is titled with the empty version text.
    QtPopups popups;
    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmation" : "message");
        QString shown = QStringLiteral("not shown");
        NextModal user([&](QWidget* w) {
            shown = QPlatformWindow::formatWindowTitle(w->windowHandle()->title(), " - ");
            qobject_cast<QDialog*>(w)->reject();
        });
        if (confirm)
            popups.ConfirmPopup(QString(), QStringLiteral("?"));
        else
            popups.MessagePopup(QString(), QStringLiteral(" ATTENTION! "));
        EXPECT_TRUE(shown.trimmed().isEmpty()) << shown.toStdString();
    }
}

TEST(QtPopups, MessageBoxBelongsToTheActiveWindow) {
    QWidget main;
    main.setWindowTitle("TRIVEX-Scope V6.1");
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.activateWindow();
    if (!QTest::qWaitForWindowActive(&main)) GTEST_SKIP() << "the platform activates no window";
    QtPopups popups;
    NextModal user([&](QWidget* w) {
        EXPECT_EQ(w->parentWidget(), &main);
        qobject_cast<QDialog*>(w)->accept();
    });
    popups.MessagePopup("TCP Client", "Server has closed connection!");
}

TEST(QtPopups, ConfirmationAnswersYesOrNo) {
    QtPopups popups;
    const QString text =
        " Are you sure, that you have selected \n the right calibration parameters? ";
    {
        NextModal user([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), "CONFIRM CALCULATION!");
            EXPECT_EQ(box->text(), text);
            EXPECT_EQ(box->buttons().size(), 2);
            QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
        });
        EXPECT_TRUE(popups.ConfirmPopup("CONFIRM CALCULATION!", text));
    }
    {
        NextModal user([&](QWidget* w) {
            QTest::mouseClick(qobject_cast<QMessageBox*>(w)->button(QMessageBox::No),
                              Qt::LeftButton);
        });
        EXPECT_FALSE(popups.ConfirmPopup("CONFIRM CALCULATION!", text));
    }
    {
        // Escape or closing the box is a no.
        NextModal user([&](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        EXPECT_FALSE(popups.ConfirmPopup(
            "ATTENTION!", "File already exist! \nDo you want to select existing file?"));
    }
}

// The file dialog: title, start directory, proposed name and filter as asked; the user types a
// name.
class QtFileSelect : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        request_.startDirectory = dir_.path();
        request_.defaultFileName = "init.dat";
        request_.fileTypeList = "*.dat";
        request_.title = "init";
    }

    // Shows the dialog, checks how it opened, types `name` (if any) and presses Enter, or cancels.
    std::optional<QString> Select(const QString& name, bool cancel = false) {
        QtPopups popups;
        NextModal user([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), request_.title);
            EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir_.path()).canonicalPath());
            EXPECT_EQ(dialog->acceptMode(),
                      request_.forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            EXPECT_TRUE(dialog->nameFilters().join(' ').contains("*.dat"));
            auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(nameEdit, nullptr);
            EXPECT_EQ(nameEdit->text(), request_.defaultFileName);
            // Creating directories is allowed.
            auto* newFolder = dialog->findChild<QAbstractButton*>("newFolderButton");
            ASSERT_NE(newFolder, nullptr);
            EXPECT_TRUE(newFolder->isEnabled());
            if (cancel) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            if (!name.isNull()) {
                nameEdit->selectAll();
                QTest::keyClicks(nameEdit, name);
            }
            QTest::keyClick(nameEdit, Qt::Key_Return);
        });
        return popups.FileSelectPopup(request_);
    }

    QString Path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    static QString Canonical(const std::optional<QString>& path) {
        return path ? QFileInfo(*path).absoluteFilePath() : QString("<cancelled>");
    }

    void Touch(const QString& name) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir_;
    FileSelectRequest request_;
};

TEST_F(QtFileSelect, SavingTakesTheProposedNameAndCreatesNothing) {
    request_.forSaving = true;
    const auto chosen = Select(QString());
    EXPECT_EQ(Canonical(chosen), QFileInfo(Path("init.dat")).absoluteFilePath());
    EXPECT_FALSE(QFile::exists(Path("init.dat")));
}

TEST_F(QtFileSelect, SavingAddsTheExtensionToATypedName) {
    request_.forSaving = true;
    EXPECT_EQ(Canonical(Select("para1")), QFileInfo(Path("para1.dat")).absoluteFilePath());
    // Another extension is not one of the list: the list's extension is added to it.
    EXPECT_EQ(Canonical(Select("para2.txt")), QFileInfo(Path("para2.txt.dat")).absoluteFilePath());
    // The letter case of the extension does not matter.
    EXPECT_EQ(Canonical(Select("PARA3.DAT")), QFileInfo(Path("PARA3.DAT")).absoluteFilePath());
}

TEST_F(QtFileSelect, SavingOverAnExistingFileAsksNothing) {
    // The programs ask their own question about an existing file.
    request_.forSaving = true;
    Touch("record.dat");
    EXPECT_EQ(Canonical(Select("record.dat")), QFileInfo(Path("record.dat")).absoluteFilePath());
}

TEST_F(QtFileSelect, OpeningFindsTheFileByItsNameWithoutExtension) {
    Touch("para.dat");
    request_.forSaving = false;
    request_.defaultFileName = "init.dat";
    EXPECT_EQ(Canonical(Select("para")), QFileInfo(Path("para.dat")).absoluteFilePath());
}

TEST_F(QtFileSelect, CancelReturnsNothing) {
    request_.forSaving = true;
    EXPECT_EQ(Select(QString(), true), std::nullopt);
    request_.forSaving = false;
    EXPECT_EQ(Select(QString(), true), std::nullopt);
}

TEST(FileTypes, PatternsAndRestriction) {
    EXPECT_EQ(FileTypePatterns("*.dat"), QStringList({"*.dat"}));
    EXPECT_EQ(FileTypePatterns("*.car; *.dat;"), QStringList({"*.car", "*.dat"}));
    EXPECT_TRUE(FileTypePatterns("").isEmpty());
    EXPECT_TRUE(FileTypePatterns("*.*").isEmpty());
    EXPECT_TRUE(FileTypePatterns("*").isEmpty());

    EXPECT_EQ(RestrictToFileTypes("/d/init", "*.dat"), "/d/init.dat");
    EXPECT_EQ(RestrictToFileTypes("/d/init.dat", "*.dat"), "/d/init.dat");
    EXPECT_EQ(RestrictToFileTypes("/d/INIT.Dat", "*.dat"), "/d/INIT.Dat");
    EXPECT_EQ(RestrictToFileTypes("/d/eq.equ.bak", "*.equ"), "/d/eq.equ.bak.equ");
    EXPECT_EQ(RestrictToFileTypes("/d.dat/x", "*.dat"), "/d.dat/x.dat");
    EXPECT_EQ(RestrictToFileTypes("/d/colors.car", "*.dat;*.car"), "/d/colors.car");
    EXPECT_EQ(RestrictToFileTypes("/d/colors", "*.dat;*.car"), "/d/colors.dat");
    EXPECT_EQ(RestrictToFileTypes("/d/any.txt", "*.*"), "/d/any.txt");
    EXPECT_EQ(RestrictToFileTypes("/d/any.txt", ""), "/d/any.txt");
}

}  // namespace
}  // namespace tvx
