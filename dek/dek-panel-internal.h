// What the rooms of the frame share among themselves and nobody else: the
// message boxes, the reading of a block's flags and the scope that keeps the
// frame alive across a nested event loop.
#pragma once

#include <wx/string.h>

#include "dek-panel.h"

void ErrorBox(const wxString& msg);
// A box after which the program ends: a terminal or a script that started
// the panel learns why from standard error, even before the box is answered.
void FatalBox(const wxString& msg);

// A flag of the block taken as its byte. The host may leave any value in it,
// and loading a byte other than 0 or 1 as a bool is undefined.
inline bool FlagSet(const volatile bool& flag)
{
    return reinterpret_cast<const volatile unsigned char&>(flag) != 0;
}

// Keeps the panel alive while it waits for the host or for the operator in a
// modal dialog: a close that comes in meanwhile (the poll's host-down rule,
// the window's close box) releases the block at once but leaves destroying
// the frame to the end of the outermost wait, so that the waiting handler
// never runs on a deleted frame.
class DekFrame::BusyScope {
public:
    explicit BusyScope(DekFrame& frame) : m_frame(frame) { ++m_frame.m_waitDepth; }
    ~BusyScope() { m_frame.LeaveBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DekFrame& m_frame;
};
