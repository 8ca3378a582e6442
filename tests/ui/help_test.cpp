// The right-click help on real widgets, clicked through the window as a user clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

#include "help.h"
#include "help_check.h"

namespace tvx {
namespace {

using Case = std::pair<QWidget*, const char*>;

// Help texts as the programs write them: blanks at both ends, line breaks, a degree sign.
constexpr const char* InfoStringIpAdress = " Select an IP adress.";
constexpr const char* InfoStringPortNumber = " Select a port number.";
constexpr const char* InfoButtonAccept = " Accept settings and return to main panel.";
constexpr const char* InfoGridTpMean = " Table to list the mean values. ";
constexpr const char* InfoEditHold = " Hold time of the outputs \n in ms.";
constexpr const char* InfoSwitchPara = " Hide or show COLOR TEACH TABLE.";
constexpr const char* InfoEditIntlim = " Intensity limit \n below which no colour is taken. ";
constexpr const char* InfoDisRecFile = " Shows the path of the record file. ";
constexpr const char* InfoButtonGo = " Starts data transfer. \n Shortcut Key: F11. ";
constexpr const char* InfoButtonSend = " Sends the parameters. \n Shortcut Key: F9. ";
constexpr const char* InfoButtonColor = " Paints the row in the colour \n of the measurement.";
constexpr const char* InfoButtonTeachDataTo = " Displays in \u00B0C the temperature \n of a row.";

class Help : public ::testing::Test {
  protected:
    Help() {
        // A built-in context menu opened by mistake would hold the test in its loop: close it.
        QObject::connect(&menuGuard_, &QTimer::timeout, [] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                ADD_FAILURE() << "a context menu opened instead of the help";
                menu->close();
            }
        });
        menuGuard_.start(200);
    }

    template <typename W>
    W* Add(W* control, const char* text, bool enabled = true) {
        layout_->addWidget(control);
        AttachHelp(control, popups_, text);
        control->setEnabled(enabled);
        return control;
    }
    void Show() {
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    QTimer menuGuard_;
    ScriptedPopups popups_;
    std::unique_ptr<QWidget> window_ = std::make_unique<QWidget>();
    QVBoxLayout* layout_ = new QVBoxLayout(window_.get());
};

TEST_F(Help, EveryKindOfControlItsPartsAndNestedControlsShowTheirHelp) {
    auto* combo = Add(new QComboBox, InfoStringIpAdress);
    auto* table = Add(new QTableWidget(3, 3), InfoGridTpMean);
    table->setItem(1, 1, new QTableWidgetItem("4095"));
    table->setMinimumSize(400, 160);
    auto* spin = Add(new QSpinBox, InfoEditHold);
    auto* panel = Add(new QWidget, InfoSwitchPara);  // dimmed below, with a control inside
    auto* inPanel = new QSpinBox;
    (new QHBoxLayout(panel))->addWidget(inPanel);
    AttachHelp(inPanel, popups_, InfoEditIntlim);
    auto* edit = Add(new QLineEdit("text"), InfoDisRecFile);
    const Case controls[] = {{edit, InfoDisRecFile},
                             {spin, InfoEditHold},
                             {combo, InfoStringIpAdress},
                             {table, InfoGridTpMean}};
    auto* color = Add(new QPushButton("COLOR"), InfoButtonGo);
    AttachHelp(color, popups_, InfoButtonColor, kInfoTitleRowColor);
    AttachHelp(nullptr, popups_, InfoButtonGo);
    // Whichever gets its help first, a control inside another helped widget keeps its own.
    std::vector<std::pair<QWidget*, QWidget*>> nested;
    for (bool innerFirst : {false, true}) {
        auto* outer = new QWidget;
        outer->setMinimumSize(300, 120);
        auto* inner = new QPushButton("TEACH", outer);
        inner->setGeometry(10, 10, 80, 30);
        if (innerFirst) AttachHelp(inner, popups_, InfoButtonTeachDataTo);
        Add(outer, InfoSwitchPara);
        if (!innerFirst) AttachHelp(inner, popups_, InfoButtonTeachDataTo);
        nested.emplace_back(outer, inner);
    }
    Show();
    combo->setEditable(true);  // a part made after the help was attached
    for (const auto& [control, text] : controls) ExpectHelp(popups_, control, text);
    EXPECT_EQ(table->toolTip(), QString::fromUtf8(InfoGridTpMean));
    ExpectHelp(popups_, spin->findChild<QLineEdit*>(), InfoEditHold);
    ExpectHelp(popups_, combo->lineEdit(), InfoStringIpAdress);
    table->editItem(table->item(1, 1));  // a cell editor, made later too
    ExpectHelp(popups_, table->viewport()->findChild<QLineEdit*>(), InfoGridTpMean);
    panel->setEnabled(false);
    ExpectHelp(popups_, inPanel->findChild<QLineEdit*>(), InfoEditIntlim);
    ExpectHelp(popups_, color, InfoButtonColor, "Info");
    for (const auto& [outer, inner] : nested) {
        ExpectHelp(popups_, inner, InfoButtonTeachDataTo);
        ExpectHelp(popups_, outer, InfoSwitchPara);
    }
}

TEST_F(Help, EachRightClickGivesOneHelpWhateverWasClickedOrDimmedBefore) {
    // As on the interface panel: leaving a changed text field dims ACCEPT, while the right click
    // on the next control is being handled.
    auto* port = Add(new QLineEdit("4001"), InfoStringPortNumber);
    auto* go = Add(new QPushButton("GO"), InfoButtonGo);
    auto* accept = Add(new QPushButton("ACCEPT"), InfoButtonAccept);
    auto* send = Add(new QPushButton("SEND"), InfoButtonSend, false);
    auto* spin = Add(new QSpinBox, InfoEditHold, false);
    QObject::connect(port, &QLineEdit::editingFinished, [accept] { accept->setEnabled(false); });
    int clicks = 0;
    QObject::connect(send, &QPushButton::clicked, [&] { ++clicks; });
    Show();
    ExpectHelp(popups_, port, InfoStringPortNumber);
    port->setText("4002");
    const Case sequence[] = {{go, InfoButtonGo},         {accept, InfoButtonAccept},
                             {accept, InfoButtonAccept}, {send, InfoButtonSend},
                             {spin, InfoEditHold},       {go, InfoButtonGo}};
    for (const auto& [control, text] : sequence) ExpectHelp(popups_, control, text);
    EXPECT_FALSE(accept->isEnabled());
    popups_.Clear();
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, send->geometry().center());
    EXPECT_EQ(clicks + popups_.Count(), 0) << "a left click on a dimmed control does nothing";

    // In the program the box is modal and the button comes up while it is open: that release
    // never reaches the window. The next right click still works.
    QPoint at;
    popups_.SetHook([&](const PopupRecord&) {
        QWidget box;
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        QTest::mouseRelease(window_->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
        box.close();
    });
    for (const auto& [control, text] : sequence) {
        at = control->geometry().center();
        popups_.Clear();
        QTest::mousePress(window_->windowHandle(), Qt::RightButton, Qt::NoModifier, at);
        EXPECT_EQ(popups_.Texts(), QStringList{QString::fromUtf8(text)});
    }
}

}  // namespace
}  // namespace tvx
