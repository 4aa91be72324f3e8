// Shared record of a magnetic-tape controller with up to six transports.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_MTPOSITION {
    UINT m_Rows;
    UINT m_nTMs;
} MTPOSITION;

typedef struct S_MTINFO {
    UINT FileSize;
    UINT FilePosition;
    MTPOSITION position;
    volatile bool IsLoaded;
    volatile bool Unload;
    volatile bool Load;
    volatile bool LoadPoint;
    volatile bool Disconnect;
    bool wpr;
    bool rewinding;
    char filename[256];
} MTINFO;

typedef struct S_SHAREA_MT {
    bool m_GReset;
    UINT m_nTransports;
    char m_szBaseDir[256];
    MTINFO m_MtInfo[6];
} SHAREA_MT;

static_assert(sizeof(MTPOSITION) == 8 && offsetof(MTPOSITION, m_nTMs) == 4, "layout");
static_assert(offsetof(MTINFO, FilePosition) == 4, "layout");
static_assert(offsetof(MTINFO, position) == 8, "layout");
static_assert(offsetof(MTINFO, IsLoaded) == 16, "layout");
static_assert(offsetof(MTINFO, Unload) == 17, "layout");
static_assert(offsetof(MTINFO, Load) == 18, "layout");
static_assert(offsetof(MTINFO, LoadPoint) == 19, "layout");
static_assert(offsetof(MTINFO, Disconnect) == 20, "layout");
static_assert(offsetof(MTINFO, wpr) == 21, "layout");
static_assert(offsetof(MTINFO, rewinding) == 22, "layout");
static_assert(offsetof(MTINFO, filename) == 23, "layout");
static_assert(sizeof(MTINFO) == 280, "layout");
static_assert(offsetof(SHAREA_MT, m_nTransports) == 4, "layout");
static_assert(offsetof(SHAREA_MT, m_szBaseDir) == 8, "layout");
static_assert(offsetof(SHAREA_MT, m_MtInfo) == 264, "layout");
static_assert(sizeof(SHAREA_MT) == 1944, "layout");
