#include "dek-panel.h"

#include "dek-panel-internal.h"
#include "dek-peer.h"

// One panel per peripheral: the frame's side of dek-peer. The panel holds its
// claim while it can serve: from before it waits for its block until it
// closes, or until the box that ends it (FatalBox) goes up.

bool DekFrame::ClaimPeripheral()
{
    m_peer = std::make_unique<DekPeerLink>(m_CPU, m_SI);
    switch (m_peer->ClaimPeripheral()) {
    case DekPeerLink::Claim::First:
        // The toolkit's loop watches for later panels; the poll does not.
        m_peer->WatchRequests([this] { BringToFront(); });
        return true;
    case DekPeerLink::Claim::WokeTheFirst:
        m_peer.reset();
        EndProgram(0);
        return false;
    case DekPeerLink::Claim::FirstUnreachable:
        break;
    }
    m_peer.reset();
    FatalBox(wxString::Format("A panel for machine %u channel %u is already open", m_CPU, m_SI));
    EndProgram(1);
    return false;
}

void DekFrame::AnswerLaterPanels()
{
    // Before the window is first shown: it comes up by itself.
    if (m_peer)
        m_peer->AnswerRequests(false);
}

void DekFrame::ReleaseClaim()
{
    m_peer.reset();
}

void DekFrame::BringToFront()
{
    if (IsBeingDeleted())
        return;
    if (IsIconized())
        Iconize(false);
    Raise();
}
