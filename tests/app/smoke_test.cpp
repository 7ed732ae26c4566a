// The built executable, started as a user would start it.
#include <gtest/gtest.h>

#include "support/keyscry_process.h"

TEST(Smoke, StartsShowsItsWindowAndEndsWhenClosed) {
    KeyscryProcess keyscry = StartKeyscry();
    ASSERT_TRUE(keyscry.process);
    HWND window = WaitForShownKeyscryWindow(keyscry);
    ASSERT_TRUE(window);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(keyscry, Patience), 0u);
    EndKeyscry(keyscry);
}
