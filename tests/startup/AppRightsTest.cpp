// The clock's rights at start-up, in a program of their own: the application object is the
// process's one, which no other test may share.
#include "App.h"
#include "Globals.h"

#include <gtest/gtest.h>

TEST(AppRights, AnElevatedClockMaySetTheTimeAlsoWhenTheLogDidNotOpen)
{
    CApp app;   // its log never opened, so the environment step writes nothing
    app.LogEnvironment();
    app.InitRunValueAndRights();
    EXPECT_EQ(1, g_canSetClock) << "every Wine process runs elevated";
}
