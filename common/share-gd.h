// Shared record of the graphics display.
#pragma once
#include <cstddef>
#include "tchar-compat.h"

typedef enum : unsigned int { GD_NONE = 0, GD_KB = 1, GD_LP = 2, GD_TRACKING = 3, GD_IMAGE_STORE = 4 } GD_EVENT;

typedef struct S_SHAREA_GD {
    UINT m_Size;
    volatile GD_EVENT m_Event;
    UINT m_KeyCode;
    UINT m_X;
    UINT m_Y;
    volatile UINT m_WrLen;
    volatile UINT m_WrFinalCount;
    UINT m_RemCount;
    UINT m_LightButton;
    volatile bool m_Reading;
    volatile bool m_ReadCore;
    volatile bool m_ReadAck;
    BYTE m_TrackingData[4];
    BYTE m_Buffer[32768];
} SHAREA_GD;

static_assert(sizeof(GD_EVENT) == 4, "layout");
static_assert(offsetof(SHAREA_GD, m_Event) == 4, "layout");
static_assert(offsetof(SHAREA_GD, m_KeyCode) == 8, "layout");
static_assert(offsetof(SHAREA_GD, m_X) == 12, "layout");
static_assert(offsetof(SHAREA_GD, m_Y) == 16, "layout");
static_assert(offsetof(SHAREA_GD, m_WrLen) == 20, "layout");
static_assert(offsetof(SHAREA_GD, m_WrFinalCount) == 24, "layout");
static_assert(offsetof(SHAREA_GD, m_RemCount) == 28, "layout");
static_assert(offsetof(SHAREA_GD, m_LightButton) == 32, "layout");
static_assert(offsetof(SHAREA_GD, m_Reading) == 36, "layout");
static_assert(offsetof(SHAREA_GD, m_ReadCore) == 37, "layout");
static_assert(offsetof(SHAREA_GD, m_ReadAck) == 38, "layout");
static_assert(offsetof(SHAREA_GD, m_TrackingData) == 39, "layout");
static_assert(offsetof(SHAREA_GD, m_Buffer) == 43, "layout");
static_assert(sizeof(SHAREA_GD) == 32812, "layout");
