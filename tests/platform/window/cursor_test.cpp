#include <gtest/gtest.h>

#include "platform/last_error.h"
#include "platform/window/cursor.h"

// The busy indicator pattern: load the wait cursor, set it, and put the old one back.
TEST(Cursor, WaitCursorIsShownUntilThePreviousOneIsRestored) {
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    ASSERT_NE(wait, nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), wait);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), wait);

    HCURSOR previous = SetCursor(wait);
    EXPECT_TRUE(fvt::WaitCursorShown());
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(SetCursor(previous), wait);
    EXPECT_FALSE(fvt::WaitCursorShown());
    EXPECT_EQ(GetCursor(), previous);
}

TEST(Cursor, UnknownCursorsAreRefused) {
    SetLastError(0);
    EXPECT_EQ(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(std::uintptr_t{32650})), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    // The program has no cursor resources of its own.
    EXPECT_EQ(LoadCursorW(reinterpret_cast<HINSTANCE>(std::uintptr_t{1}), IDC_WAIT), nullptr);
}
