#include "FakeSendEmailSystem.h"

SendEmailCalls g_sendCalls;
std::atomic<int> g_boxesShown{0};

namespace {

bool FakeClient(CString& name, bool)
{
    name = g_sendCalls.client;
    return !name.IsEmpty();
}
HRESULT FakeElevation(BOOL* elevated)
{
    *elevated = g_sendCalls.elevated;
    return S_OK;
}
int FakeOpenLink(const wchar_t* link, BOOL, HWND parent)
{
    g_sendCalls.links.push_back(link);
    g_sendCalls.linkParents.push_back(parent);
    return 1;
}
int FakeOpenFolder(const wchar_t* folder)
{
    g_sendCalls.folders.push_back(folder);
    return 1;
}
int FakeBox(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    g_sendCalls.boxes.push_back(text);
    ++g_boxesShown;
    return IDOK;
}
void FakeSleep(DWORD ms)
{
    g_sendCalls.sleeps.push_back(ms);
}

}  // namespace

SendEmailSystem InstallFakeSendEmailSystem(int (*showBox)(HWND, const wchar_t*, const wchar_t*, UINT))
{
    g_sendCalls = SendEmailCalls{};
    g_boxesShown = 0;
    SendEmailSystem& system = GetSendEmailSystem();
    const SendEmailSystem saved = system;
    system = {FakeClient, FakeElevation, FakeOpenLink, FakeOpenFolder, showBox ? showBox : FakeBox, FakeSleep};
    return saved;
}
