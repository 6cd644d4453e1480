// Loading a library from a chosen folder, the version of a program file as a number or a
// text, the per-user log folders, and opening files through the shell or in an editor.
#pragma once

#include "ClassLib.h"
#include "CHandle.h"

// A library handle that may be freed when it goes; module is null when loading failed,
// and the load's error is then the thread's last error.
class DllLoader
{
public:
    DllLoader(const wchar_t* name, const wchar_t* directory, bool freeOnDestroy);
    ~DllLoader();
    DllLoader(const DllLoader&) = delete;
    DllLoader& operator=(const DllLoader&) = delete;

    CModuleHandle m_module;
    bool m_freeOnDestroy = false;
};

// (major & 0xFF) << 24 | (minor & 0xFF) << 16 | (build & 0xFF) << 8 | (revision & 0xFF) of
// the file version of path (null: this program); 0 when it cannot be read.
DWORD GetFileVersionNumber(const wchar_t* path, int* isBeta);
// "major.minor.build.revision SpecialBuild path", or "(code) path" when the version
// cannot be read.
CString GetFileVersionText(const wchar_t* path);
// True when the "SpecialBuild" text marks a beta.
bool IsBetaBuildText(const wchar_t* specialBuild);

// Runs work on a worker thread under a marquee progress dialog while this (user-interface)
// thread keeps dispatching messages; the work's result, or E_OUTOFMEMORY.
HRESULT RunWithProgress(HWND parent, const wchar_t* text, HRESULT (*work)(void*), void* argument, int tag,
                        BOOL disableParent);

// The per-user log folder: local application data, the company, "Logs", the first and
// (when not empty) the second sub-folder, made when missing; empty when it cannot be had.
CString GetLogFolder(const wchar_t* firstSubFolder, const wchar_t* secondSubFolder);
// That folder, then nameFormat applied to argument, then ".txt"; empty without the folder.
CString BuildLogFilePath(const wchar_t* firstSubFolder, const wchar_t* secondSubFolder, const wchar_t* nameFormat,
                         const wchar_t* argument);

// Opens a file or an address with its default verb through the shell (asynchronously).
// 1 on success; a failure is logged and, with showError, shown as "Error: %#08x" owned by
// parent; 0 then.
int ShellExecuteOpen(const wchar_t* file, BOOL showError, HWND parent);
// ShellExecuteOpen without the box; a failure adds a second entry with the file name.
int ShellExecuteOpenSilent(const wchar_t* file);

// What OpenTextFileInEditor asks the shell for; an empty verb is the file's default verb.
struct EditorRequest {
    CString verb;
    CString file;
    CString parameters;
};
using ShellExecuteFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);

// Notepad with the path (quoted when it holds a blank or a tab), or the file's own
// association for a .txt file whose user choice (read by txtProgId, Vista and later only)
// names EditPlus.
EditorRequest BuildEditorRequest(const wchar_t* path, CString (*txtProgId)());
// The "Progid" of the user's choice for .txt files; empty when none.
CString ReadTextFileProgId();
// Runs the request; a notepad request that the shell refuses is retried once with the
// file's default verb. 1 when a program was started; every failure is logged.
int RunEditorRequest(const EditorRequest& request, const wchar_t* path, ShellExecuteFn execute);
int OpenTextFileInEditor(const wchar_t* path);
