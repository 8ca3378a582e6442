#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "help.h"
#include "info_texts.h"
#include "scripted_popups.h"

namespace tvx {
namespace {

// A shown top-level window with the controls under test, right-clicked through the window system
// path (mouse press on the window -> QWidgetWindow -> QContextMenuEvent), as a user would.
class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override { NewWindow(); }

    void NewWindow() {
        window_ = std::make_unique<QWidget>();
        layout_ = new QVBoxLayout(window_.get());
        window_->resize(500, 600);
    }

    template <typename W>
    W* Add(W* widget) {
        layout_->addWidget(widget);
        return widget;
    }

    void Show() {
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    // Right click at a point of `target`, delivered to the window like a real mouse click.
    void RightClick(QWidget* target, QPoint at = QPoint(-1, -1)) {
        if (at == QPoint(-1, -1)) at = target->rect().center();
        QWidget* top = target->window();
        QTest::mouseClick(top->windowHandle(), Qt::RightButton, Qt::NoModifier,
                          target->mapTo(top, at));
        // A built-in context menu would now run its own loop; none may be open.
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }

    void ExpectOneHelp(const QString& title, const char* text) {
        ASSERT_EQ(popups_.Count(), 1) << popups_.Texts().join(" | ").toStdString();
        EXPECT_EQ(popups_.Records()[0].kind, PopupKind::Message);
        EXPECT_EQ(popups_.LastTitle(), title);
        EXPECT_EQ(popups_.LastText(), QString::fromUtf8(text));
    }

    ScriptedPopups popups_;
    std::unique_ptr<QWidget> window_;
    QVBoxLayout* layout_ = nullptr;
};

// A built-in context menu that opened by mistake would block the test in its own loop: close it.
class MenuGuard {
  public:
    MenuGuard() {
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                ADD_FAILURE() << "a context menu opened instead of the help";
                menu->close();
            }
        });
        timer_.start(200);
    }

  private:
    QTimer timer_;
};

TEST_F(HelpTest, RightClickOnEveryKindOfControlShowsItsHelp) {
    MenuGuard guard;
    auto* button = Add(new QPushButton("GO"));
    auto* edit = Add(new QLineEdit("text"));
    auto* spin = Add(new QSpinBox);
    auto* ring = Add(new QComboBox);
    ring->addItems({"CONT", "EXT1", "EXT2"});
    auto* editableCombo = Add(new QComboBox);
    editableCombo->setEditable(true);
    editableCombo->addItem("127.0.0.1");
    auto* table = Add(new QTableWidget(15, 6));
    AttachHelp(button, popups_, info::InfoButtonGo);
    AttachHelp(edit, popups_, info::InfoDisRecFile);
    AttachHelp(spin, popups_, info::InfoEditMaxcolNo);
    AttachHelp(ring, popups_, info::InfoEditTrigger);
    AttachHelp(editableCombo, popups_, info::InfoStringIpAdress);
    AttachHelp(table, popups_, info::InfoGridTpValues);
    Show();

    const std::pair<QWidget*, const char*> cases[] = {
        {button, info::InfoButtonGo},
        {edit, info::InfoDisRecFile},
        {spin, info::InfoEditMaxcolNo},
        {ring, info::InfoEditTrigger},
        {editableCombo, info::InfoStringIpAdress},
        {table, info::InfoGridTpValues},
    };
    for (const auto& [control, text] : cases) {
        SCOPED_TRACE(control->metaObject()->className());
        popups_.Clear();
        RightClick(control);
        ExpectOneHelp("INFO!", text);
        EXPECT_EQ(control->toolTip(), QString::fromUtf8(text));
    }
}

