#include "bench-block.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

BenchBlock::BenchBlock(UINT machine, UINT channel)
{
    char name[64];
    snprintf(name, sizeof name, "/SHMEM_%04u_%02u", machine, channel);
    m_name = name;
    int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return;
    m_linked = true;
    if (ftruncate(fd, sizeof(S_SHAREBASE)) == 0) {
        void* p = mmap(nullptr, sizeof(S_SHAREBASE), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED)
            m_map = static_cast<PSHAREBASE>(p);
    }
    close(fd);
    if (m_map) {
        // The version goes in last: a reader that sees it finds the rest set.
        m_map->m_SharedAreaSize = sizeof(S_SHAREBASE);
        m_map->m_Version = SHAREBASE_VERSION;
    }
}

BenchBlock::~BenchBlock()
{
    if (m_map)
        munmap(m_map, sizeof(S_SHAREBASE));
    if (m_linked)
        shm_unlink(m_name.c_str());
}
