// The rectangle rules of the clock's placement, as tables.
#include "ClockPlacement.h"
#include "DigitClock.h"

#include <gmock/gmock.h>

namespace {

const RECT kMonitor{0, 0, 1920, 1080};

TEST(ClockPlacement, KeepOnMonitor)
{
    struct Case {
        const char* why;
        RECT window;
        BOOL transparent;
        bool moved;
        LONG left, top;
    };
    const Case cases[] = {
        {"inside: untouched", {100, 100, 300, 140}, FALSE, false, 100, 100},
        {"30 px show at the right: 100 px after", {1890, 10, 2090, 50}, FALSE, true, 1820, 10},
        {"30 px show at the left", {-170, 10, 30, 50}, FALSE, true, -100, 10},
        {"exactly half shows: enough", {1820, 10, 2020, 50}, FALSE, false, 1820, 10},
        {"10 px show at the bottom of a 40 px clock", {10, 1070, 210, 1110}, FALSE, true, 10, 1060},
        {"wholly off to the right", {3000, 10, 3200, 50}, FALSE, true, 1820, 10},
        {"wholly off to the left", {-3000, 10, -2800, 50}, FALSE, true, -100, 10},
        {"wholly above", {10, -500, 210, -460}, FALSE, true, 10, -20},
        {"small opaque clock needs 18 x 14", {1910, 1075, 1930, 1085}, FALSE, true, 1902, 1066},
        {"small transparent clock needs 22 x 18", {1910, 1075, 1930, 1085}, TRUE, true, 1898, 1062},
    };
    for (const Case& c : cases) {
        RECT r = c.window;
        EXPECT_EQ(KeepOnMonitor(r, kMonitor, c.transparent), c.moved) << c.why;
        EXPECT_EQ(r.left, c.left) << c.why;
        EXPECT_EQ(r.top, c.top) << c.why;
        EXPECT_EQ(r.right - r.left, c.window.right - c.window.left) << c.why << ": size kept";
    }
}

TEST(ClockPlacement, ShiftForDisplayChange)
{
    const RECT oldMonitor{0, 0, 1920, 1080}, newMonitor{0, 0, 1280, 720};
    struct Case {
        const char* why;
        RECT window;
        int keepLeft, keepTop;
        LONG left, top;
    };
    const Case cases[] = {
        {"near the top right: keeps its distance to the right edge", {1700, 10, 1900, 50}, 0, 0, 1060, 10},
        {"near the bottom left: keeps its distance to the bottom", {10, 1000, 210, 1040}, 0, 0, 10, 640},
        {"bottom right with LX: only the top moves", {1700, 1000, 1900, 1040}, 1, 0, 1700, 640},
        {"bottom right with LY: only the left moves", {1700, 1000, 1900, 1040}, 0, 1, 1060, 1000},
        {"equal distances: nothing", {860, 520, 1060, 560}, 0, 0, 860, 520},
    };
    for (const Case& c : cases) {
        RECT r = c.window;
        ShiftForDisplayChange(r, oldMonitor, newMonitor, c.keepLeft, c.keepTop);
        EXPECT_EQ(r.left, c.left) << c.why;
        EXPECT_EQ(r.top, c.top) << c.why;
    }
}

TEST(ClockPlacement, FullScreenIsTheMonitorsSizeAnywhere)
{
    EXPECT_TRUE(CoversMonitor({0, 0, 1920, 1080}, kMonitor));
    EXPECT_TRUE(CoversMonitor({1920, 0, 3840, 1080}, kMonitor)) << "position is not compared";
    EXPECT_FALSE(CoversMonitor({0, 0, 1920, 1040}, kMonitor)) << "a maximised window above a task bar";
    EXPECT_FALSE(CoversMonitor({-8, -8, 1928, 1088}, kMonitor));
}

TEST(ClockPlacement, SiblingHandOffByElevation)
{
    struct Case {
        int level;
        bool selfKnown, selfElevated, siblingKnown, siblingElevated;
        bool sends;
        const char* why;
    };
    const Case cases[] = {
        {2, true, false, true, true, true, "before Vista everything goes"},
        {3, true, true, true, true, true, "an elevated clock"},
        {3, false, false, true, true, true, "own elevation unknown"},
        {3, true, false, false, false, true, "sibling cannot be queried"},
        {3, true, false, true, false, true, "neither elevated"},
        {3, true, false, true, true, false, "plain clock, elevated sibling"},
        {7, true, false, true, true, false, "plain clock, elevated sibling, newer system"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MaySendToSibling(c.level, c.selfKnown, c.selfElevated, c.siblingKnown, c.siblingElevated), c.sends)
            << c.why;
}

}  // namespace
