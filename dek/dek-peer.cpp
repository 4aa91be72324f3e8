#include "dek-peer.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

namespace {

// A first panel takes its lock and opens its socket one after the other; a
// later panel that finds the lock but no socket tries again for this long
// before it takes the lock for one left by a killed panel.
const int kWakeAttempts = 10;
const int kWakeRetryMillis = 100;

// Letters, digits, '.' and '-' stand for themselves; every other byte is
// written %XX, so that '_' only ever separates fields.
wxString EscapeField(const wxString& field)
{
    static const char hex[] = "0123456789ABCDEF";
    wxString out;
    wxScopedCharBuffer utf8 = field.utf8_str();
    for (size_t i = 0; i < utf8.length(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8.data()[i]);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '-';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The per-user runtime directory when there is one (private, and emptied
// at log-out), else the home directory.
wxString LockDirectory()
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
        return wxString(runtime, wxConvLibc) + "/";
    return wxGetHomeDir() + "/";
}

wxString LockName(const wxString& key)
{
    return "." + key + ".lock";
}

// An abstract socket address: no file to leave behind, gone with its process.
// The key may be long, so the address carries a hash of it.
socklen_t WakeAddress(const wxString& key, sockaddr_un* addr)
{
    uint64_t h = 14695981039346656037ull;
    wxScopedCharBuffer utf8 = key.utf8_str();
    for (size_t i = 0; i < utf8.length(); ++i) {
        h ^= static_cast<unsigned char>(utf8.data()[i]);
        h *= 1099511628211ull;
    }
    memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    int n = snprintf(addr->sun_path + 1, sizeof addr->sun_path - 1, "dek-peer-%016llx",
                     static_cast<unsigned long long>(h));
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

}  // namespace

wxString PeerKey(UINT cpu, UINT si, const wxString& display, const wxString& user)
{
    return wxString::Format("dek_%s_%s_%u_%u", EscapeField(user), EscapeField(display), cpu, si);
}

wxString PeerDisplay(const char* x11, const char* wayland)
{
    if (x11 != nullptr && x11[0] != '\0')
        return wxString(x11, wxConvLibc);
    if (wayland != nullptr && wayland[0] != '\0')
        return "wayland:" + wxString(wayland, wxConvLibc);
    return wxString();
}

DekPeerLink::DekPeerLink(UINT cpu, UINT si)
    : m_key(PeerKey(cpu, si, PeerDisplay(getenv("DISPLAY"), getenv("WAYLAND_DISPLAY")),
                    wxString::Format("%u", static_cast<unsigned>(getuid()))))
{
}

DekPeerLink::~DekPeerLink()
{
    if (m_socket >= 0)
        close(m_socket);
    wxLogNull quiet;
    m_checker.reset();
}

wxString DekPeerLink::LockPath() const
{
    return LockDirectory() + LockName(m_key);
}

DekPeerLink::Claim DekPeerLink::ClaimPeripheral()
{
    // The checker reports stale or foreign lock files through the log, which
    // would pop up dialogs of its own.
    wxLogNull quiet;
    if (!Lock()) {
        if (WakeTheFirst())
            return Claim::WokeTheFirst;
        // Nobody listens behind the lock: it was left by a killed panel whose
        // process number now belongs to another process.
        m_checker.reset();
        wxRemoveFile(LockPath());
        if (!Lock())
            return Claim::FirstUnreachable;
    }
    Listen();
    return Claim::First;
}

bool DekPeerLink::Lock()
{
    m_checker = std::make_unique<wxSingleInstanceChecker>();
    // A lock that cannot be made at all (no writable directory) stands in
    // nobody's way: the checker then reports no other panel.
    m_checker->Create(LockName(m_key), LockDirectory());
    return !m_checker->IsAnotherRunning();
}

void DekPeerLink::Listen()
{
    m_socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return;
    sockaddr_un addr;
    socklen_t len = WakeAddress(m_key, &addr);
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
        close(m_socket);
        m_socket = -1;
    }
}

bool DekPeerLink::WakeTheFirst() const
{
    int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_un addr;
    socklen_t len = WakeAddress(m_key, &addr);
    bool sent = false;
    for (int attempt = 0; attempt < kWakeAttempts && !sent; ++attempt) {
        if (attempt > 0)
            wxMilliSleep(kWakeRetryMillis);
        const char wake = 'w';
        // A full queue means wake-ups are already waiting for the first panel.
        sent = sendto(s, &wake, 1, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&addr), len) == 1 ||
               errno == EAGAIN;
    }
    close(s);
    return sent;
}

bool DekPeerLink::TakeWakeUp()
{
    if (m_socket < 0)
        return false;
    bool woken = false;
    char buf[16];
    while (recv(m_socket, buf, sizeof buf, MSG_DONTWAIT) >= 0)
        woken = true;
    return woken;
}
