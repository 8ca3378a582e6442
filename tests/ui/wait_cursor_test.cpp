// The wait cursor of a blocking connect.
#include <gtest/gtest.h>

#include <QCursor>
#include <QGuiApplication>

#include "wait.h"

namespace tvx {
namespace {

TEST(WaitCursor, ShowsTheWaitCursorWhileItLives) {
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        WaitCursor cursor;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace tvx
