#include "dek-panel.h"

#include <atomic>
#include <chrono>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "dek-buttons.h"
#include "dek-panel-internal.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

// The request handshake and the operator's buttons, but for ALLOCATE
// (dek-panel-allocate).

namespace {

// A request that the host has left for this long is shown as waiting.
const std::chrono::milliseconds kHostWaitShown(500);


// Lets the toolkit handle what is pending while a request waits. Events keep
// flowing, so another press may start a second wait inside this one; that is
// allowed, and the inner wait must keep the loop working too. The toolkit
// refuses a yield inside a yield (and Yield(true) there does nothing), so
// inside one the pending events are dispatched one by one instead.
void PumpEvents()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr && loop->IsYielding()) {
        while (loop->Pending())
            loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
    } else {
        wxTheApp->Yield(true);
    }
}

}  // namespace

void DekFrame::LeaveBusy()
{
    if (--m_waitDepth > 0)
        return;
    m_attachment.ReleaseRetired();
    if (m_destroyAfterWait) {
        m_destroyAfterWait = false;
        Destroy();  // deferred by the toolkit: members stay readable until idle
    }
}

// Shows a request that the host leaves pending: after a while in the title
// and as the busy pointer, until the wait ends however it ends.
class DekFrame::HostWaitScope {
public:
    explicit HostWaitScope(DekFrame& frame) : m_frame(frame), m_since(std::chrono::steady_clock::now()) {}
    ~HostWaitScope()
    {
        if (m_shown)
            m_frame.ShowHostWait(false);
    }
    HostWaitScope(const HostWaitScope&) = delete;
    HostWaitScope& operator=(const HostWaitScope&) = delete;

    void Tick()
    {
        if (!m_shown && std::chrono::steady_clock::now() - m_since >= kHostWaitShown) {
            m_shown = true;
            m_frame.ShowHostWait(true);
        }
    }

private:
    DekFrame& m_frame;
    std::chrono::steady_clock::time_point m_since;
    bool m_shown = false;
};

void DekFrame::SetAndAwaitFalse(volatile bool& rb)
{
    // No host serves the block, or the panel is closing: nobody would take it.
    if (!Live())
        return;
    // The request's data must reach the host no later than its flag; the
    // fence keeps the compiler from moving the plain stores of the data past
    // the volatile store of the flag.
    std::atomic_thread_fence(std::memory_order_release);
    rb = true;
    BusyScope busy(*this);
    HostWaitScope waiting(*this);
    // A close, a host that leaves the block and a new block all move the
    // footing: the wait then ends without touching the flag again.
    const unsigned footing = Footing();
    while (StillOn(footing) && m_started && FlagSet(rb)) {
        wxMilliSleep(1);
        waiting.Tick();
        PumpEvents();
    }
}

// ---------------------------------------------------------------------------
// Operator buttons

void DekFrame::OnStart(wxCommandEvent& WXUNUSED(event))
{
    if (m_started)
        return;
    m_started = true;
    UpdateLights();
}

void DekFrame::OnStop(wxCommandEvent& WXUNUSED(event))
{
    if (m_started) {
        if (m_allocated && m_share != nullptr)
            m_share->m_Oper = false;
        m_started = false;
        m_allocated = false;
        UpdateLights();
        return;
    }
    // The close needs no host: Yes closes whatever the host did meanwhile.
    if (m_askClose) {
        int answer = Box("Cancel?", wxYES_NO | wxICON_QUESTION);
        if (m_closed || answer != wxYES)
            return;
    }
    Close(true);
}

void DekFrame::OnHold(wxCommandEvent& WXUNUSED(event))
{
    if (!m_started || m_share == nullptr)
        return;
    const unsigned footing = Footing();
    if (m_allocated) {
        m_hold = true;
        // A multiplexor's hold takes it off line: stopping first makes the
        // request go out without a wait.
        if (m_periType == PT_MX)
            m_started = false;
        SetAndAwaitFalse(m_share->m_Hold);
        if (!StillOn(footing))
            return;
        if (m_periType == PT_HD)
            m_allocated = false;
    } else if (!IsReader()) {
        Refuse();
    } else if (FlagSet(*Reader().discWhileFileOpen)) {
        SetAndAwaitFalse(*Reader().closefile);
        if (!StillOn(footing))
            return;
        m_ctlCurrFile->SetText(wxEmptyString, false);
        m_ctlProgress->SetValue(0);
        m_ctlCurrFile->Refresh(true);
    } else {
        Refuse();
    }
    UpdateLights();
}

