// Shared record of the operator's console (kept in a block of its own).
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef struct S_SHAREA_OPA0 {
    volatile bool m_CpuAttached;
    volatile bool m_ConsoleAttached;
    volatile bool m_TypeWriterActive;
    volatile bool m_Input;
    volatile bool m_Output;
    volatile bool m_WriteHesReq;
    volatile bool m_ReadHesReq;
    volatile BYTE m_OutChar;
    volatile BYTE m_InChar;
    volatile UINT32 m_ButtonStats;
    char m_Hostname[32];
    bool m_Stevenage;
} SHAREA_OPA0;

static_assert(offsetof(SHAREA_OPA0, m_TypeWriterActive) == 2, "layout");
static_assert(offsetof(SHAREA_OPA0, m_ReadHesReq) == 6, "layout");
static_assert(offsetof(SHAREA_OPA0, m_OutChar) == 7, "layout");
static_assert(offsetof(SHAREA_OPA0, m_InChar) == 8, "layout");
static_assert(offsetof(SHAREA_OPA0, m_ButtonStats) == 12, "layout");
static_assert(offsetof(SHAREA_OPA0, m_Hostname) == 16, "layout");
static_assert(offsetof(SHAREA_OPA0, m_Stevenage) == 48, "layout");
static_assert(sizeof(SHAREA_OPA0) == 52, "layout");
