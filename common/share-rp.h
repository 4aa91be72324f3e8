// Shared record of the reader-punch.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct __PSHAREA_RP {
    volatile bool m_Allocate2;  // second unit's allocate flag
    volatile bool m_Hold2;      // second unit's hold flag
    volatile bool m_Disc2;      // second unit's disconnect flag
    char m_FilenameTR[256];
    char m_FilenameTP[256];
    bool m_DiscWhileFileOpen;
} SHAREA_RP;

static_assert(alignof(SHAREA_RP) == 1, "layout");
static_assert(offsetof(SHAREA_RP, m_Hold2) == 1, "layout");
static_assert(offsetof(SHAREA_RP, m_Disc2) == 2, "layout");
static_assert(offsetof(SHAREA_RP, m_FilenameTR) == 3, "layout");
static_assert(offsetof(SHAREA_RP, m_FilenameTP) == 259, "layout");
static_assert(offsetof(SHAREA_RP, m_DiscWhileFileOpen) == 515, "layout");
static_assert(sizeof(SHAREA_RP) == 516, "layout");

// The reader-punch's reader counters and close-file request. The plain
// reader's counters would lie inside m_FilenameTP, so a reader-punch keeps
// its own right after its record, at the first 4-aligned offset; for a
// reader-punch those bytes of the union are otherwise unused. The record
// starts at the union's first byte like every member, so its first bytes are
// the reader-punch record itself, which this one never touches.
typedef struct S_SHAREA_RPR {
    BYTE m_RpRecord[sizeof(SHAREA_RP)];  // m_U.m_rp
    UINT m_Filesize;                     // size of the reader's input file in bytes
    UINT m_FilePosition;                 // bytes of it consumed so far
    volatile bool m_Closefile;           // request: close the reader's file left open
} SHAREA_RPR;

static_assert(offsetof(SHAREA_RPR, m_Filesize) == 516, "layout");
static_assert(offsetof(SHAREA_RPR, m_FilePosition) == 520, "layout");
static_assert(offsetof(SHAREA_RPR, m_Closefile) == 524, "layout");
static_assert(sizeof(SHAREA_RPR) == 528, "layout");
