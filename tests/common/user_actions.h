#pragma once

// The user's actions on real widgets, as a user makes them.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

namespace tvx {

// Opens the ring's list, moves to the item with the given code and takes it with Enter.
inline void Choose(QComboBox* ring, int code) {
    const int index = ring->findData(code);
    ASSERT_GE(index, 0) << "no item with code " << code;
    ASSERT_TRUE(ring->isVisible() && ring->isEnabled()) << "a hidden or dimmed ring";
    ring->showPopup();
    QAbstractItemView* list = ring->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    while (list->currentIndex().row() < index) QTest::keyClick(list, Qt::Key_Down);
    while (list->currentIndex().row() > index) QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(ring->currentIndex(), index);
}

// Types a number over the field's text and commits it with Enter.
inline void Enter(QSpinBox* numeric, int value) {
    ASSERT_TRUE(numeric->isVisible() && numeric->isEnabled());
    numeric->selectAll();
    QTest::keyClicks(numeric, QString::number(value));
    QTest::keyClick(numeric, Qt::Key_Return);
    ASSERT_EQ(numeric->value(), value);
}

// Clicks the numeric's up or down arrow once.
inline void ClickArrow(QSpinBox* numeric, bool up) {
    ASSERT_TRUE(numeric->isVisible() && numeric->isEnabled());
    QStyleOptionSpinBox option;
    option.initFrom(numeric);
    option.frame = numeric->hasFrame();
    option.buttonSymbols = numeric->buttonSymbols();
    const QRect arrow = numeric->style()->subControlRect(
        QStyle::CC_SpinBox, &option, up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, numeric);
    ASSERT_FALSE(arrow.isEmpty());
    QTest::mouseClick(numeric, Qt::LeftButton, {}, arrow.center());
}

inline void Click(QAbstractButton* button) {
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks the cell (making it the active one), opens its editor with F2, types the value and
// commits with Enter. False when no editor opened (a read-only cell).
inline bool EditCell(QTableWidget* table, int row, int column, int value) {
    const QRect cell = table->visualItemRect(table->item(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    if (table->currentRow() != row || table->currentColumn() != column) return false;
    QTest::keyClick(table, Qt::Key_F2);
    QSpinBox* editor = nullptr;  // editors closed before may still await their deletion
    for (QSpinBox* open : table->viewport()->findChildren<QSpinBox*>())
        if (open->isVisible()) editor = open;
    if (!editor) return false;
    editor->selectAll();
    QTest::keyClicks(editor, QString::number(value));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the table takes the editor's value in a queued call
    return !editor->isVisible();
}

inline void RightClick(QWidget* control) {
    ASSERT_TRUE(control->isVisible());
    QWidget* top = control->window();
    QTest::mouseClick(top->windowHandle(), Qt::RightButton, Qt::NoModifier,
                      control->mapTo(top, control->rect().center()));
}

}  // namespace tvx