TEST_F(HelpTest, PartsOfAControlGiveTheControlsHelpInsteadOfTheirOwnMenu) {
    MenuGuard guard;
    auto* spin = Add(new QSpinBox);
    auto* combo = Add(new QComboBox);
    combo->setEditable(true);
    auto* table = Add(new QTableWidget(3, 3));
    table->setItem(1, 1, new QTableWidgetItem("4095"));
    AttachHelp(spin, popups_, info::InfoEditHold);
    AttachHelp(combo, popups_, info::InfoStringIpAdress);
    AttachHelp(table, popups_, info::InfoGridTpMean);
    Show();

    // The text field inside the spin box and the combo box: their QLineEdit menu is replaced.
    auto* spinText = spin->findChild<QLineEdit*>();
    ASSERT_NE(spinText, nullptr);
    RightClick(spinText);
    ExpectOneHelp("INFO!", info::InfoEditHold);

    popups_.Clear();
    RightClick(combo->lineEdit());
    ExpectOneHelp("INFO!", info::InfoStringIpAdress);

    // A table's cell and a cell editor opened later.
    popups_.Clear();
    const QRect cell = table->visualItemRect(table->item(1, 1));
    RightClick(table->viewport(), cell.center());
    ExpectOneHelp("INFO!", info::InfoGridTpMean);

    table->editItem(table->item(1, 1));
    auto* editor = table->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    popups_.Clear();
    RightClick(editor);
    ExpectOneHelp("INFO!", info::InfoGridTpMean);

    // The keyboard's menu key sends the event to the part with the focus.
    popups_.Clear();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(2, 2),
                          spinText->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(spinText, &key);
    ExpectOneHelp("INFO!", info::InfoEditHold);
}

TEST_F(HelpTest, ComboBoxMadeEditableAfterwardsStillShowsHelp) {
    MenuGuard guard;
    auto* combo = Add(new QComboBox);
    AttachHelp(combo, popups_, info::InfoStringIpAdress);
    Show();
    combo->setEditable(true);
    QApplication::processEvents();
    ASSERT_NE(combo->lineEdit(), nullptr);
    ASSERT_TRUE(combo->lineEdit()->isVisible());
    RightClick(combo->lineEdit());
    ExpectOneHelp("INFO!", info::InfoStringIpAdress);
}

TEST_F(HelpTest, DimmedControlAndControlWithinADimmedPanelStillShowHelp) {
    auto* send = Add(new QPushButton("SEND"));
    auto* group = Add(new QWidget);
    auto* groupLayout = new QHBoxLayout(group);
    auto* spin = new QSpinBox;
    groupLayout->addWidget(spin);
    AttachHelp(send, popups_, info::InfoButtonSend);
    AttachHelp(spin, popups_, info::InfoEditIntlim);
    Show();

    send->setEnabled(false);
    RightClick(send);
    ExpectOneHelp("INFO!", info::InfoButtonSend);
    EXPECT_FALSE(send->isEnabled());

    group->setEnabled(false);
    popups_.Clear();
    RightClick(spin->findChild<QLineEdit*>());
    ExpectOneHelp("INFO!", info::InfoEditIntlim);
}

TEST_F(HelpTest, EachRightClickGivesOneHelpWhateverWasClickedBefore) {
    // Enabled and dimmed controls of every kind, in one window and in a second one, clicked in an
    // order that goes from enabled to dimmed, from dimmed to dimmed, and back.
    MenuGuard guard;
    auto* go = Add(new QPushButton("GO"));
    auto* accept = Add(new QPushButton("ACCEPT"));
    auto* send = Add(new QPushButton("SEND"));
    auto* spin = Add(new QSpinBox);
    auto* address = Add(new QComboBox);
    address->setEditable(true);
    auto* table = Add(new QTableWidget(3, 3));
    AttachHelp(go, popups_, info::InfoButtonGo);
    AttachHelp(accept, popups_, info::InfoButtonAccept);
    AttachHelp(send, popups_, info::InfoButtonSend);
    AttachHelp(spin, popups_, info::InfoEditHold);
    AttachHelp(address, popups_, info::InfoStringIpAdress);
    AttachHelp(table, popups_, info::InfoGridTpValues);
    for (QWidget* dimmed : {static_cast<QWidget*>(accept), static_cast<QWidget*>(send),
                            static_cast<QWidget*>(spin), static_cast<QWidget*>(address)})
        dimmed->setEnabled(false);
    Show();

    QWidget other;
    auto* otherLayout = new QVBoxLayout(&other);
    auto* discard = new QPushButton("DISCARD");
    auto* tryConnect = new QPushButton("TRY TO CONNECT");
    otherLayout->addWidget(discard);
    otherLayout->addWidget(tryConnect);
    AttachHelp(discard, popups_, info::InfoButtonDiscard);
    AttachHelp(tryConnect, popups_, info::InfoButtonTryToConnect);
    tryConnect->setEnabled(false);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));

    const std::pair<QWidget*, const char*> sequence[] = {
        {go, info::InfoButtonGo},
        {accept, info::InfoButtonAccept},
        {send, info::InfoButtonSend},
        {spin, info::InfoEditHold},
        {address, info::InfoStringIpAdress},
        {table, info::InfoGridTpValues},
        {accept, info::InfoButtonAccept},
        {accept, info::InfoButtonAccept},
        {discard, info::InfoButtonDiscard},
        {tryConnect, info::InfoButtonTryToConnect},
        {send, info::InfoButtonSend},
        {go, info::InfoButtonGo},
    };
    for (const auto& [control, text] : sequence) {
        SCOPED_TRACE(QString::fromUtf8(text).left(40).toStdString());
        popups_.Clear();
        RightClick(control);
        ExpectOneHelp("INFO!", text);
    }

    // A left click on a dimmed control neither acts nor shows help.
    int clicks = 0;
    QObject::connect(send, &QPushButton::clicked, [&] { ++clicks; });
    popups_.Clear();
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      send->mapTo(window_.get(), send->rect().center()));
    EXPECT_EQ(popups_.Count(), 0);
    EXPECT_EQ(clicks, 0);
}

