// Shared record of the card punches.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_SHAREA_CP {
    UINT m_Length;
    BYTE m_Chars[960];
    char m_Filename[256];  // output file allocated by the operator
    bool m_Text;
} SHAREA_CP;

static_assert(offsetof(SHAREA_CP, m_Chars) == 4, "layout");
static_assert(offsetof(SHAREA_CP, m_Filename) == 964, "layout");
static_assert(offsetof(SHAREA_CP, m_Text) == 1220, "layout");
static_assert(sizeof(SHAREA_CP) == 1224, "layout");
