// One panel per peripheral: a later dek for a machine and channel that
// already has a panel on this display, for the same user, asks that panel to
// come to the front instead of opening a rival one.
#pragma once

#include <functional>
#include <memory>

#include <wx/string.h>

#include "sharebase.h"

class wxEventLoopSource;
class wxSingleInstanceChecker;

// What the panel of machine `cpu`, channel `si` is known by for `user` on
// `display`: usable as a file name, and never the same for two different
// combinations (the fields are escaped so that none can borrow a separator).
wxString PeerKey(UINT cpu, UINT si, const wxString& display, const wxString& user);

// The display a key is made for: the X display, else the Wayland one.
wxString PeerDisplay(const char* x11, const char* wayland);

// The first panel holds the toolkit's single-instance lock for its key and
// listens on a local socket of the same key. A later one finds the lock,
// connects and waits a little for the answer, which the first sends only once
// it has come forward: a first panel that is stopped or hung does not answer.
// A panel holds the lock only while it can still serve; one about to end
// destroys its link first, so that a panel started meanwhile becomes the
// first.
class DekPeerLink {
public:
    enum class Claim {
        First,             // no other panel: this one serves the peripheral
        WokeTheFirst,      // another panel has it and has come forward
        FirstUnreachable,  // another panel holds the lock but did not answer
    };

    // The panel of machine `cpu`, channel `si`, for this user and display.
    DekPeerLink(UINT cpu, UINT si);
    // Stops watching, closes the socket (asking panels see it go) and
    // releases the lock (its file goes).
    ~DekPeerLink();
    DekPeerLink(const DekPeerLink&) = delete;
    DekPeerLink& operator=(const DekPeerLink&) = delete;

    // Waits at most about two seconds, for an answer or for a first panel
    // that is letting go.
    Claim ClaimPeripheral();

    // After a First claim: the toolkit's event loop, and every loop nested in
    // it, watches the socket and calls `comeForward` on the GUI thread when a
    // later panel asks; that panel gets its answer when the call returns. The
    // watch goes with the link.
    void WatchRequests(std::function<void()> comeForward);

    // Answers the requests waiting now; with `comeForward`, first calls the
    // function given to WatchRequests (when any request waits). The watch
    // calls this with true; a panel that runs no event loop yet, and will
    // show itself anyway, with false.
    void AnswerRequests(bool comeForward);

    // Where the lock file lies.
    wxString LockPath() const;

private:
    class Watcher;
    enum class Answer { CameForward, Silent, NobodyListens };

    bool Lock();
    void Listen();
    Answer AskTheFirst(long long deadlineMs) const;
    void StopWatching();

    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    wxString m_key;
    int m_socket = -1;
    std::function<void()> m_comeForward;
    std::unique_ptr<Watcher> m_watcher;
    wxEventLoopSource* m_source = nullptr;  // the main loop's watch of m_socket
};
