// Runs the real zarnock.exe from the build's bin folder against a prepared settings store,
// finds its window, takes pictures of the screen, and ends it again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace clocktest {

const wchar_t kClockClass[] = L"qx_zn_digitclock_32";
const wchar_t kClockKey[] = L"Software\\Mervale Software\\Zarnock";

// The settings store of the real program, emptied; "FST" is 0 so no first-start sheet opens.
void ResetClockStore();
void SetInt(const wchar_t* section, const wchar_t* name, DWORD value);
void SetString(const wchar_t* section, const wchar_t* name, const wchar_t* value);
void SetBinary(const wchar_t* section, const wchar_t* name, const void* data, DWORD bytes);
bool GetInt(const wchar_t* section, const wchar_t* name, DWORD& value);
bool GetString(const wchar_t* section, const wchar_t* name, std::wstring& value);
// The bytes of a binary value; false when absent or of another type.
bool GetBinary(const wchar_t* section, const wchar_t* name, std::vector<BYTE>& data);

class ClockProcess
{
public:
    ClockProcess() = default;
    ~ClockProcess();
    ClockProcess(const ClockProcess&) = delete;
    ClockProcess& operator=(const ClockProcess&) = delete;

    // Starts zarnock.exe with the arguments (may be empty).
    bool Start(const std::wstring& args = L"");
    // Waits for the clock window of this process; null after the time-out. The bound is
    // generous: a first start in a fresh prefix on a machine whose disk is saturated has
    // taken over 15 s, and the wait ends as soon as the window is there.
    HWND WaitForWindow(DWORD timeoutMs = 60000);
    // Waits for the process to end; its exit code, or -1 after the time-out.
    int WaitForExit(DWORD timeoutMs = 15000);
    bool IsRunning() const;
    // Closes the clock window and waits for the end; kills it if it does not go.
    void Close();
    DWORD Pid() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }

private:
    PROCESS_INFORMATION m_pi{};
};

// The clock window of a process (class kClockClass), or null.
HWND FindClockWindow(DWORD pid);

// A picture of the screen rectangle, 32-bit pixels top-down (blue, green, red, unused).
struct Shot
{
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    // COLORREF of a pixel.
    COLORREF At(int x, int y) const;
    // Number of pixels within the tolerance (per channel) of the colour.
    int Count(COLORREF colour, int tolerance = 24) const;
};
Shot CaptureScreen(const RECT& r);

}  // namespace clocktest
