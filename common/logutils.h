// Platform functions of the common code (Windows-style names on Linux) and
// the suite's diagnostic logger.
#pragma once
#include "tchar-compat.h"

// Milliseconds of wall-clock time in 32 bits; wraps every 2^32 ms and follows
// changes of the system clock.
UINT GetTickCount();
UINT timeGetTime();
UINT GetTickerValue();
// Milliseconds since the previous call (the first call returns the full count).
UINT GetTickCountDiff();
void Sleep(UINT ms);
UINT GetCurrentDirectory(UINT nBufferLength, char* lpBuffer);
int CreateDirectory(const char* path, void* securityAttributes);
double GetProcSpeed();
UINT GetNumProcs();
// Monotonic nanoseconds; there is no frequency query.
int QueryPerformanceCounter(LARGE_INTEGER* counter);

// The wall-clock millisecond arithmetic of GetTickCount, for a given time.
UINT TickCountFrom(uint64_t seconds, uint64_t microseconds);