TEST_F(HelpTest, ControlDimmedByTheClickOnAnotherStillShowsHelp) {
    // As on the interface panel: leaving a changed text field dims ACCEPT. The right click on the
    // next control takes the focus, so ACCEPT gets dimmed while that click is being handled.
    MenuGuard guard;
    auto* port = Add(new QLineEdit("4001"));
    auto* tryConnect = Add(new QPushButton("TRY TO CONNECT"));
    auto* accept = Add(new QPushButton("ACCEPT"));
    AttachHelp(port, popups_, info::InfoStringPortNumber);
    AttachHelp(tryConnect, popups_, info::InfoButtonTryToConnect);
    AttachHelp(accept, popups_, info::InfoButtonAccept);
    QObject::connect(port, &QLineEdit::editingFinished, [accept] { accept->setEnabled(false); });
    Show();

    RightClick(port);
    ExpectOneHelp("INFO!", info::InfoStringPortNumber);
    ASSERT_TRUE(port->hasFocus());
    port->setText("4002");

    popups_.Clear();
    RightClick(tryConnect);
    ExpectOneHelp("INFO!", info::InfoButtonTryToConnect);
    ASSERT_FALSE(accept->isEnabled());

    popups_.Clear();
    RightClick(accept);
    ExpectOneHelp("INFO!", info::InfoButtonAccept);
}

TEST_F(HelpTest, ReleaseWhileTheHelpBoxIsOpenDoesNotHoldTheNextClick) {
    // In the program the box is modal and the mouse button comes up while it is open: that
    // release never reaches the window. The next right click, on a dimmed control too, still works.
    MenuGuard guard;
    auto* go = Add(new QPushButton("GO"));
    auto* accept = Add(new QPushButton("ACCEPT"));
    auto* spin = Add(new QSpinBox);
    AttachHelp(go, popups_, info::InfoButtonGo);
    AttachHelp(accept, popups_, info::InfoButtonAccept);
    AttachHelp(spin, popups_, info::InfoEditHold);
    accept->setEnabled(false);
    spin->setEnabled(false);
    Show();

    QPoint at;
    popups_.SetHook([&](const PopupRecord&) {
        QWidget box;
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QTest::mouseRelease(window_->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
        box.close();
    });
    const std::pair<QWidget*, const char*> sequence[] = {
        {go, info::InfoButtonGo}, {accept, info::InfoButtonAccept}, {spin, info::InfoEditHold},
        {go, info::InfoButtonGo}, {accept, info::InfoButtonAccept},
    };
    for (const auto& [control, text] : sequence) {
        SCOPED_TRACE(QString::fromUtf8(text).left(40).toStdString());
        popups_.Clear();
        at = control->mapTo(window_.get(), control->rect().center());
        QTest::mousePress(window_->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
        ExpectOneHelp("INFO!", text);
    }
}

TEST_F(HelpTest, MenuKeyShowsTheHelpOfTheControlWithTheFocus) {
    MenuGuard guard;
    auto* go = Add(new QPushButton("GO"));
    auto* spin = Add(new QSpinBox);
    auto* accept = Add(new QPushButton("ACCEPT"));
    AttachHelp(go, popups_, info::InfoButtonGo);
    AttachHelp(spin, popups_, info::InfoEditHold);
    AttachHelp(accept, popups_, info::InfoButtonAccept);
    Show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));

    // The window system reports the key to the window, which hands it to the focus widget.
    auto pressMenuKey = [this] {
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(window_->windowHandle(), &key);
    };
    go->setFocus();
    ASSERT_TRUE(go->hasFocus());
    pressMenuKey();
    ExpectOneHelp("INFO!", info::InfoButtonGo);

    popups_.Clear();
    spin->setFocus();
    ASSERT_TRUE(spin->findChild<QLineEdit*>()->hasFocus());
    pressMenuKey();
    ExpectOneHelp("INFO!", info::InfoEditHold);

    // A dimmed control cannot hold the focus; a menu-key event sent to it still gives its help,
    // once, and so does a second dimmed control right after.
    accept->setEnabled(false);
    spin->setEnabled(false);
    for (const auto& [control, text] :
         {std::pair<QWidget*, const char*>{accept, info::InfoButtonAccept},
          {spin, info::InfoEditHold}}) {
        SCOPED_TRACE(QString::fromUtf8(text).left(40).toStdString());
        popups_.Clear();
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(2, 2),
                              control->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(control, &key);
        ExpectOneHelp("INFO!", text);
    }
}

