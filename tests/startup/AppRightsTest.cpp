// The application object's start-up steps that decide the clock's rights, in a program of
// their own: the application object is the process's one, which no other test may share.
#include "App.h"
#include "Globals.h"

#include <gtest/gtest.h>

TEST(AppRights, AnElevatedClockMaySetTheTimeAlsoWhenTheLogDidNotOpen)
{
    // Every Wine process runs elevated. With the log closed the environment step writes
    // nothing, and the clock's rights must not depend on it.
    CApp app;
    ASSERT_FALSE(app.m_log.IsOpen());
    g_canSetClock = 0;
    app.LogEnvironment();
    app.InitRunValueAndRights();
    EXPECT_EQ(1, g_canSetClock);
}
