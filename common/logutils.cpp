#include "logutils.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

static UINT tcold = 0;

UINT TickCountFrom(uint64_t seconds, uint64_t microseconds)
{
    return static_cast<UINT>(seconds) * 1000u + static_cast<UINT>(microseconds / 1000u);
}

UINT GetTickCount()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return TickCountFrom(static_cast<uint64_t>(tv.tv_sec), static_cast<uint64_t>(tv.tv_usec));
}

UINT timeGetTime()
{
    return GetTickCount();
}

UINT GetTickerValue()
{
    return GetTickCount();
}

UINT GetTickCountDiff()
{
    UINT now = GetTickCount();
    UINT diff = now - tcold;
    tcold = now;
    return diff;
}

void Sleep(UINT ms)
{
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    nanosleep(&ts, nullptr);
}

UINT GetCurrentDirectory(UINT nBufferLength, char* lpBuffer)
{
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) {
        if (lpBuffer && nBufferLength > 0)
            lpBuffer[0] = '\0';
        return 0;
    }
    UINT stored = 0;
    if (lpBuffer && nBufferLength > 0) {
        size_t n = strlen(cwd);
        if (n > nBufferLength - 1)
            n = nBufferLength - 1;
        memcpy(lpBuffer, cwd, n);
        lpBuffer[n] = '\0';
        stored = static_cast<UINT>(n);
    }
    free(cwd);
    return stored;
}

int CreateDirectory(const char* path, void* /*securityAttributes*/)
{
    if (mkdir(path, 0777) == 0 || errno == EEXIST)
        return 1;
    return 0;
}

double GetProcSpeed()
{
    return 0.0;
}

UINT GetNumProcs()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<UINT>(n) : 1u;
}

int QueryPerformanceCounter(LARGE_INTEGER* counter)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    counter->QuadPart = static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    return 1;
}