TEST_F(HelpTest, RowColourButtonUsesItsOwnTitle) {
    auto* color = Add(new QPushButton("COLOR"));
    AttachHelp(color, popups_, info::InfoButtonColor, kInfoTitleRowColor);
    Show();
    RightClick(color);
    ExpectOneHelp("Info", info::InfoButtonColor);
    EXPECT_EQ(popups_.LastText(), " Opens a panel to set the corresponding ROW colors.");
}

TEST_F(HelpTest, LeftClickStillActsAndShowsNoHelp) {
    auto* stop = Add(new QPushButton("STOP"));
    int clicks = 0;
    QObject::connect(stop, &QPushButton::clicked, [&] { ++clicks; });
    AttachHelp(stop, popups_, info::InfoButtonStop);
    Show();
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(popups_.Count(), 0);
    RightClick(stop);
    EXPECT_EQ(clicks, 1);
    ExpectOneHelp("INFO!", info::InfoButtonStop);
}

TEST_F(HelpTest, AttachingAgainReplacesTheTextAndShowsOneBox) {
    auto* button = Add(new QPushButton("X"));
    AttachHelp(button, popups_, info::InfoButtonGet);
    AttachHelp(button, popups_, info::InfoButtonSend);
    Show();
    RightClick(button);
    ExpectOneHelp("INFO!", info::InfoButtonSend);
    EXPECT_EQ(button->toolTip(), QString::fromUtf8(info::InfoButtonSend));
}

TEST_F(HelpTest, NestedControlsEachKeepTheirOwnHelp) {
    // Whichever gets its help first, a control inside another helped widget keeps its own text.
    for (bool innerFirst : {false, true}) {
        SCOPED_TRACE(innerFirst ? "inner first" : "outer first");
        NewWindow();
        auto* outer = Add(new QWidget);
        outer->setMinimumSize(300, 120);
        auto* inner = new QPushButton("TEACH", outer);
        inner->setGeometry(10, 10, 80, 30);
        if (innerFirst) AttachHelp(inner, popups_, info::InfoButtonTeachDataTo);
        AttachHelp(outer, popups_, info::InfoSwitchPara);
        if (!innerFirst) AttachHelp(inner, popups_, info::InfoButtonTeachDataTo);
        Show();
        popups_.Clear();
        RightClick(inner);
        ExpectOneHelp("INFO!", info::InfoButtonTeachDataTo);
        popups_.Clear();
        RightClick(outer, QPoint(250, 100));
        ExpectOneHelp("INFO!", info::InfoSwitchPara);
    }
}

TEST_F(HelpTest, WindowClosedWhileTheHelpBoxIsOpen) {
    // The box runs a nested loop in the real program; the user may close the main window meanwhile.
    auto* button = Add(new QPushButton("GO"));
    AttachHelp(button, popups_, info::InfoButtonGo);
    Show();
    QPointer<QWidget> window = window_.get();
    window_->setAttribute(Qt::WA_DeleteOnClose);
    popups_.SetHook([&](const PopupRecord&) { window->close(); });
    window_.release();  // the window deletes itself on close
    QTest::mouseClick(window->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      button->mapTo(window, button->rect().center()));
    ExpectOneHelp("INFO!", info::InfoButtonGo);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(HelpTest, NullControlIsIgnored) {
    AttachHelp(nullptr, popups_, info::InfoButtonGo);
    EXPECT_EQ(popups_.Count(), 0);
}

}  // namespace
}  // namespace tvx
