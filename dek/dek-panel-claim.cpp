#include "dek-panel.h"

#include "dek-panel-internal.h"
#include "dek-peer.h"

// One panel per peripheral: the frame's side of dek-peer.

bool DekFrame::ClaimPeripheral()
{
    m_peer = std::make_unique<DekPeerLink>(m_CPU, m_SI);
    switch (m_peer->ClaimPeripheral()) {
    case DekPeerLink::Claim::First:
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
    if (m_peer && m_peer->TakeWakeUp())
        BringToFront();
}

void DekFrame::BringToFront()
{
    if (IsIconized())
        Iconize(false);
    Raise();
}
