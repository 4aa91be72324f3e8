#include "publication.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include "catalogue.h"
#include "mkshareditem.h"
#include "peri-names.h"

namespace DevHost {

namespace {

// A block this program published carries this word in m_Filler, which panels
// never read, and its publisher holds an exclusive flock on the object for as
// long as it serves it. The lock dies with the process however it ends, so a
// marked block that nobody holds was left by a host that is gone.
constexpr UINT kDevHostMark = 0x44564854;

// Whether `posixName` still refers to the object open on `fd`.
bool NamesThisObject(const std::string& posixName, int fd)
{
    struct stat st;
    SAUtils::SharedAreaIdentity now;
    return fd >= 0 && fstat(fd, &st) == 0 && SAUtils::IdentifySharedArea(posixName.c_str(), &now) &&
           now.dev == st.st_dev && now.ino == st.st_ino;
}

// Removes the object `posixName` when a host of this program left it behind
// when it died; false, and the object untouched, for one that a live host
// holds or that another kind of host made.
bool RemoveIfLeftByADeadHost(const std::string& posixName)
{
    int fd = shm_open(posixName.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    bool dead = false;
    // Holding the old object's lock, only this host can take it over. The
    // name must still refer to it: another host may have replaced it after
    // it was opened here.
    UINT mark = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && NamesThisObject(posixName, fd) &&
        pread(fd, &mark, sizeof mark, offsetof(S_SHAREBASE, m_Filler)) == sizeof mark && mark == kDevHostMark)
        dead = shm_unlink(posixName.c_str()) == 0;
    close(fd);
    return dead;
}

// Takes the lock on a new object; another host may hold it for a moment
// while it looks whether the object was left behind.
bool LockOwnObject(int fd)
{
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        usleep(1000);
    }
    return false;
}

void FillRecord(S_SHAREBASE* block, const PeriphDesc& desc)
{
    SHAREA_UNION& u = block->m_U;
    switch (RecordFor(desc.type, desc.model)) {
    case RecordKind::Rp:
        SAUtils::StoreFieldText(u.m_rp.m_FilenameTR, desc.fileTR.c_str());
        SAUtils::StoreFieldText(u.m_rp.m_FilenameTP, desc.fileTP.c_str());
        break;
    case RecordKind::Tp:
        u.m_tp.m_Kind = PT_8Track;
        u.m_tp.m_Parity = PT_Parity_None;
        break;
    case RecordKind::Mt:
        u.m_mt.m_nTransports = desc.units;
        SAUtils::StoreFieldText(u.m_mt.m_szBaseDir, (desc.baseDir.empty() ? "tapes" : desc.baseDir).c_str());
        break;
    case RecordKind::Ed:
        u.m_ed.m_nTransports = desc.units;
        SAUtils::StoreFieldText(u.m_ed.m_szBaseDir, (desc.baseDir.empty() ? "discs" : desc.baseDir).c_str());
        break;
    case RecordKind::Mx:
        u.m_mx.m_nLines = static_cast<UINT>(desc.lines.size());
        for (size_t i = 0; i < desc.lines.size() && i < MX_MAX_LINES; ++i) {
            COMMSLINE& line = u.m_mx.m_Lines[i + 1];
            line.Speed = desc.lines[i].speed;
            line.Port = static_cast<UINT>(i + 1);
            line.Synch = desc.lines[i].synch;
            line.Sentinel = desc.lines[i].sentinel;
        }
        break;
    case RecordKind::Dr: u.m_dr.m_nDrums = desc.units; break;
    case RecordKind::Hd: u.m_hd.m_nDrums = desc.units; break;
    default: break;
    }
}

}  // namespace

