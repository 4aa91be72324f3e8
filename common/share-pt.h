// Shared record of the P/Q interface devices.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

// B is a request flag although it is not declared volatile: every access to it
// goes through a volatile reference.
typedef struct S_SHAREA_PT {
    bool B;  // new P and Q values entered
    UINT Q;
    UINT P;
} SHAREA_PT;

static_assert(offsetof(SHAREA_PT, Q) == 4, "layout");
static_assert(offsetof(SHAREA_PT, P) == 8, "layout");
static_assert(sizeof(SHAREA_PT) == 12, "layout");
