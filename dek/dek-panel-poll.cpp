#include "dek-panel.h"

#include <cstdint>

#include <wx/gauge.h>

#include "dek-buttons.h"
#include "dek-panel-internal.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

// The poll: every 100 ms the panel reads the block, takes the host's events
// and sets its lamps.

namespace {

const char* const kSharedAreaLostText = "Shared area lost\nThe emulator host removed or shrank the block";

}  // namespace

void DekFrame::UpdateLights()
{
    // Dark while the host is gone.
    if (m_attachment.Left())
        return;
    m_ctlENG->Light(m_eng, false);
    m_ctlSTART->Light(m_periType != PT_DR && m_started, false);
    m_ctlCODE->Light(m_code, false);
    m_ctlCODE->Light(!m_code, true);
    m_ctlALLOCATE->Light(m_started && m_allocated, false);
    if (m_periType != PT_HD)
        m_ctlHOLD->Light(m_started && m_hold, false);
}

bool DekFrame::TestAndReset(volatile bool& rb)
{
    if (!FlagSet(rb))
        return false;
    rb = false;
    return true;
}

void DekFrame::UpdateGauge()
{
    // Computed in 32 bits and taken as signed, as the host's two counters may
    // be caught between updates; the gauge asserts on values outside its range.
    const SAUtils::ReaderFields reader = Reader();
    int remaining = static_cast<int32_t>(*reader.filesize - *reader.filePosition);
    if (remaining < 0)
        remaining = 0;
    if (remaining > m_ctlProgress->GetRange())
        remaining = m_ctlProgress->GetRange();
    m_ctlProgress->SetValue(remaining);
}

bool DekFrame::LoseBlock()
{
    // Checked before anything else is read: the host may have truncated the
    // object (the guard then shows zero pages) or republished it under
    // another layout.
    wxString why;
    if (!SAUtils::IsSharedAreaIntact(m_share))
        why = kSharedAreaLostText;
    else if (m_share->m_Version != SHAREBASE_VERSION)
        why = VersionMismatchText();
    else
        return false;
    AbandonPanel(why);
    return true;
}

void DekFrame::OnTimer(wxTimerEvent& WXUNUSED(event))
{
    if (m_attachment.Left()) {
        TryReattach();
        return;
    }
    // A tick still queued when the panel closed finds no block.
    if (m_share == nullptr || LoseBlock() || HostLeftTheBlock())
        return;
    if (m_readerPunch) {
        TakePunchAllocation();
        // The punch's medium has ended: its file is no longer the one it writes.
        if (TestAndReset(m_share->m_U.m_rp.m_Disc2))
            ShowPunchFile(wxEmptyString);
    }
    if (TestAndReset(m_share->m_Disc)) {
        // Only the readers have the keep-open flag; for the others the byte
        // belongs to another record and means nothing here.
        bool keptOpen = IsReader() && FlagSet(*Reader().discWhileFileOpen);
        if (!keptOpen) {
            m_ctlCurrFile->SetText(wxEmptyString, false);
            m_ctlProgress->SetValue(0);
        }
        m_ctlCurrFile->Refresh(true);
        m_allocated = false;
        return;
    }
    if (FlagSet(m_share->m_HostUp)) {
        if (m_startMin) {
            m_startMin = false;
            RequestIconize();
        }
        if (m_allocated && IsReader())
            UpdateGauge();
        UpdateLights();
    } else if (FlagSet(m_share->m_CloseOnHostDown)) {
        m_timer.Stop();
        Close(true);
    } else {
        UpdateLights();
    }
}
