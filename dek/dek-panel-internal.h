// What the rooms of the frame share among themselves and nobody else: the
// reading of a block's flags and the scope that keeps the frame alive across
// a nested event loop.
#pragma once

#include <algorithm>

#include <wx/string.h>

#include "dek-panel.h"

// A flag of the block taken as its byte. The host may leave any value in it,
// and loading a byte other than 0 or 1 as a bool is undefined.
inline bool FlagSet(const volatile bool& flag)
{
    return reinterpret_cast<const volatile unsigned char&>(flag) != 0;
}

// Keeps the panel alive while it waits for the host or for the operator in a
// modal dialog: a close that comes in meanwhile (the poll's host-down rule,
// the window's close box) gives up the block at once, dismisses the dialogs
// named here, and leaves destroying the frame, and unmapping blocks that the
// waiting handlers may still hold references into, to the end of the
// outermost scope.
class DekFrame::BusyScope {
public:
    explicit BusyScope(DekFrame& frame, wxDialog* dialog = nullptr) : m_frame(frame), m_dialog(dialog)
    {
        ++m_frame.m_waitDepth;
        if (m_dialog != nullptr)
            m_frame.m_dialogs.push_back(m_dialog);
    }
    ~BusyScope()
    {
        if (m_dialog != nullptr) {
            auto& open = m_frame.m_dialogs;
            open.erase(std::remove(open.begin(), open.end(), m_dialog), open.end());
        }
        m_frame.LeaveBusy();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DekFrame& m_frame;
    wxDialog* m_dialog;
};
