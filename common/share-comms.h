// One communications line of a multiplexor.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct __S_COMMSLINE {
    UINT Speed;  // bits per second
    UINT Port;
    bool Synch;
    bool Sentinel;
} COMMSLINE;

static_assert(offsetof(COMMSLINE, Port) == 4, "layout");
static_assert(offsetof(COMMSLINE, Synch) == 8, "layout");
static_assert(offsetof(COMMSLINE, Sentinel) == 9, "layout");
static_assert(sizeof(COMMSLINE) == 12, "layout");
