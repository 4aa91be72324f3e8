// Shared record of the communications multiplexors.
#pragma once
#include <cstddef>
#include "share-comms.h"

// Lines are numbered from 1: line n is m_Lines[n] and entry 0 is never read.
#define MX_MAX_LINES 20

typedef struct __S_SHAREA_MX {
    UINT m_nLines;
    COMMSLINE m_Lines[MX_MAX_LINES + 1];
} SHAREA_MX, *PSHAREA_MX;

static_assert(offsetof(SHAREA_MX, m_Lines) == 4, "layout");
static_assert(sizeof(SHAREA_MX) == 256, "layout");
