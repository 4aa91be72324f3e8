// Shared record of the paper-tape punch.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef enum : unsigned int { PT_7Track = 0, PT_5Track = 1, PT_6Track = 2, PT_8Track = 3 } PTKIND;
typedef enum : unsigned int {
    PT_Parity_None = 0,
    PT_Parity_Even = 1,
    PT_Parity_Odd = 2,
    PT_Parity_Zero = 3,
    PT_Parity_One = 4
} PT_PARITY;

typedef struct S_SHAREA_TP {
    PTKIND m_Kind;
    PT_PARITY m_Parity;
    char m_Filename[256];  // output file allocated by the operator
    UINT m_nBytes;
} SHAREA_TP;

static_assert(sizeof(PTKIND) == 4 && sizeof(PT_PARITY) == 4, "layout");
static_assert(offsetof(SHAREA_TP, m_Parity) == 4, "layout");
static_assert(offsetof(SHAREA_TP, m_Filename) == 8, "layout");
static_assert(offsetof(SHAREA_TP, m_nBytes) == 264, "layout");
static_assert(sizeof(SHAREA_TP) == 268, "layout");
