// Shared record of the graph plotter.
#pragma once
#include "tchar-compat.h"

typedef struct __PSHAREA_GP {
    char m_Filename[256];  // output file allocated by the operator
} SHAREA_GP;

static_assert(sizeof(SHAREA_GP) == 256, "layout");
