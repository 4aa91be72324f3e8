// Shared record of an exchangeable-disc controller with up to nine drives
// (also used for the fixed-disc and ES types).
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_EDINFO {
    bool Oper;
    bool Hold;
    bool Load;
    bool Disc;
    char filename[256];
    UINT csn;
    UINT cyl;
} EDINFO;

typedef struct S_SHAREA_ED {
    bool m_GReset;
    UINT m_nTransports;
    UINT m_Filesize;
    char m_szBaseDir[256];
    char m_szConsoleFile[256];
    EDINFO m_EdInfo[9];
} SHAREA_ED;

static_assert(offsetof(EDINFO, filename) == 4, "layout");
static_assert(offsetof(EDINFO, csn) == 260, "layout");
static_assert(offsetof(EDINFO, cyl) == 264, "layout");
static_assert(sizeof(EDINFO) == 268, "layout");
static_assert(offsetof(SHAREA_ED, m_nTransports) == 4, "layout");
static_assert(offsetof(SHAREA_ED, m_Filesize) == 8, "layout");
static_assert(offsetof(SHAREA_ED, m_szBaseDir) == 12, "layout");
static_assert(offsetof(SHAREA_ED, m_szConsoleFile) == 268, "layout");
static_assert(offsetof(SHAREA_ED, m_EdInfo) == 524, "layout");
static_assert(sizeof(SHAREA_ED) == 2936, "layout");
