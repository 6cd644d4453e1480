// What several benchmarks measure the same way: the processor time this process has used,
// and the loopback address of the chrony that scripts/bench.sh starts.
#pragma once

#include "Win.h"

#include <cstdio>
#include <string>

namespace bench {

// Kernel and user time of this process so far, in 100 ns units; 0 when it cannot be read.
inline ULONGLONG ProcessCpu100ns()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ULARGE_INTEGER k{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    ULARGE_INTEGER u{{user.dwLowDateTime, user.dwHighDateTime}};
    return k.QuadPart + u.QuadPart;
}

// The address that scripts/chrony.sh wrote into dir\address, without its line end; empty
// when there is none.
inline std::string ReadChronyAddress(const char* dir)
{
    std::string path = std::string(dir) + "\\address";
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return {};
    char buffer[64] = {};
    size_t n = fread(buffer, 1, sizeof(buffer) - 1, f);
    fclose(f);
    std::string a(buffer, n);
    while (!a.empty() && (a.back() == '\n' || a.back() == '\r')) a.pop_back();
    return a;
}

}  // namespace bench
