#include <gtest/gtest.h>

#include "platform/kernel/kernel_sync.h"
#include "platform/last_error.h"

TEST(Handles, ClosedHandleIsRefusedEvenWhenItsSlotIsReused) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(CloseHandle(first));
    HANDLE second = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_FALSE(EventModify(first, EVENT_SET));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(second));
}

TEST(Handles, WrongKindIsRefused) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    SetLastError(0);
    EXPECT_FALSE(EventModify(mutex, EVENT_SET));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST(Handles, NullAndInvalidValuesAreRefused) {
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x1234567), 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
