// Shared record of the SC communications devices.
#pragma once
#include "tchar-compat.h"

typedef struct __S_SHAREA_SC {
    UINT m_nLines;
} SHAREA_SC;

static_assert(sizeof(SHAREA_SC) == 4, "layout");
