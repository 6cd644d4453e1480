// Whether the dial-up connection is up, as the SNTP client asks before a scheduled request
// when the computer connects by modem.
#include "RasConnection.h"

#include <gtest/gtest.h>

namespace {

// Nothing bound counts as a local network: not connected, and no reason for the client to log.
TEST(RasConnectionTest, UnboundIsNotConnectedWithoutAReason)
{
    CRasConnection ras;
    CString failure = L"left from before";
    EXPECT_FALSE(ras.IsConnected(&failure));
    EXPECT_TRUE(failure.IsEmpty());

    ras.Load();
    ras.Unload();
    EXPECT_FALSE(ras.IsBound());
    failure = L"left from before";
    EXPECT_FALSE(ras.IsConnected(&failure));
    EXPECT_TRUE(failure.IsEmpty());
}

// The test bed's dial-up library binds and knows no connection.
TEST(RasConnectionTest, WithoutAConnectionTheReasonPointsToTheLanOption)
{
    CRasConnection ras;
    ras.Load();
    ASSERT_TRUE(ras.IsBound());
    CString failure;
    EXPECT_FALSE(ras.IsConnected(&failure));
    EXPECT_EQ(failure, L"no RAS connection. Try the \"Through a local area network (LAN)\" option.");
}

} // namespace