void FillBlock(S_SHAREBASE* block, UINT machine, const PeriphDesc& desc, const std::string& root, UINT cpu)
{
    char name[64];
    SAUtils::MakeSharedAreaname(machine, desc.channel, name, sizeof name);
    SAUtils::StoreFieldText(block->m_SharedAreaName, name);
    block->m_DevTyp = desc.devTyp;
    block->m_PeriType = static_cast<BYTE>(desc.type);
    block->m_OpsNo = desc.opsNo;
    SAUtils::StoreFieldText(block->m_Periph, desc.model.c_str());
    SAUtils::StoreFieldText(block->m_SystemRoot, root.c_str());
    block->m_HostCpu = static_cast<CPU_CODE>(cpu);
    block->m_Filler = kDevHostMark;
    block->m_PhysicalDevice = desc.physical;
    SAUtils::StoreFieldText(block->m_PhysicalDeviceName, desc.physicalName.c_str());
    block->m_CloseOnHostDown = desc.closeOnHostDown;
    // Up before the version word: a panel that attaches at once must not
    // take the host for down and close itself.
    block->m_HostUp = desc.hostUp;
    block->m_SharedAreaSize = sizeof(S_SHAREBASE);
    FillRecord(block, desc);
}

Publication::~Publication()
{
    Withdraw();
}

bool Publication::Create(UINT machine, const PeriphDesc& desc, const std::string& root, UINT cpu, UINT pauseMs,
                         std::string* error, bool* inUse)
{
    *inUse = false;
    m_tookOver = false;
    char name[64];
    SAUtils::MakeSharedAreaname(machine, desc.channel, name, sizeof name);
    std::string posixName = std::string("/") + name;
    int fd = shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    int err = errno;
    if (fd < 0 && err == EEXIST && RemoveIfLeftByADeadHost(posixName)) {
        m_tookOver = true;
        fd = shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        err = errno;
    }
    if (fd < 0) {
        *inUse = err == EEXIST;
        *error = *inUse ? "channel " + std::to_string(desc.channel) + " of machine " + std::to_string(machine) +
                              " is already in use (" + posixName + " exists)"
                        : "cannot create " + posixName + ": " + strerror(err);
        return false;
    }
    m_name = posixName;
    m_fd = fd;
    if (!LockOwnObject(fd)) {
        *error = "cannot lock " + posixName + ": " + strerror(errno);
        Withdraw();
        return false;
    }
    usleep(pauseMs * 1000);
    // Whole size first: a panel maps the object once, at the size it finds.
    if (ftruncate(fd, sizeof(S_SHAREBASE)) != 0) {
        *error = "cannot size " + posixName + ": " + strerror(errno);
        Withdraw();
        return false;
    }
    void* p = mmap(nullptr, sizeof(S_SHAREBASE), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) {
        *error = "cannot map " + posixName + ": " + strerror(errno);
        Withdraw();
        return false;
    }
    m_block = static_cast<PSHAREBASE>(p);
    usleep(pauseMs * 1000);
    FillBlock(m_block, machine, desc, root, cpu);
    usleep(pauseMs * 1000);
    std::atomic_thread_fence(std::memory_order_release);
    *reinterpret_cast<volatile UINT*>(&m_block->m_Version) = SHAREBASE_VERSION;
    return true;
}

void Publication::Withdraw()
{
    if (m_block != nullptr && StillWhole())
        *reinterpret_cast<volatile bool*>(&m_block->m_HostUp) = false;
    if (m_block != nullptr)
        munmap(m_block, sizeof(S_SHAREBASE));
    m_block = nullptr;
    // The name goes while the lock is still held, so that no other host can
    // take the object for one left behind and publish a new one under the
    // name first; and only when it is still this object's.
    if (!m_name.empty() && NamesThisObject(m_name, m_fd))
        shm_unlink(m_name.c_str());
    m_name.clear();
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool Publication::Truncate(UINT size)
{
    return m_fd >= 0 && ftruncate(m_fd, static_cast<off_t>(size)) == 0;
}

bool Publication::StillWhole() const
{
    struct stat st;
    return m_fd >= 0 && fstat(m_fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(S_SHAREBASE));
}

}  // namespace DevHost
