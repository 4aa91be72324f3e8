// Shared record of the processor-link (PB) devices.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_7210_IF {
    bool HostUp;
    UINT OpsNo;
    UINT ExtNo;
    UINT CpuNo;
    UINT SSQ;
    UINT CC;
} PB7210IFSTATE;

typedef struct S_SHAREA_PB {
    PB7210IFSTATE m_Interfaces[2];
    bool m_DataFlowEstablished;
    bool m_OnLine;
    bool m_GUI_Online;
    bool m_Master;
    UINT32 m_TransferCount;
} SHAREA_PB;

static_assert(offsetof(PB7210IFSTATE, OpsNo) == 4, "layout");
static_assert(offsetof(PB7210IFSTATE, ExtNo) == 8, "layout");
static_assert(offsetof(PB7210IFSTATE, CpuNo) == 12, "layout");
static_assert(offsetof(PB7210IFSTATE, SSQ) == 16, "layout");
static_assert(offsetof(PB7210IFSTATE, CC) == 20, "layout");
static_assert(sizeof(PB7210IFSTATE) == 24, "layout");
static_assert(offsetof(SHAREA_PB, m_DataFlowEstablished) == 48, "layout");
static_assert(offsetof(SHAREA_PB, m_OnLine) == 49, "layout");
static_assert(offsetof(SHAREA_PB, m_GUI_Online) == 50, "layout");
static_assert(offsetof(SHAREA_PB, m_Master) == 51, "layout");
static_assert(offsetof(SHAREA_PB, m_TransferCount) == 52, "layout");
static_assert(sizeof(SHAREA_PB) == 56, "layout");
