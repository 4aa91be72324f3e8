#include "dek-panel.h"

#include <wx/cursor.h>
#include <wx/gauge.h>
#include <wx/utils.h>

#include "dek-buttons.h"
#include "dek-desktop.h"
#include "dek-panel-face.h"
#include "dek-panel-internal.h"
#include "mkshareditem.h"
#include "peri-names.h"

// The link to the host: attaching to its block, watching that the block is
// still the one the host serves, and attaching again when it comes back.
//
// The rule of the attachment, kept here and in every handler. What belongs
// to one host (its block, the allocation, HOLD, the file displays and the
// requests still pending) ends when the host leaves the block: the panel
// forgets it (ForgetHost). A new host is told what the operator set (ENG)
// and shows nothing of the old one's. Every change of attachment, and the
// close, moves its serial: a handler that runs a nested loop (file dialog,
// message box, request wait) notes its Footing before and asks StillOn
// after (around a request wait AwaitOnSameHost does both), and when the
// footing has gone drops what it was doing, without touching the new block
// or the displays. A block given up while such a loop runs is only retired,
// and unmapped once the outermost loop has ended (LeaveBusy): a reference
// that a handler still holds never points at unmapped memory.

namespace {

// The block's name is looked up once a second, not at every poll.
const int kTicksPerNameCheck = 10;

}  // namespace

bool DekFrame::ConnectSharedArea()
{
    const std::string name = BlockName();
    size_t mapped = 0;
    SAUtils::SharedAreaIdentity identity;
    PSHAREBASE p;
    while ((p = SAUtils::OpenPeripheralSharedArea(name.c_str(), &mapped, &identity)) == nullptr) {
        // No event loop runs here; a later panel learns that this one will
        // come up when the block appears.
        AnswerLaterPanels();
        wxMilliSleep(100);
    }

    wxString refusal = AttachRefusal(*p, mapped);
    if (!refusal.empty()) {
        FatalBox(refusal);
        SAUtils::ReleaseSharedArea(p, mapped);
        return false;
    }
    m_periType = p->m_PeriType;
    TakeBlock(p, mapped, identity);

    ConfigureForDeviceType();
    if (m_ended)
        return true;

    ShowIdentity();
    FitAndHoldSize(*this);
    TabInScreenOrder(*this);
    m_timer.Start(100, wxTIMER_CONTINUOUS);
    return true;
}

bool DekFrame::TryBefore(wxEvent& event)
{
    // Presses would reach nobody, or a block that no host serves any more.
    if (m_attachment.Left() && event.GetEventType() == wxEVT_BUTTON) {
        Refuse();
        return true;
    }
    return wxFrame::TryBefore(event);
}

std::string DekFrame::BlockName() const
{
    char name[64];
    SAUtils::MakeSharedAreaname(m_CPU, m_SI, name, sizeof name);
    return name;
}

void DekFrame::TakeBlock(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity)
{
    // The length released is the one mapped, whatever the host wrote.
    m_attachment.Begin(block, mapped, identity);
    m_share = block;
    m_shareSize = mapped;
    m_attachedAs = PeripheralOf(*block);
    m_ticksSinceNameCheck = 0;
    if (m_waitDepth == 0)
        m_attachment.ReleaseRetired();
}

void DekFrame::DropBlock()
{
    m_attachment.Drop();
    m_share = nullptr;
    if (m_waitDepth == 0)
        m_attachment.ReleaseRetired();
}

void DekFrame::ShowIdentity()
{
    m_opsNo = m_share->m_OpsNo;
    m_periph = HostText(SAUtils::FieldText(m_share->m_Periph));
    m_ctlOperNO->SetText(wxString::Format("%02u", m_opsNo), false);
    RefreshHostState();
}

