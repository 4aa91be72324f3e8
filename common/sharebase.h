// The shared block that the emulator host publishes for each peripheral: a
// header common to all peripherals and a per-device record. The byte layout is
// a cross-process format; the asserts below pin every offset.
#pragma once
#include <cstddef>
#include "tchar-compat.h"
#include "cpu-codes.h"
#include "share-tp.h"
#include "share-lp.h"
#include "share-trcr.h"
#include "share-cp.h"
#include "share-mt.h"
#include "share-ed.h"
#include "share-sc.h"
#include "share-mx.h"
#include "share-gd.h"
#include "share-rp.h"
#include "share-gp.h"
#include "share-dr.h"
#include "share-hd.h"
#include "share-pt.h"
#include "share-pb.h"
#include "share-console.h"

#define SHAREBASE_VERSION 0x89000071u

typedef union __Shared_Union {
    SHAREA_TP m_tp;
    SHAREA_LP m_lp;
    SHAREA_TRCR m_cr;
    SHAREA_CP m_cp;
    SHAREA_MT m_mt;
    SHAREA_ED m_ed;
    SHAREA_SC m_sc;
    SHAREA_MX m_mx;
    SHAREA_GD m_gd;
    SHAREA_RP m_rp;
    SHAREA_RPR m_rpr;  // the reader-punch's reader counters, after m_rp
    SHAREA_GP m_gp;
    SHAREA_DR m_dr;
    SHAREA_HD m_hd;
    SHAREA_PT m_pt;
    SHAREA_PB m_pb;
    SHAREA_OPA0 m_Console;
} SHAREA_UNION;

typedef struct S_SHAREBASE {
    UINT m_Version;          // SHAREBASE_VERSION
    UINT m_SharedAreaSize;   // size of the block in bytes
    UINT m_DevTyp;           // a PDEVTYPE value
    char m_SharedAreaName[64];
    bool m_HostUp;
    bool m_CloseOnHostDown;
    volatile bool m_Hold;      // request
    volatile bool m_Allocate;  // request
    bool m_Oper;
    volatile bool m_Disc;      // event
    volatile bool m_Refresh;
    volatile bool m_DevLogSwitch;
    bool m_DevLogOn;
    UINT m_OpsNo;
    char m_Periph[64];       // model name, e.g. "TR1915/1"
    BYTE m_PeriType;         // a PTDETAILS value
    UINT m_Filler;
    bool m_DebugSwitch;
    char m_SystemRoot[513];
    char m_PeriDir[513];
    CPU_CODE m_HostCpu;
    bool m_PhysicalDevice;
    char m_PhysicalDeviceName[64];
    SHAREA_UNION m_U;
} SHAREBASE, *PSHAREBASE;

static_assert(sizeof(SHAREA_UNION) == 33808, "layout");
static_assert(offsetof(S_SHAREBASE, m_SharedAreaSize) == 4, "layout");
static_assert(offsetof(S_SHAREBASE, m_DevTyp) == 8, "layout");
static_assert(offsetof(S_SHAREBASE, m_SharedAreaName) == 12, "layout");
static_assert(offsetof(S_SHAREBASE, m_HostUp) == 76, "layout");
static_assert(offsetof(S_SHAREBASE, m_CloseOnHostDown) == 77, "layout");
static_assert(offsetof(S_SHAREBASE, m_Hold) == 78, "layout");
static_assert(offsetof(S_SHAREBASE, m_Allocate) == 79, "layout");
static_assert(offsetof(S_SHAREBASE, m_Oper) == 80, "layout");
static_assert(offsetof(S_SHAREBASE, m_Disc) == 81, "layout");
static_assert(offsetof(S_SHAREBASE, m_Refresh) == 82, "layout");
static_assert(offsetof(S_SHAREBASE, m_DevLogSwitch) == 83, "layout");
static_assert(offsetof(S_SHAREBASE, m_DevLogOn) == 84, "layout");
static_assert(offsetof(S_SHAREBASE, m_OpsNo) == 88, "layout");
static_assert(offsetof(S_SHAREBASE, m_Periph) == 92, "layout");
static_assert(offsetof(S_SHAREBASE, m_PeriType) == 156, "layout");
static_assert(offsetof(S_SHAREBASE, m_Filler) == 160, "layout");
static_assert(offsetof(S_SHAREBASE, m_DebugSwitch) == 164, "layout");
static_assert(offsetof(S_SHAREBASE, m_SystemRoot) == 165, "layout");
static_assert(offsetof(S_SHAREBASE, m_PeriDir) == 678, "layout");
static_assert(offsetof(S_SHAREBASE, m_HostCpu) == 1192, "layout");
static_assert(offsetof(S_SHAREBASE, m_PhysicalDevice) == 1196, "layout");
static_assert(offsetof(S_SHAREBASE, m_PhysicalDeviceName) == 1197, "layout");
static_assert(offsetof(S_SHAREBASE, m_U) == 1264, "layout");
static_assert(offsetof(S_SHAREBASE, m_U.m_cr.m_Filesize) == 1524, "layout");
static_assert(offsetof(S_SHAREBASE, m_U.m_rpr.m_Filesize) == 1780, "layout");
static_assert(sizeof(S_SHAREBASE) == 35072, "layout");
