#include "shm-block.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

UINT UniqueMachineNumber()
{
    static std::atomic<unsigned> counter{0};
    return 100000u + static_cast<UINT>(getpid()) * 100u + (counter++ % 100u);
}

TestBlock::TestBlock(UINT machine, UINT channel, size_t size, bool valid) : m_size(size)
{
    char name[64];
    snprintf(name, sizeof name, "SHMEM_%04u_%02u", machine, channel);
    m_name = name;
    std::string posix = "/" + m_name;
    int fd = shm_open(posix.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return;
    m_linked = true;
    m_mapLen = size < sizeof(S_SHAREBASE) ? sizeof(S_SHAREBASE) : size;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0 && size > 0) {
        void* p = mmap(nullptr, m_mapLen, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED)
            m_map = p;
    }
    close(fd);
    if (m_map && valid && size >= sizeof(S_SHAREBASE)) {
        Block()->m_SharedAreaSize = static_cast<UINT>(size);
        Block()->m_Version = SHAREBASE_VERSION;
    }
}

TestBlock::~TestBlock()
{
    if (m_map)
        munmap(m_map, m_mapLen);
    Unlink();
}

void TestBlock::Resize(size_t size)
{
    int fd = shm_open(("/" + m_name).c_str(), O_RDWR, 0);
    if (fd < 0)
        return;
    if (ftruncate(fd, static_cast<off_t>(size)) == 0)
        m_size = size;
    close(fd);
}

void TestBlock::Unlink()
{
    if (m_linked)
        shm_unlink(("/" + m_name).c_str());
    m_linked = false;
}

namespace {

// The /proc/self/maps line whose range holds `addr`, or an empty string.
std::string MappingLineAt(uintptr_t a, unsigned long* lo, unsigned long* hi)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (sscanf(line.c_str(), "%lx-%lx", lo, hi) == 2 && a >= *lo && a < *hi)
            return line;
    }
    return std::string();
}

}  // namespace

bool IsMapped(const void* addr)
{
    unsigned long lo = 0, hi = 0;
    return !MappingLineAt(reinterpret_cast<uintptr_t>(addr), &lo, &hi).empty();
}

bool IsMappedFrom(const void* addr, const std::string& name)
{
    unsigned long lo = 0, hi = 0;
    std::string line = MappingLineAt(reinterpret_cast<uintptr_t>(addr), &lo, &hi);
    return line.find("/dev/shm/" + name) != std::string::npos;
}

bool HasMappingExactly(const void* addr, size_t len)
{
    unsigned long lo = 0, hi = 0;
    uintptr_t a = reinterpret_cast<uintptr_t>(addr);
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t rounded = (len + page - 1) / page * page;
    // Alike neighbours merge in the listing: a mapping may end later, not earlier.
    return !MappingLineAt(a, &lo, &hi).empty() && lo == a && hi - lo >= rounded;
}
