// A call into code that is not ours (the mail program's Simple MAPI library), guarded by a
// structured-exception handler of its own: an exception raised inside it ends the call
// instead of the program.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef ULONG (*GuardedFunction)(void* context);

// call(context)'s result; onException when an exception left it, its code then in
// *exceptionCode (0 otherwise). A stack overflow is not caught (it takes the crash road),
// nor a C++ exception thrown by GCC's runtime (it goes on as if no guard were there).
ULONG CallGuarded(GuardedFunction call, void* context, ULONG onException, DWORD* exceptionCode);

#ifdef __cplusplus
}
#endif
