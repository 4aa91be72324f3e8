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
