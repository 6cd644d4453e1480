// Entry point of every test executable: GoogleTest's own, with Windows error boxes off so
// a failing test can never wait for a click under Wine.
#include <gmock/gmock.h>
#include <windows.h>

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
