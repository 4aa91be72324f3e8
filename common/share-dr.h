// Shared record of the drums.
#pragma once
#include "tchar-compat.h"

typedef struct S_SHAREA_DR {
    UINT m_nDrums;
} SHAREA_DR;

static_assert(sizeof(SHAREA_DR) == 4, "layout");
