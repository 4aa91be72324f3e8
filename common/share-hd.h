// Shared record of the HD drum type.
#pragma once
#include "tchar-compat.h"

typedef struct S_SHAREA_HD {
    UINT m_nDrums;
} SHAREA_HD;

static_assert(sizeof(SHAREA_HD) == 4, "layout");
