// Shared record of the line printers (the largest member of the union).
#pragma once
#include <cstddef>
#include "tchar-compat.h"

// m_LoadFormatLoop is a request flag although it is not declared volatile:
// every access to it goes through a volatile reference.
typedef struct S_SHAREA_LP {
    UINT m_Length;
    UINT m_PFCC;
    UINT m_CC;
    BYTE m_Repertoire;
    bool m_LoadFormatLoop;
    bool m_FullUI;
    bool m_IsDevice;
    char m_Filename[512];        // output file or device allocated by the operator
    char m_FormatLoopName[512];  // format loop file name, without directory
    BYTE m_Chars[32768];
} SHAREA_LP;

static_assert(offsetof(SHAREA_LP, m_PFCC) == 4, "layout");
static_assert(offsetof(SHAREA_LP, m_CC) == 8, "layout");
static_assert(offsetof(SHAREA_LP, m_Repertoire) == 12, "layout");
static_assert(offsetof(SHAREA_LP, m_LoadFormatLoop) == 13, "layout");
static_assert(offsetof(SHAREA_LP, m_FullUI) == 14, "layout");
static_assert(offsetof(SHAREA_LP, m_IsDevice) == 15, "layout");
static_assert(offsetof(SHAREA_LP, m_Filename) == 16, "layout");
static_assert(offsetof(SHAREA_LP, m_FormatLoopName) == 528, "layout");
static_assert(offsetof(SHAREA_LP, m_Chars) == 1040, "layout");
static_assert(sizeof(SHAREA_LP) == 33808, "layout");
