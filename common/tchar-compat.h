// Windows-style type names used throughout the emulator suite's common code.
#pragma once

#include <cstdint>
#include <pthread.h>

typedef uint32_t UINT;
typedef uint32_t UINT32;
typedef uint8_t BYTE;
typedef BYTE* PBYTE;
typedef char TCHAR;

// Default attributes: not recursive, unlike its Windows namesake.
typedef pthread_mutex_t CRITICAL_SECTION;

typedef union _LARGE_INTEGER {
    int64_t QuadPart;
} LARGE_INTEGER;
