#include "LogMan.h"

// Interim: the log's interface links; entries are not written yet.
namespace {
CLogMan* g_appLog = nullptr;
}

CLogMan::CLogMan() = default;
CLogMan::~CLogMan() = default;
void CLogMan::Flush() {}
void CLogMan::Close() { CFile::Close(); }
void CLogMan::LogLine(CLogMan*, const wchar_t*, int, const char*, int) {}
DWORD CLogMan::LogError(CLogMan*, DWORD code, const wchar_t*, int, const char*, int) { return code; }
int CLogMan::Open(const wchar_t*, wchar_t, int, ULONGLONG) { return 0; }
HRESULT CLogMan::OpenFile(const wchar_t*, wchar_t, BOOL, int, ULONGLONG) { return E_NOTIMPL; }
void CLogMan::RotateFiles(const wchar_t*, int) {}
void CLogMan::RegisterThread(wchar_t) {}
void CLogMan::UnregisterThread() {}
CLogMan* GetAppLogMan() { return g_appLog; }
void SetAppLogMan(CLogMan* log) { g_appLog = log; }
CString HexText(ULONG_PTR, BOOL) { return CString(); }
CString HexText64(ULONGLONG) { return CString(); }
CString FileTimeText(const FILETIME&) { return CString(); }
