// Shared record of the paper-tape and card readers.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_SHAREA_TRCR {
    BYTE m_Decoder;
    char m_Filename[256];        // input file allocated by the operator
    bool m_DiscWhileFileOpen;    // a disconnect leaves the input file open
    UINT m_Filesize;             // size of the input file in bytes
    UINT m_FilePosition;         // bytes consumed so far
    volatile bool m_Closefile;   // request: close the file left open
} SHAREA_TRCR;

static_assert(offsetof(SHAREA_TRCR, m_Filename) == 1, "layout");
static_assert(offsetof(SHAREA_TRCR, m_DiscWhileFileOpen) == 257, "layout");
static_assert(offsetof(SHAREA_TRCR, m_Filesize) == 260, "layout");
static_assert(offsetof(SHAREA_TRCR, m_FilePosition) == 264, "layout");
static_assert(offsetof(SHAREA_TRCR, m_Closefile) == 268, "layout");
static_assert(sizeof(SHAREA_TRCR) == 272, "layout");
