// One panel per peripheral: a later dek for a machine and channel that
// already has a panel on this display, for the same user, asks that panel to
// come to the front instead of opening a rival one.
#pragma once

#include <memory>

#include <wx/string.h>

#include "sharebase.h"

class wxSingleInstanceChecker;

// What the panel of machine `cpu`, channel `si` is known by for `user` on
// `display`: usable as a file name, and never the same for two different
// combinations (the fields are escaped so that none can borrow a separator).
wxString PeerKey(UINT cpu, UINT si, const wxString& display, const wxString& user);

// The display a key is made for: the X display, else the Wayland one.
wxString PeerDisplay(const char* x11, const char* wayland);

// The first panel holds the toolkit's single-instance lock for its key and
// listens on a datagram socket of the same key; a later one finds the lock
// and sends one byte there. Nothing blocks: the first panel looks for the
// byte from its poll.
class DekPeerLink {
public:
    enum class Claim {
        First,             // no other panel: this one serves the peripheral
        WokeTheFirst,      // another panel has it and was asked to come forward
        FirstUnreachable,  // another panel holds the lock but cannot be reached
    };

    // The panel of machine `cpu`, channel `si`, for this user and display.
    DekPeerLink(UINT cpu, UINT si);
    // Releases the lock (its file goes) and the socket.
    ~DekPeerLink();
    DekPeerLink(const DekPeerLink&) = delete;
    DekPeerLink& operator=(const DekPeerLink&) = delete;

    Claim ClaimPeripheral();

    // True when a later panel has asked since the last call; never waits.
    bool TakeWakeUp();

    // Where the lock file lies.
    wxString LockPath() const;

private:
    bool Lock();
    void Listen();
    bool WakeTheFirst() const;

    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    wxString m_key;
    int m_socket = -1;
};
