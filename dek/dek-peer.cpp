#include "dek-peer.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/snglinst.h>
#include <wx/utils.h>

namespace {

// A first panel takes its lock and opens its socket one after the other, and
// lets go of them in the opposite order; a later panel that finds the lock
// but no socket tries again for this long before it takes the lock for one
// left by a killed panel.
const long long kNobodyMillis = 1000;
const int kRetryMillis = 100;
// How long a later panel waits for the first one's answer. A first panel that
// runs at all answers within a poll period or two.
const long long kAnswerMillis = 1500;
// What the first panel answers once it has come forward.
const char kCameForward = 'f';

long long NowMillis()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

// The toolkit's main loop calls this when the listening socket has a
// connection waiting; it runs on the GUI thread like any other event.
class DekPeerLink::Watcher : public wxEventLoopSourceHandler {
public:
    explicit Watcher(DekPeerLink& link) : m_link(link) {}
    void OnReadWaiting() override { m_link.AnswerRequests(true); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override {}

private:
    DekPeerLink& m_link;
};

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
    // The watch goes before the socket it watches; closing the socket turns
    // away the panels still asking, which then find the lock free.
    StopWatching();
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
    const long long start = NowMillis();
    for (;;) {
        if (Lock()) {
            Listen();
            return Claim::First;
        }
        if (NowMillis() - start >= kNobodyMillis)
            break;
        switch (AskTheFirst(start + kAnswerMillis)) {
        case Answer::CameForward:
            return Claim::WokeTheFirst;
        case Answer::Silent:
            return Claim::FirstUnreachable;
        case Answer::NobodyListens:
            break;
        }
        wxMilliSleep(kRetryMillis);
    }
    // Nobody listens behind the lock: it was left by a killed panel whose
    // process number now belongs to another process.
    m_checker.reset();
    wxRemoveFile(LockPath());
    if (!Lock())
        return Claim::FirstUnreachable;
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
    m_socket = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return;
    sockaddr_un addr;
    socklen_t len = WakeAddress(m_key, &addr);
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&addr), len) != 0 || listen(m_socket, 16) != 0) {
        close(m_socket);
        m_socket = -1;
    }
}

// Nothing here blocks for longer than until `deadlineMs`.
DekPeerLink::Answer DekPeerLink::AskTheFirst(long long deadlineMs) const
{
    int s = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0)
        return Answer::Silent;
    sockaddr_un addr;
    socklen_t len = WakeAddress(m_key, &addr);
    Answer answer = Answer::Silent;
    for (;;) {
        if (connect(s, reinterpret_cast<const sockaddr*>(&addr), len) == 0)
            break;
        if (errno == EINTR)
            continue;
        // EAGAIN: the first panel's queue of connections is full, it takes
        // none; anything else: no socket behind the lock.
        if (errno != EAGAIN) {
            close(s);
            return Answer::NobodyListens;
        }
        if (NowMillis() >= deadlineMs) {
            close(s);
            return Answer::Silent;
        }
        wxMilliSleep(10);
    }
    // The connection is the request; the first panel answers once it has
    // come forward. A stopped or hung one leaves it queued.
    for (;;) {
        long long left = deadlineMs - NowMillis();
        if (left <= 0)
            break;
        pollfd p = {s, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char reply = 0;
        ssize_t n = recv(s, &reply, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        // Closed unanswered: the first panel let go of its claim meanwhile.
        answer = n == 1 && reply == kCameForward ? Answer::CameForward : Answer::NobodyListens;
        break;
    }
    close(s);
    return answer;
}

void DekPeerLink::WatchRequests(std::function<void()> comeForward)
{
    m_comeForward = std::move(comeForward);
    if (m_socket < 0 || m_source != nullptr)
        return;
    m_watcher = std::make_unique<Watcher>(*this);
    // The toolkit's loop, and every loop nested in it (dialogs, the request
    // wait), then polls the socket with its other sources. A program without
    // such sources says so through the log; its panel then does not answer.
    wxLogNull quiet;
    m_source = wxEventLoopBase::AddSourceForFD(m_socket, m_watcher.get(), wxEVENT_SOURCE_INPUT);
}

void DekPeerLink::AnswerRequests(bool comeForward)
{
    if (m_socket < 0)
        return;
    std::vector<int> asking;
    for (;;) {
        int c = accept4(m_socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c >= 0) {
            // A panel that has given up waiting (this one was stopped, say)
            // has told its operator already; nobody is to be raised for it.
            pollfd p = {c, POLLIN, 0};
            if (poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR)) != 0)
                close(c);
            else
                asking.push_back(c);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        // Out of descriptors, say: the socket would stay readable and the
        // watch fire without end. Later panels then get no answer.
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            StopWatching();
        break;
    }
    if (asking.empty())
        return;
    if (comeForward && m_comeForward) {
        // The call may end this link; only local state is used after it.
        std::function<void()> call = m_comeForward;
        call();
    }
    for (int c : asking) {
        send(c, &kCameForward, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        close(c);
    }
}

void DekPeerLink::StopWatching()
{
    // Removes the source from the loop (also safe from within its own call);
    // the watcher stays until the link goes, as this may run from its call.
    delete m_source;
    m_source = nullptr;
}
