/* The guard is a scope-table entry of this function's own unwind information, read by the
 * system's __C_specific_handler: __try1 names the filter, and the end label of __except1
 * is where execution goes on once the stack has been unwound to this frame. The compiler
 * knows nothing of that second way into the code after the label, so this file is built
 * without optimisation (see clock/CMakeLists.txt): every value lives in the frame, none is
 * expected in a register that the unwinding did not restore, and no code is moved across
 * the labels. One guard per file: the labels are fixed names. */
#include "CrashReport/GuardedCall.h"

#include <excpt.h>

static volatile LONG g_lastCode;

/* The codes of GCC's own C++ exceptions ("GCC" in the low bytes): its unwinder cannot be
 * unwound by anyone else once it has started a throw. */
#define GCC_EXCEPTION_MASK 0x00FFFFFFu
#define GCC_EXCEPTION_CODE 0x00474343u

/* Runs during the search for a handler, before the stack is unwound and before the
 * unhandled-exception filter; the crash road's vectored handler sees only stack overflows,
 * which are left to it, as are GCC's own C++ exceptions. */
__attribute__((used)) static LONG GuardFilter(EXCEPTION_POINTERS* pointers, void* frame)
{
    (void)frame;
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_STACK_OVERFLOW || (code & GCC_EXCEPTION_MASK) == GCC_EXCEPTION_CODE)
        return EXCEPTION_CONTINUE_SEARCH;
    InterlockedExchange(&g_lastCode, (LONG)code);
    return EXCEPTION_EXECUTE_HANDLER;
}

ULONG CallGuarded(GuardedFunction call, void* context, ULONG onException, DWORD* exceptionCode)
{
    volatile ULONG result = onException;
    volatile int returned = 0;
    __try1(GuardFilter)
    result = call(context);
    returned = 1;
    __except1
    if (exceptionCode) *exceptionCode = returned ? 0 : (DWORD)g_lastCode;
    return returned ? result : onException;
}