void DekFrame::RefreshHostState()
{
    DekHostState state = m_attachment.Left() ? DekHostState::Gone
                         : m_hostWaits > 0 ? DekHostState::Waiting
                                           : DekHostState::Attached;
    wxString title = PanelTitle(m_opsNo, m_periph, state);
    if (GetTitle() != title)
        SetTitle(title);
    // Only on a change: setting even the plain pointer costs the toolkit a
    // cursor of its own.
    bool busy = state == DekHostState::Waiting;
    if (busy != m_busyPointer) {
        m_busyPointer = busy;
        SetCursor(busy ? wxCursor(wxCURSOR_ARROWWAIT) : wxNullCursor);
    }
}

// A restarted host withdraws the block and publishes a new object under the
// same name; a host that withdrew it for good leaves no object at all. Both
// leave the mapping intact, so only the name tells.
bool DekFrame::HostLeftTheBlock()
{
    if (++m_ticksSinceNameCheck < kTicksPerNameCheck)
        return false;
    m_ticksSinceNameCheck = 0;
    SAUtils::SharedAreaIdentity now;
    if (SAUtils::IdentifySharedArea(BlockName().c_str(), &now) && now == m_attachment.Identity())
        return false;
    if (FlagSet(m_share->m_CloseOnHostDown)) {
        m_timer.Stop();
        Close(true);
        return true;
    }
    DetachFromHost();
    TryReattach();  // the new block may be there already
    return true;
}

void DekFrame::DetachFromHost()
{
    m_attachment.Leave();  // ends the waits on the old block
    ForgetHost();
    DarkenLamps();
    RefreshHostState();
}

// The medium and the holds that the operator had with the host that left:
// the next host has none of them.
void DekFrame::ForgetHost()
{
    m_allocated = false;
    m_hold = false;
    ClearFileDisplay();
    if (m_readerPunch)
        ShowPunchFile(wxEmptyString);
}

void DekFrame::DarkenLamps()
{
    for (IclButton* b : {m_ctlHOLD, m_ctlALLOCATE, m_ctlSTART, m_ctlSTOP, m_ctlDATA, m_ctlCODE, m_ctlENG, m_ctlHOLD2,
                         m_ctlALLOCATE2, m_ctlSTART2, m_ctlSTOP2, m_ctlDATA2}) {
        b->Light(false, false);
        b->Light(false, true);
    }
}

void DekFrame::TryReattach()
{
    size_t mapped = 0;
    SAUtils::SharedAreaIdentity identity;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(BlockName().c_str(), &mapped, &identity);
    if (p == nullptr)
        return;
    wxString why;
    switch (JudgeReattach(m_attachedAs, *p, mapped)) {
    case DekReattach::Resume:
        Reattach(p, mapped, identity);
        return;
    case DekReattach::Refuse:
        why = AttachRefusal(*p, mapped);
        break;
    case DekReattach::Unsupported:
        why = UnsupportedTypeText(p->m_PeriType);
        break;
    case DekReattach::Changed:
        why = ChangedPeripheralText(m_SI, PeripheralOf(*p));
        break;
    }
    SAUtils::ReleaseSharedArea(p, mapped);
    AbandonPanel(why);
}

void DekFrame::Reattach(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity)
{
    TakeBlock(block, mapped, identity);
    // As at start-up: no file is kept open for this panel yet.
    if (FaceFollowsAnInputFile(FaceFor(m_periType, m_attachedAs.periph, m_attachedAs.devTyp)))
        *Reader().discWhileFileOpen = false;
    // START and CODE are the panel's own; ENG the new host learns as from a press.
    if (m_started)
        m_share->m_DebugSwitch = m_eng;
    // START's lower pane is part of the face: lit on every face but the drum's.
    m_ctlSTART->Light(m_periType != PT_DR, true);
    ShowIdentity();
    UpdateLights();
}

void DekFrame::AbandonPanel(const wxString& why)
{
    m_timer.Stop();
    DropBlock();
    // The program ends without closing its window, so the placement is kept
    // here, before the message that the operator may leave standing.
    StorePlacement();
    FatalBox(why);
    EndProgram(1);
    // Only reached under test, where the exit is watched: the panel closes.
    Close(true);
}
