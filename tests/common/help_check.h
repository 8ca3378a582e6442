#pragma once

#include "scripted_popups.h"
#include "user_actions.h"

namespace tvx {

// A right click on the control shows exactly its help text, in one pop-up titled `title`.
inline void ExpectHelp(ScriptedPopups& popups, QWidget* control, const char* text,
                       const char* title = "INFO!") {
    SCOPED_TRACE(text);
    popups.Clear();
    RightClick(control);
    ASSERT_EQ(popups.Count(), 1);
    EXPECT_EQ(popups.Titles().value(0), QString::fromLatin1(title));
    EXPECT_EQ(popups.Texts().value(0), QString::fromUtf8(text));
}

}  // namespace tvx
