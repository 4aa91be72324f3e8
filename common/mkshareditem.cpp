#include "mkshareditem.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

    PSHAREBASE pShare = static_cast<PSHAREBASE>(pv);
    if (pShare->m_Version != SHAREBASE_VERSION) {
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
    if (p != nullptr && sz != 0)
        munmap(p, sz);
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
