#include "mkshareditem.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A fixed table, so that the signal handler touches nothing but lock-free
// atomics. More blocks than slots are still mapped, just not guarded.
struct GuardedBlock {
    std::atomic<uintptr_t> base{0};
    std::atomic<size_t> len{0};
    std::atomic<bool> lost{false};
};
constexpr int kGuardSlots = 256;
GuardedBlock g_guarded[kGuardSlots];
struct sigaction g_previousBusAction;
std::atomic<bool> g_guardInstalled{false};

// Maps zero pages over the guarded block that holds addr and marks it lost;
// false when no guarded block holds addr.
bool RescueGuardedBlock(uintptr_t addr)
{
    for (GuardedBlock& g : g_guarded) {
        uintptr_t base = g.base.load();
        size_t len = g.len.load();
        if (base != 0 && addr >= base && addr < base + len) {
            void* p = mmap(reinterpret_cast<void*>(base), len, PROT_READ | PROT_WRITE,
                           MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p != MAP_FAILED) {
                g.lost.store(true);
                return true;
            }
        }
    }
    return false;
}

// Calls a previous handler as the kernel would have: its mask and, unless
// it asked otherwise, the signal itself blocked while it runs.
void CallPrevious(const struct sigaction& prev, int sig, siginfo_t* info, void* context)
{
    sigset_t mask = prev.sa_mask;
    if (!(prev.sa_flags & SA_NODEFER))
        sigaddset(&mask, sig);
    sigset_t old;
    pthread_sigmask(SIG_BLOCK, &mask, &old);
    if (prev.sa_flags & SA_SIGINFO)
        prev.sa_sigaction(sig, info, context);
    else
        prev.sa_handler(sig);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// A fault that is not ours goes to whatever handled SIGBUS before the guard,
// with the original signal information, and the guard stays in place.
void PassOn(int sig, siginfo_t* info, void* context, bool fault)
{
    const struct sigaction prev = g_previousBusAction;
    // sa_handler and sa_sigaction share their storage.
    if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN) {
        if (prev.sa_flags & SA_RESETHAND) {
            // A one-shot handler: later faults take the default action.
            g_previousBusAction.sa_flags &= ~SA_SIGINFO;
            g_previousBusAction.sa_handler = SIG_DFL;
        }
        CallPrevious(prev, sig, info, context);
        return;
    }
    if (prev.sa_handler == SIG_IGN && !fault)
        return;
    // The default action; a real fault cannot be ignored either. With the
    // default disposition back, the faulting instruction faults again when
    // it is retried, and a sent signal is sent again: both end the process.
    signal(sig, SIG_DFL);
    if (!fault)
        raise(sig);
}

void OnBusError(int sig, siginfo_t* info, void* context)
{
    // Only a fault carries an address; a sent signal carries its sender.
    bool fault = info->si_code > 0 && info->si_code != SI_KERNEL;
    if (fault && RescueGuardedBlock(reinterpret_cast<uintptr_t>(info->si_addr)))
        return;  // the faulting access is retried on the zero pages
    PassOn(sig, info, context, fault);
}

void InstallBusGuard()
{
    bool expected = false;
    if (!g_guardInstalled.compare_exchange_strong(expected, true))
        return;
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = OnBusError;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGBUS, &sa, &g_previousBusAction);
}

void GuardBlock(void* p, size_t len)
{
    InstallBusGuard();
    for (GuardedBlock& g : g_guarded) {
        uintptr_t expected = 0;
        if (g.base.load() == 0 && g.base.compare_exchange_strong(expected, reinterpret_cast<uintptr_t>(p))) {
            g.len.store(len);
            g.lost.store(false);
            return;
        }
    }
}

void UnguardBlock(void* p)
{
    for (GuardedBlock& g : g_guarded) {
        if (g.base.load() == reinterpret_cast<uintptr_t>(p)) {
            g.len.store(0);
            g.lost.store(false);
            g.base.store(0);
            return;
        }
    }
}

}  // namespace

namespace SAUtils {

bool MakeSharedAreaname(UINT CPU, UINT SI, TCHAR* pName, UINT nChars)
{
    if (pName == nullptr || nChars == 0)
        return false;
    snprintf(pName, nChars, "SHMEM_%04u_%02u", CPU, SI);
    return true;
}

bool MakeConsoleSharedAreaname(UINT CPU, TCHAR* pName, UINT nChars)
{
    if (pName == nullptr || nChars == 0)
        return false;
    snprintf(pName, nChars, "SHMEM_CONSOLE_%04u", CPU);
    return true;
}

PSHAREBASE OpenPeripheralSharedArea(const char* name, size_t* mappedSize)
{
    if (mappedSize)
        *mappedSize = 0;
    if (name == nullptr)
        return nullptr;

    char posixName[256];
    if (name[0] == '/')
        snprintf(posixName, sizeof posixName, "%s", name);
    else
        snprintf(posixName, sizeof posixName, "/%s", name);

    int fd = shm_open(posixName, O_RDWR, 0);
    if (fd < 0)
        return nullptr;

    struct stat st;
    // A short object has not been sized by its host yet; reading the header
    // or the device record past its end would raise SIGBUS.
    if (fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(sizeof(S_SHAREBASE))) {
        close(fd);
        return nullptr;
    }
    size_t len = static_cast<size_t>(st.st_size);
    void* pv = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (pv == MAP_FAILED)
        return nullptr;

    // Guard before the first read: the host may shrink the object at any time.
    GuardBlock(pv, len);
    PSHAREBASE pShare = static_cast<PSHAREBASE>(pv);
    if (pShare->m_Version != SHAREBASE_VERSION) {
        UnguardBlock(pv);
        munmap(pv, len);
        return nullptr;
    }
    if (mappedSize)
        *mappedSize = len;
    return pShare;
}

PSHAREBASE OpenPeripheralSharedArea(const char* name)
{
    return OpenPeripheralSharedArea(name, nullptr);
}

void ReleaseSharedArea(void* p, size_t sz)
{
    if (p == nullptr)
        return;
    UnguardBlock(p);
    if (sz != 0)
        munmap(p, sz);
}

bool IsSharedAreaIntact(const void* p)
{
    for (const GuardedBlock& g : g_guarded) {
        if (g.base.load() == reinterpret_cast<uintptr_t>(p)) {
            size_t len = g.len.load();
            if (len > 0)
                (void)*(static_cast<const volatile unsigned char*>(p) + len - 1);
            return !g.lost.load();
        }
    }
    return true;  // not tracked, so not known lost
}

bool IsSharedAreaLost(const void* p)
{
    for (const GuardedBlock& g : g_guarded) {
        if (g.base.load() == reinterpret_cast<uintptr_t>(p))
            return g.lost.load();
    }
    return false;
}

void StoreFieldText(char* field, size_t width, const char* text)
{
    if (field == nullptr || width == 0)
        return;
    size_t n = text ? strnlen(text, width - 1) : 0;
    memcpy(field, text ? text : "", n);
    memset(field + n, 0, width - n);
}

}  // namespace SAUtils