void DekFrame::OnCode(wxCommandEvent& WXUNUSED(event))
{
    if (!m_started)
        return;
    m_code = !m_code;
    UpdateLights();
}

void DekFrame::OnEngineer(wxCommandEvent& WXUNUSED(event))
{
    m_eng = !m_eng;
    UpdateLights();
    if (m_started && m_share != nullptr)
        m_share->m_DebugSwitch = m_eng;
}

bool DekFrame::StoreText(char* field, size_t width, const wxString& text)
{
    // A name that the locale's encoding cannot carry would reach the host
    // empty or mangled: refuse it instead.
    wxCharBuffer buf = text.mb_str(wxConvLibc);
    if (buf.data() == nullptr || (buf.length() == 0 && !text.empty()))
        return false;
    SAUtils::StoreFieldText(field, width, buf.data());
    return true;
}

void DekFrame::OnData(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr)
        return;
    if (m_periType != PT_LP) {
        Refuse();
        return;
    }
    wxString flDir = wxString::Format("%s/Formatloops", SystemRoot());
    wxFileDialog dlg(this, "Select format loop", flDir, wxEmptyString, "Format loops|*.ini|All files|*.*",
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))  // false too when the footing has gone meanwhile
        return;
    if (!StoreText(m_share->m_U.m_lp.m_FormatLoopName, sizeof m_share->m_U.m_lp.m_FormatLoopName,
                   choice.filename)) {
        Refuse();
        return;
    }
    SetAndAwaitFalse(m_share->m_U.m_lp.m_LoadFormatLoop);
}

void DekFrame::OnButton1(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr || m_periType != PT_40 || m_ctlQ == nullptr || m_ctlP == nullptr)
        return;
    UINT q = 0;
    UINT p = 0;
    // An entry too large for a 32-bit word is refused rather than cut.
    if (!ScanOctalEntry(m_ctlQ->GetValue(), q) || !ScanOctalEntry(m_ctlP->GetValue(), p)) {
        Refuse();
        return;
    }
    m_share->m_U.m_pt.Q = q;
    m_share->m_U.m_pt.P = p;
    SetAndAwaitFalse(m_share->m_U.m_pt.B);
}

// The second unit of a reader-punch is its punch, with request flags of its
// own so that the host can tell its presses from the reader's. The host
// names the punch's output file: it has written the name into m_FilenameTP
// by the time it clears the allocate flag, and the panel shows it, at once
// when it waited for the answer, else from the poll (a stopped panel posts
// the request without waiting). Other faces have no second unit, and those
// bytes belong to their own records.
void DekFrame::OnAllocate2(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr || !m_readerPunch)
        return;
    // The host makes a new output file for every request: one at a time.
    if (m_attachment.PunchAllocationPending()) {
        Refuse();
        return;
    }
    const unsigned footing = Footing();
    m_attachment.SetPunchAllocationPending(true);
    SetAndAwaitFalse(m_share->m_U.m_rp.m_Allocate2);
    if (StillOn(footing))
        TakePunchAllocation();
}

void DekFrame::TakePunchAllocation()
{
    if (!m_attachment.PunchAllocationPending() || FlagSet(m_share->m_U.m_rp.m_Allocate2))
        return;
    m_attachment.SetPunchAllocationPending(false);
    ShowPunchFile(HostText(SAUtils::FieldText(m_share->m_U.m_rp.m_FilenameTP)));
}

void DekFrame::OnHold2(wxCommandEvent& WXUNUSED(event))
{
    if (m_share != nullptr && m_readerPunch)
        SetAndAwaitFalse(m_share->m_U.m_rp.m_Hold2);
}

void DekFrame::ShowPunchFile(const wxString& name)
{
    // Shown from the first allocation on, so the face before it stays as it was.
    m_ctlPunchFile->SetText(name, false);
    if (!name.empty() && !m_ctlPunchFile->IsShown()) {
        m_ctlPunchFile->Show(true);
        Layout();
    }
    m_ctlPunchFile->Refresh(true);
}

void DekFrame::ShowHostWait(bool on)
{
    m_hostWaits += on ? 1 : -1;
    RefreshHostState();
}
